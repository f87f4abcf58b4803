#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

// Runs a helper program in a process of its own and reads back what it writes to its standard
// output. The caller waits, but never longer than the time allowed, and may give up at any moment
// through `cancel`; a helper still running then is killed. Whatever the helper does (crashes,
// hangs, writes too much), the caller gets an outcome and the helper is reaped.
class HelperProcess {
public:
    enum class End {
        Exited,     // ended by itself: exit_code is its status
        Failed,     // could not be started, or ended by a signal
        TimedOut,   // still running when the time was up: killed
        Cancelled,  // `cancel` was set: killed
        Overflowed, // wrote more than max_output bytes: killed
    };

    struct Outcome {
        End end = End::Failed;
        int exit_code = -1;
        std::string output; // its standard output, at most max_output bytes
    };

    // `program` is started with `args` (its argv from argv[1] on), the environment of this process
    // and standard input from /dev/null; no other file of this process is passed on.
    static Outcome Run(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds allowed, std::size_t max_output,
                       const std::atomic<bool>* cancel = nullptr);
};
