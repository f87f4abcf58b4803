#pragma once

#include <wx/string.h>

#include <functional>
#include <optional>
#include <string_view>

// Reading the desktop's clipboard: the part of the platform that needs the windowing system.
namespace platform {

// Reads the clipboard's text without waiting for the program that owns it: `done` runs later on
// the GUI thread with the text, or with nothing when the clipboard holds no text, the owner did
// not answer in time, or the text was not read. When the clipboard offers `extra_target`, its
// value is read first and `read_text` decides from it whether the text is read at all.
void ReadClipboardText(const char* extra_target,
                       std::function<bool(std::string_view extra_value)> read_text,
                       std::function<void(std::optional<wxString>)> done);

} // namespace platform
