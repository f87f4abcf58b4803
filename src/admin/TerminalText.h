#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Database texts made safe to print on a moderator's terminal. Snippets come from anyone, and a
// title or content holding escape sequences could otherwise clear the screen, retitle the
// window or hide text; right-to-left overrides could make the text read differently from what
// it is, and invisible characters (zero-width spaces, line separators) could make two texts look
// alike or one line look like two. Such characters are shown as visible escapes instead.
namespace terminal_text {

// For one-line fields (titles, names): every control character, including tab and line breaks,
// becomes an escape (\n, \t, \r, \e, \xNN), a backslash becomes \\, C1 controls and invisible
// characters (bidirectional controls, zero-width and other default-ignorable characters, U+2028
// and U+2029) become \u{XXXX}, and each byte that is not part of valid UTF-8 becomes \xNN.
std::string Line(std::string_view bytes);
// For a snippet's content: as Line, but tabs and line feeds stay as they are and backslashes
// (common in code) are left alone.
std::string Block(std::string_view bytes);

// The number of characters (code points) in valid UTF-8 text, the columns it takes.
std::size_t Width(std::string_view utf8);

} // namespace terminal_text
