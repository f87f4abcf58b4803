#include "app/HelperProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using End = HelperProcess::End;
using Clock = std::chrono::steady_clock;

HelperProcess::Outcome Shell(const std::string& script, std::chrono::milliseconds allowed = 5s,
                             std::size_t max_output = 1000,
                             const std::atomic<bool>* cancel = nullptr) {
    return HelperProcess::Run("/bin/sh", {"-c", script}, allowed, max_output, cancel);
}

// Whatever the helper does, the caller gets an outcome within the time allowed, and only a helper
// that ended by itself passes its output on.
TEST(HelperProcessTest, EveryEndOfTheHelperGivesItsOutcome) {
    struct Case {
        const char* what;
        const char* script;
        End end;
        int exit_code;
        std::string output;
    };
    const Case cases[] = {
        {"ends well", "printf 'a\\0b'; exit 0", End::Exited, 0, std::string("a\0b", 3)},
        {"ends with a status", "printf partial; exit 3", End::Exited, 3, "partial"},
        {"writes exactly the most", "head -c 1000 /dev/zero | tr '\\0' x", End::Exited, 0,
         std::string(1000, 'x')},
        {"writes more than it may", "head -c 1001 /dev/zero; sleep 30", End::Overflowed, -1, ""},
        {"is killed", "printf some; kill -9 $$", End::Failed, -1, ""},
        {"never ends", "printf some; exec sleep 30", End::TimedOut, -1, ""},
        {"closes its output and stays", "exec >&-; sleep 30", End::TimedOut, -1, ""},
        {"reads its input", "cat; exit 0", End::Exited, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = Clock::now();
        const HelperProcess::Outcome outcome = Shell(c.script, 1s);
        EXPECT_LT(Clock::now() - start, 3s);
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_EQ(outcome.exit_code, c.exit_code);
        EXPECT_EQ(outcome.output, c.output);
    }
}

TEST(HelperProcessTest, CancelEndsTheWaitAndTheHelperAtOnce) {
    std::atomic<bool> cancel{false};
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(200ms);
        cancel = true;
    });
    const auto start = Clock::now();
    // The helper writes its process id first, so the test can see that it is gone afterwards.
    const HelperProcess::Outcome outcome = Shell("echo $$; exec sleep 30", 20s, 1000, &cancel);
    canceller.join();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(outcome.end, End::Cancelled);

    const HelperProcess::Outcome ran = Shell("echo $$", 5s);
    ASSERT_EQ(ran.end, End::Exited);
    // Reaped: no process, not even a zombie, keeps the id of a helper that has ended.
    EXPECT_NE(::kill(std::stoi(ran.output), 0), 0);
}

TEST(HelperProcessTest, TheHelperGetsNoOpenFileButItsStandardOnesAndAMissingOneFails) {
    // The pipe's ends of this process are made to be closed on exec; others are closed for it.
    const int kept = ::dup(STDERR_FILENO);
    ASSERT_GE(kept, 3);
    // ls lists its own directory's descriptor too, the lowest free one.
    const HelperProcess::Outcome outcome = Shell("exec ls /proc/self/fd");
    ::close(kept);
    ASSERT_EQ(outcome.end, End::Exited);
    EXPECT_EQ(outcome.output, "0\n1\n2\n3\n");

    const HelperProcess::Outcome missing =
        HelperProcess::Run("/nonexistent/corvane-http", {}, 5s, 1000);
    EXPECT_EQ(missing.end, End::Failed);
}

} // namespace
