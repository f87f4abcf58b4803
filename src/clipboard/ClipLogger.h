#pragma once

#include "clipboard/ClipTextFilter.h"

#include <wx/timer.h>

#include <memory>
#include <optional>

class ClipRecorder;

// Watches the system clipboard for the clipboard log. A timer on the GUI thread paces the polls;
// each poll asks for the clipboard's text without waiting for the program that owns it, so a slow
// or hung owner never stalls the window, and the answer is appended to the list on the GUI thread.
// Only the text present at a poll is seen; see ClipTextFilter for which texts are logged.
class ClipLogger : public wxTimer {
public:
    static constexpr int kPollMilliseconds = 500;

    // `log_list` must outlive the watcher.
    explicit ClipLogger(ClipRecorder* log_list);
    ~ClipLogger() override;

    // Polls at once and then every kPollMilliseconds.
    void Run();

    const wxString& LastText() const { return filter_.LastText(); }
    // Polls answered so far. A poll that begins after a change of the clipboard has been answered
    // once this has grown by two.
    unsigned long Polls() const { return polls_; }

    void Notify() override;

private:
    void Poll();
    void OnAnswer(const std::optional<wxString>& text);

    ClipTextFilter filter_;
    ClipRecorder* log_list_;
    bool waiting_ = false;
    unsigned long polls_ = 0;
    // Answers that arrive after the watcher is gone find this empty.
    std::shared_ptr<ClipLogger*> self_;
};
