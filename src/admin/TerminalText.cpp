#include "admin/TerminalText.h"

#include <cstdio>
#include <utility>

namespace terminal_text {
namespace {

std::string HexByte(unsigned char byte) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    return escape;
}

// The length of the valid UTF-8 sequence at `at` and its code point; 0 when the bytes there are
// not one (a stray continuation byte, an overlong form, a surrogate, a cut-off sequence).
std::size_t Decode(std::string_view bytes, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

// Characters that show nothing, or move text about, while still being part of it: Unicode's
// default-ignorable code points (zero-width spaces and joiners, bidirectional controls, the
// byte-order mark, variation selectors, Hangul fillers, tags), the interlinear annotation
// anchors and the line and paragraph separators, which a terminal may take as line breaks.
// Text holding them can look like other text, or be read in another order than it is stored.
bool IsInvisible(char32_t code) {
    static constexpr std::pair<char32_t, char32_t> kRanges[] = {
        {0x00AD, 0x00AD},   {0x034F, 0x034F}, {0x061C, 0x061C},   {0x115F, 0x1160},
        {0x17B4, 0x17B5},   {0x180B, 0x180F}, {0x200B, 0x200F},   {0x2028, 0x202E},
        {0x2060, 0x206F},   {0x3164, 0x3164}, {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
        {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFFB}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
        {0xE0000, 0xE0FFF},
    };
    for (const auto& [first, last] : kRanges) {
        if (code < first)
            return false;
        if (code <= last)
            return true;
    }
    return false;
}

std::string Printable(std::string_view bytes, bool block) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t code = 0;
        const std::size_t length = Decode(bytes, at, code);
        if (length == 0) {
            out += HexByte(static_cast<unsigned char>(bytes[at]));
            ++at;
            continue;
        }
        if (block && (code == '\n' || code == '\t')) {
            out += static_cast<char>(code);
        } else if (code == '\n') {
            out += "\\n";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == 0x1B) {
            out += "\\e";
        } else if (code < 0x20 || code == 0x7F) {
            out += HexByte(static_cast<unsigned char>(code));
        } else if (code == '\\' && !block) {
            out += "\\\\";
        } else if ((code >= 0x80 && code <= 0x9F) || IsInvisible(code)) {
            char escape[12];
            std::snprintf(escape, sizeof escape, "\\u{%04x}", static_cast<unsigned>(code));
            out += escape;
        } else {
            out.append(bytes.substr(at, length));
        }
        at += length;
    }
    return out;
}

} // namespace

std::string Line(std::string_view bytes) { return Printable(bytes, false); }

std::string Block(std::string_view bytes) { return Printable(bytes, true); }

std::size_t Width(std::string_view utf8) {
    std::size_t width = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++width;
    }
    return width;
}

} // namespace terminal_text
