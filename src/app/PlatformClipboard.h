#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Reading the desktop's clipboard: the part of the platform that needs the windowing system.
namespace platform {

// Reads the clipboard's text without waiting for the program that owns it: `done` runs later on
// the GUI thread with the text's bytes, UTF-8 as the owner sent them (not checked, so that a text
// of any size costs the GUI thread no more than a copy), or with nothing when the clipboard holds
// no text, the owner did not answer in time, or the text was not read. A text offered only in an
// older form is converted to UTF-8. The value of `extra_target` is read first (empty when the
// owner does not offer it), and `read_text` decides from it whether the text is read at all.
void ReadClipboardText(const char* extra_target,
                       std::function<bool(std::string_view extra_value)> read_text,
                       std::function<void(std::optional<std::string>)> done);

// True when the display says that a window of this program owns the clipboard now (news of
// another program taking it may not have arrived yet).
bool ClipboardOwnedHere();

// How often the clipboard has changed hands since the first call: every copy, in any program,
// takes the clipboard anew. Nothing when the display does not report it.
std::optional<unsigned long> ClipboardOwnerChanges();

} // namespace platform
