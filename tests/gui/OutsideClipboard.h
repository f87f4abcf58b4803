#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// Other programs on the test display that own or read the clipboard: xclip, and a helper that
// owns it the way a password manager does. The test's own events are pumped while waiting, so
// that the program under test can answer when it owns the clipboard itself.
class OutsideClipboard {
public:
    explicit OutsideClipboard(std::function<void()> pump) : pump_(std::move(pump)) {}
    // Ends every owner still running.
    ~OutsideClipboard();

    // xclip takes the clipboard with `bytes` offered as `target`; returns once it owns it.
    void Own(const std::string& bytes, const std::string& target = "UTF8_STRING");
    // The helper takes the clipboard with `text` marked secret; returns once it owns it.
    void OwnSecret(const std::string& text);
    // The clipboard's text as xclip reads it; empty when it holds none.
    std::string ReadText();

    // The process id of the latest owner started here.
    pid_t LatestOwner() const { return owners_.empty() ? -1 : owners_.back(); }

private:
    // Starts `argv` with its output in a file; returns once that file holds `ready`.
    void StartOwner(const std::vector<std::string>& argv, const std::string& ready);

    std::function<void()> pump_;
    std::vector<pid_t> owners_;
    std::vector<std::string> files_;
};
