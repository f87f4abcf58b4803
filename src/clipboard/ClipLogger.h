#pragma once

#include "clipboard/ClipEntry.h"
#include "clipboard/ClipTextFilter.h"

#include <wx/timer.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

class ClipRecorder;

// Watches the system clipboard for the clipboard log. A timer on the GUI thread paces the polls;
// each poll asks for the clipboard's text without waiting for the program that owns it, so a slow
// or hung owner never stalls the window, and the answer is appended to the list on the GUI thread.
// A large text is compared and shortened for the list on a worker thread, so that a text of any
// size leaves the window answering; and a text that was read whole is not read again until the
// clipboard changes hands, so that a large text left on the clipboard costs nothing more. Only
// the text present at a poll is seen; see ClipTextFilter for which texts are logged.
class ClipLogger : public wxTimer {
public:
    static constexpr int kPollMilliseconds = 500;
    // Texts from this size on are dealt with off the GUI thread.
    static constexpr size_t kWorkerBytes = 64 * 1024;

    // `log_list` must outlive the watcher.
    explicit ClipLogger(ClipRecorder* log_list);
    ~ClipLogger() override;

    // Polls at once and then every kPollMilliseconds.
    void Run();

    std::string_view LastText() const { return filter_.LastText(); }
    // Polls answered so far. A poll that begins after a change of the clipboard has been answered
    // once this has grown by two.
    unsigned long Polls() const { return polls_; }

    void Notify() override;

private:
    void Poll();
    void OnAnswer(std::optional<std::string> bytes);
    // The end of a poll: `entry` is the text seen, when it is to be logged.
    void OnEntry(std::optional<ClipEntry> entry, bool read);

    ClipTextFilter filter_;
    ClipRecorder* log_list_;
    bool waiting_ = false;
    unsigned long polls_ = 0;
    // The clipboard's changes of hands when the poll under way began, and when the last text
    // that was read whole began to be read.
    std::optional<unsigned long> poll_changes_;
    std::optional<unsigned long> read_changes_;
    // The worker of the latest large text, and the flag that ends it early.
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    // Answers that arrive after the watcher is gone find this empty.
    std::shared_ptr<ClipLogger*> self_;
};
