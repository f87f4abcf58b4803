#include "gui/OutsideClipboard.h"

#include <gtest/gtest.h>

#include <gdk/gdkx.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr auto kTimeout = std::chrono::seconds(10);

std::string TempFile(const char* what) {
    char name[64];
    std::snprintf(name, sizeof name, "/tmp/corvane-%s-XXXXXX", what);
    const int fd = mkstemp(name);
    if (fd >= 0)
        close(fd);
    return name;
}

// The window that owns the clipboard, as the X server says now.
::Window ClipboardOwner() {
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    return XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string& output) {
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(output.c_str(), O_WRONLY | O_TRUNC);
        if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
            dup2(out, STDERR_FILENO) < 0)
            _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

} // namespace

OutsideClipboard::~OutsideClipboard() {
    for (pid_t pid : owners_) {
        kill(pid, SIGCONT);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    for (const std::string& file : files_)
        std::remove(file.c_str());
}

void OutsideClipboard::StartOwner(const std::vector<std::string>& argv, const std::string& ready) {
    const std::string output = TempFile("clip-owner");
    files_.push_back(output);
    const ::Window before = ClipboardOwner();
    const pid_t pid = Spawn(argv, output);
    ASSERT_GT(pid, 0);
    owners_.push_back(pid);
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    // xclip says it is ready before its request to own the clipboard has left it: the owner the
    // X server names must have changed too.
    while (ReadFile(output).find(ready) == std::string::npos || ClipboardOwner() == before ||
           ClipboardOwner() == None) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << argv[0] << " did not take over";
        ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << argv[0] << " ended early";
        // The previous owner may be this program, which must answer while the new one starts.
        pump_();
        usleep(2000);
    }
}

void OutsideClipboard::Own(const std::string& bytes, const std::string& target) {
    const std::string input = TempFile("clip-input");
    std::ofstream(input, std::ios::binary) << bytes;
    files_.push_back(input);
    StartOwner({"xclip", "-quiet", "-selection", "clipboard", "-t", target, "-i", input},
               "Waiting for selection requests");
}

void OutsideClipboard::OwnSecret(const std::string& text) {
    StartOwner({SECRET_CLIPBOARD_OWNER, text}, "ready");
}

std::string OutsideClipboard::ReadText() {
    const std::string output = TempFile("clip-read");
    const pid_t pid = Spawn({"xclip", "-o", "-selection", "clipboard"}, output);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            ADD_FAILURE() << "xclip -o did not end";
            break;
        }
        pump_();
        usleep(2000);
    }
    const std::string text = ReadFile(output);
    std::remove(output.c_str());
    return text;
}
