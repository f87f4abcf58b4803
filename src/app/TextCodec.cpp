#include "app/TextCodec.h"

#include <algorithm>

namespace text {
namespace {

constexpr wxUniChar::value_type kReplacement = 0xFFFD;

// Length of the valid UTF-8 sequence at `p` (1 to 4), or 0 when it is invalid or truncated.
size_t SequenceLength(const unsigned char* p, size_t available, wxUniChar::value_type& code) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        code = b0;
        return 1;
    }
    size_t length;
    wxUniChar::value_type min;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        code = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        code = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        code = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past the last code point are not UTF-8.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

std::optional<std::string> ToUtf8(const wxString& value) {
    std::string out;
    out.reserve(value.length());
    for (wxString::const_iterator it = value.begin(); it != value.end(); ++it) {
        const wxUniChar::value_type c = (*it).GetValue();
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return std::nullopt;
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c <= 0x10FFFF) {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

namespace {

// Walks the UTF-8 sequences of `bytes`: `valid(sequence, code)` for each valid one, and
// `invalid(byte)` for each byte that begins none; stops, returning false, when one says so.
template <typename Valid, typename Invalid>
bool Walk(std::string_view bytes, Valid valid, Invalid invalid) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        wxUniChar::value_type code = 0;
        size_t length = SequenceLength(p, left, code);
        const bool go_on =
            length == 0 ? invalid(*p)
                        : valid(std::string_view(reinterpret_cast<const char*>(p), length), code);
        if (!go_on)
            return false;
        length = std::max<size_t>(length, 1);
        p += length;
        left -= length;
    }
    return true;
}

// Decodes UTF-8; each invalid byte becomes `invalid(byte)`.
template <typename Invalid> wxString Decode(std::string_view bytes, Invalid invalid) {
    std::wstring out;
    out.reserve(bytes.size());
    auto add = [&out](wxUniChar::value_type code) {
        if constexpr (sizeof(wchar_t) == 2) {
            if (code >= 0x10000) {
                code -= 0x10000;
                out += static_cast<wchar_t>(0xD800 + (code >> 10));
                code = 0xDC00 + (code & 0x3FF);
            }
        }
        out += static_cast<wchar_t>(code);
        return true;
    };
    Walk(
        bytes, [&](std::string_view, wxUniChar::value_type code) { return add(code); },
        [&](unsigned char byte) { return add(invalid(byte)); });
    return wxString(out);
}

constexpr wxUniChar::value_type kEscapeBase = 0xDC00;

} // namespace

wxString FromUtf8(std::string_view bytes) {
    return Decode(bytes, [](unsigned char) { return kReplacement; });
}

wxString FromPathBytes(std::string_view bytes) {
    return Decode(bytes, [](unsigned char byte) { return kEscapeBase + byte; });
}

std::string ToPathBytes(const wxString& path) {
    std::string out;
    wxString run;
    bool encodable = true;
    auto flush = [&] {
        const std::optional<std::string> bytes = ToUtf8(run);
        encodable = encodable && bytes.has_value();
        out += bytes.value_or(std::string());
        run.clear();
    };
    for (wxString::const_iterator it = path.begin(); it != path.end(); ++it) {
        const wxUniChar::value_type c = (*it).GetValue();
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            flush();
            out += static_cast<char>(c - kEscapeBase);
        } else {
            run += *it;
        }
    }
    flush();
    return encodable ? out : std::string();
}

wxString FromLatin1(std::string_view bytes) {
    std::wstring out(bytes.size(), L'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return wxString(out);
}

std::optional<std::string> ToLatin1(const wxString& value) {
    std::string out;
    out.reserve(value.length());
    for (wxString::const_iterator it = value.begin(); it != value.end(); ++it) {
        const wxUniChar::value_type c = (*it).GetValue();
        if (c > 0xFF)
            return std::nullopt;
        out += static_cast<char>(c);
    }
    return out;
}

wxString Displayable(const wxString& value) {
    wxString shown(value);
    shown.Replace(wxString(wxUniChar(0)), wxString(wxUniChar(kReplacement)));
    return shown;
}

bool IsValidUtf8(std::string_view bytes) {
    return Walk(
        bytes, [](std::string_view, wxUniChar::value_type) { return true; },
        [](unsigned char) { return false; });
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    Walk(
        bytes,
        [&out](std::string_view sequence, wxUniChar::value_type) {
            out += sequence;
            return true;
        },
        [&out](unsigned char) {
            out += "\xEF\xBF\xBD";
            return true;
        });
    return out;
}

} // namespace text
