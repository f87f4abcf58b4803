#pragma once

#include <wx/string.h>

#include <string_view>

// Decides which clipboard texts the clipboard log takes: a text that is not empty and differs from
// the one taken last. Contents that are not text, and texts a password manager marks as secret,
// are passed over and leave the last text as it was.
class ClipTextFilter {
public:
    // The target a password manager offers beside a password it puts on the clipboard.
    static constexpr const char* kPasswordHintTarget = "x-kde-passwordManagerHint";

    // True when the password-hint target's value marks the clipboard's text as secret.
    static bool IsSecretHint(std::string_view hint_value);

    // True when `text`, seen on the clipboard now, is to be logged; it then becomes the last text.
    bool Accept(const wxString& text);

    // The text logged last; empty at start. Clearing the log does not reset it.
    const wxString& LastText() const { return last_text_; }

private:
    wxString last_text_;
};
