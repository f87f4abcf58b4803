#include "clipboard/ClipEntry.h"

#include "app/TextCodec.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";
constexpr const char* kEllipsis = "\xE2\x80\xA6";
// The text is read in slices of about this size, so that a cancel is noticed soon.
constexpr std::size_t kSlice = 1 << 20;

bool IsContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t\f\v") == std::string_view::npos;
}

// The text with bytes that are not UTF-8 replaced, a slice at a time; each slice ends before a
// byte that begins a character, so no character is split between two slices.
std::optional<std::string> ValidText(std::string bytes, const std::atomic<bool>* cancel) {
    std::string fixed;
    bool replaced = false;
    for (std::size_t at = 0; at < bytes.size();) {
        if (cancel != nullptr && *cancel)
            return std::nullopt;
        std::size_t end = std::min(bytes.size(), at + kSlice);
        for (int back = 0; back < 3 && end < bytes.size() && IsContinuation(bytes[end]); ++back)
            --end;
        const std::string_view slice(bytes.data() + at, end - at);
        if (!replaced && !text::IsValidUtf8(slice)) {
            replaced = true;
            fixed.reserve(bytes.size());
            fixed.assign(bytes, 0, at);
        }
        if (replaced)
            fixed += text::ReplaceInvalidUtf8(slice);
        at = end;
    }
    return replaced ? std::move(fixed) : std::move(bytes);
}

// Appends the characters of `text` from `at` up to `end`, at most `left` of them (which it counts
// down), each byte shown as `shown_as` says; returns where it stopped.
template <typename Show>
std::size_t AppendCharacters(std::string& out, std::string_view text, std::size_t at,
                             std::size_t end, std::size_t& left, Show shown_as) {
    while (at < end && left > 0) {
        std::size_t length = 1;
        while (at + length < end && IsContinuation(text[at + length]))
            ++length;
        if (length == 1)
            out += shown_as(text[at]);
        else
            out.append(text, at, length);
        at += length;
        --left;
    }
    return at;
}

bool OnlyBlanksFrom(std::string_view text, std::size_t at) {
    return text.find_first_not_of(" \t\f\v\r\n", at) == std::string_view::npos;
}

std::string LabelOf(std::string_view text) {
    // The first line that is not blank, or else the first line.
    std::size_t line_start = 0;
    std::size_t line_end = std::min(text.find_first_of("\r\n"), text.size());
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        if (!IsBlank(text.substr(start, end - start))) {
            line_start = start;
            line_end = end;
            break;
        }
        start = end + 1;
    }
    // Without the line's indentation.
    while (line_start < line_end && (text[line_start] == ' ' || text[line_start] == '\t'))
        ++line_start;
    std::string label;
    std::size_t left = ClipEntry::kLabelCharacters;
    const std::size_t stop =
        AppendCharacters(label, text, line_start, line_end, left, [](char c) -> std::string {
            if (c == '\t')
                return " ";
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return kReplacement;
            return std::string(1, c);
        });
    if (!OnlyBlanksFrom(text, stop))
        label += std::string(" ") + kEllipsis;
    return label;
}

std::string PreviewOf(std::string_view text, std::size_t characters) {
    std::string preview;
    std::size_t left = ClipEntry::kPreviewCharacters;
    std::size_t at = 0;
    for (std::size_t lines = 0; at < text.size() && lines < ClipEntry::kPreviewLines; ++lines) {
        const std::size_t line_end = std::min(text.find('\n', at), text.size());
        at = AppendCharacters(preview, text, at, line_end, left, [](char c) {
            return c == '\0' ? std::string(kReplacement) : std::string(1, c);
        });
        if (at < line_end || at == text.size())
            break;
        preview += '\n';
        ++at;
    }
    if (at < text.size())
        preview +=
            std::string(kEllipsis) + "\n\n(" + std::to_string(characters) + " characters in all)";
    return preview;
}

} // namespace

std::optional<ClipEntry> ClipEntry::FromBytes(std::string bytes, const std::atomic<bool>* cancel) {
    std::optional<std::string> text = ValidText(std::move(bytes), cancel);
    if (!text)
        return std::nullopt;
    ClipEntry entry;
    for (const char byte : *text)
        entry.characters_ += IsContinuation(byte) ? 0 : 1;
    entry.label_ = LabelOf(*text);
    entry.preview_ = PreviewOf(*text, entry.characters_);
    entry.text_ = std::make_shared<const std::string>(std::move(*text));
    return entry;
}
