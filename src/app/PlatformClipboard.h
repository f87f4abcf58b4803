#pragma once

#include <wx/string.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Reading the desktop's clipboard: the part of the platform that needs the windowing system.
namespace platform {

// What the clipboard held when it was read.
struct ClipboardContent {
    // The value of the extra target that was asked for, when the clipboard offered it.
    std::optional<std::string> extra_target_value;
    // The clipboard's text, when it offered text and the text was read.
    std::optional<wxString> text;
};

// Reads the clipboard without waiting for the program that owns it: `done` runs later on the GUI
// thread, once the owner has answered or the windowing system has given up on it. When the
// clipboard offers `extra_target`, its value is read first and `read_text` decides from it
// whether the text is read at all.
void ReadClipboard(const char* extra_target,
                   std::function<bool(std::string_view extra_value)> read_text,
                   std::function<void(ClipboardContent)> done);

} // namespace platform
