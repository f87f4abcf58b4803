#include "app/HelperProcess.h"

#include "app/FdCloser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at `cancel`.
constexpr auto kCancelCheck = std::chrono::milliseconds(50);

// A started child; killed and reaped when it goes out of scope still running.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }

    // Waits for its end until `deadline`; true when it ended, with its status.
    bool WaitUntil(Clock::time_point deadline, int* status) {
        for (;;) {
            const pid_t done = ::waitpid(pid_, status, WNOHANG);
            if (done == pid_ || (done < 0 && errno != EINTR)) {
                pid_ = -1;
                return done > 0;
            }
            if (Clock::now() >= deadline)
                return false;
            ::usleep(2000);
        }
    }

private:
    pid_t pid_;
};

struct SpawnActions {
    posix_spawn_file_actions_t actions;
    SpawnActions() { posix_spawn_file_actions_init(&actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
};

struct SpawnAttributes {
    posix_spawnattr_t attributes;
    SpawnAttributes() { posix_spawnattr_init(&attributes); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
};

bool Cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(); }

} // namespace

HelperProcess::Outcome HelperProcess::Run(const std::string& program,
                                          const std::vector<std::string>& args,
                                          std::chrono::milliseconds allowed, std::size_t max_output,
                                          const std::atomic<bool>* cancel) {
    Outcome outcome;
    const Clock::time_point deadline = Clock::now() + allowed;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return outcome;
    FdCloser reading(ends[0]);
    FdCloser writing(ends[1]);

    SpawnActions actions;
    posix_spawn_file_actions_adddup2(&actions.actions, writing.fd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // Nothing else of this process (the cloud's connection, the display's) goes to the helper.
    posix_spawn_file_actions_addclosefrom_np(&actions.actions, STDERR_FILENO + 1);
    // The helper starts with no signal blocked and the default handling of those this process
    // catches or ignores.
    SpawnAttributes attributes;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes.attributes, &none);
    posix_spawnattr_setsigdefault(&attributes.attributes, &defaults);
    posix_spawnattr_setflags(&attributes.attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions.actions, &attributes.attributes, argv.data(),
                    environ) != 0)
        return outcome;
    Child child(pid);
    writing.Close();

    // Only a helper that ended by itself passes its output on; the child is killed on the way out.
    const auto ending = [](End end) {
        Outcome ended;
        ended.end = end;
        return ended;
    };
    char buffer[16384];
    for (;;) {
        if (Cancelled(cancel))
            return ending(End::Cancelled);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return ending(End::TimedOut);
        pollfd ready{reading.fd, POLLIN, 0};
        const int wait_ms = static_cast<int>(std::min(left, kCancelCheck).count());
        const int polled = ::poll(&ready, 1, wait_ms);
        if (polled < 0 && errno != EINTR)
            return ending(End::Failed);
        if (polled <= 0)
            continue;
        const ssize_t got = ::read(reading.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return ending(End::Failed);
        if (got == 0)
            break; // it closed its output: it is ending
        if (outcome.output.size() + static_cast<std::size_t>(got) > max_output)
            return ending(End::Overflowed);
        outcome.output.append(buffer, static_cast<std::size_t>(got));
    }

    int status = 0;
    if (!child.WaitUntil(deadline, &status))
        return ending(End::TimedOut);
    if (!WIFEXITED(status))
        return ending(End::Failed);
    outcome.end = End::Exited;
    outcome.exit_code = WEXITSTATUS(status);
    return outcome;
}
