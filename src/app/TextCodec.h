#pragma once

#include <wx/string.h>

#include <optional>
#include <string>
#include <string_view>

// Conversions between the program's wide texts and the UTF-8 bytes of the outside world
// (statements, file-system paths, database fields, HTTP bodies, plug-in strings).
// UTF-8 is used whatever the C library's locale says, so a C or POSIX locale never drops or
// mangles a snippet's text.
namespace text {

// The text as UTF-8; nothing when it holds a code point UTF-8 cannot carry (a lone surrogate,
// or a value beyond U+10FFFF). NULs inside the text are kept.
std::optional<std::string> ToUtf8(const wxString& value);

// The bytes decoded as UTF-8; each invalid sequence becomes U+FFFD, NULs are kept.
wxString FromUtf8(std::string_view bytes);

// File-system names are bytes that need not be UTF-8. These two map them to text and back without
// loss: each byte that is not part of valid UTF-8 becomes U+DC80 + byte, and turns back into
// itself. Such texts name files; for display use FromUtf8, which shows U+FFFD instead. A text that
// cannot be encoded at all gives an empty path, which names no file.
wxString FromPathBytes(std::string_view bytes);
std::string ToPathBytes(const wxString& path);

// One byte per character (ISO 8859-1): every byte is a character and turns back into itself, so
// text that is not UTF-8 survives a round trip unchanged. Encoding fails for a character past
// U+00FF.
wxString FromLatin1(std::string_view bytes);
std::optional<std::string> ToLatin1(const wxString& value);

// The text as a label shows it: each NUL becomes U+FFFD. The toolkit ends a label at a NUL, so
// without this the rest of a title or language would not show.
wxString Displayable(const wxString& value);

// True when the bytes are valid UTF-8.
bool IsValidUtf8(std::string_view bytes);

// The bytes with each one that is not part of valid UTF-8 replaced by U+FFFD, as FromUtf8 reads
// them, but without widening the text.
std::string ReplaceInvalidUtf8(std::string_view bytes);

} // namespace text
