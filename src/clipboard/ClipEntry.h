#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

// One text of the clipboard log: the whole text as it was copied (UTF-8), and the short forms
// the log shows. A clipboard text can be tens of megabytes; the list and the message box show
// only its beginning, so that neither has to measure or lay out the whole of it, while a double
// click still puts back the whole text. The short forms are made once, off the GUI thread when
// the text is large.
class ClipEntry {
public:
    // The list shows at most this many characters of a text's first line that is not blank.
    static constexpr std::size_t kLabelCharacters = 200;
    // The "Success!" message shows at most this many characters, and lines, of the text.
    static constexpr std::size_t kPreviewCharacters = 1000;
    static constexpr std::size_t kPreviewLines = 20;

    // The entry for the clipboard's bytes; bytes that are not UTF-8 become U+FFFD. Nothing when
    // `cancel` is set while the bytes are being read.
    static std::optional<ClipEntry> FromBytes(std::string bytes,
                                              const std::atomic<bool>* cancel = nullptr);

    // The whole text, shared: the log keeps it once, however often it is shown or compared.
    const std::shared_ptr<const std::string>& Text() const { return text_; }
    // How many characters the whole text has.
    std::size_t Characters() const { return characters_; }
    // The list's line: the first line that is not blank, without its indentation, with tabs as
    // spaces and other control characters as U+FFFD; " …" follows when the text goes on.
    const std::string& Label() const { return label_; }
    // The beginning of the text for the "Success!" message: the whole text when it is short,
    // else its start, "…" and the number of characters in all. NULs show as U+FFFD.
    const std::string& Preview() const { return preview_; }

private:
    ClipEntry() = default;

    std::shared_ptr<const std::string> text_;
    std::size_t characters_ = 0;
    std::string label_;
    std::string preview_;
};
