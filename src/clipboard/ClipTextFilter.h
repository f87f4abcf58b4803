#pragma once

#include <memory>
#include <string>
#include <string_view>

// Decides which clipboard texts the clipboard log takes: a text that is not empty and differs from
// the one taken last. Contents that are not text, and texts a password manager marks as secret,
// are passed over and leave the last text as it was. Texts are UTF-8.
class ClipTextFilter {
public:
    // The target a password manager offers beside a password it puts on the clipboard.
    static constexpr const char* kPasswordHintTarget = "x-kde-passwordManagerHint";

    // True when the password-hint target's value marks the clipboard's text as secret.
    static bool IsSecretHint(std::string_view hint_value);

    // True when `text`, seen on the clipboard now, is to be logged. It only reads the last text,
    // so a copy of the filter can decide on another thread.
    bool IsNew(std::string_view text) const;
    // `text` was logged: it becomes the last text.
    void Take(std::shared_ptr<const std::string> text) { last_text_ = std::move(text); }

    // The text logged last; empty at start. Clearing the log does not reset it.
    std::string_view LastText() const { return last_text_ ? *last_text_ : std::string_view(); }

private:
    std::shared_ptr<const std::string> last_text_;
};
