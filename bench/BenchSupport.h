#pragma once

#include "BenchMain.h"
#include "BenchToolkit.h"
#include "storage/Database.h"
#include "storage/DbSettings.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

// Pieces the benchmark programs share: timing, the toolkit's pending events, and the bare tools
// their floors are measured with.
namespace bench {

using Clock = std::chrono::steady_clock;

// Starts the toolkit on the display without running a main loop; throws when it cannot.
inline void StartToolkit(char** argv) {
    if (!BenchToolkit::Start(argv[0]))
        throw std::runtime_error("the toolkit did not start");
}

// A connection to the cloud as the program opens it.
inline std::unique_ptr<Database> Connect(const DbSettings& settings) {
    wxString error;
    std::unique_ptr<Database> connection = Database::Connect(settings, &error);
    if (!connection)
        throw std::runtime_error("cannot connect: " + error.utf8_string());
    return connection;
}

inline double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
}

// Wall time of one piece of work, in milliseconds.
inline double Measure(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Handles the events waiting in the toolkit's queue.
inline void Pump() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr) {
        while (loop->Pending())
            loop->Dispatch();
    }
    wxTheApp->ProcessIdle();
}

// Runs a program with its output thrown away; throws when it cannot start or fails.
inline void RunQuietly(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr,
                                    const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw std::runtime_error("cannot start " + arguments[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments[0] + " failed: " + arguments.back());
}

// The statements through the `mariadb` command-line client (start-up, connection, queries,
// output), as the program's own account.
inline void RunClient(const DbSettings& settings, const std::string& statements) {
    RunQuietly({"mariadb", "--no-defaults", "--protocol=TCP", "--host=" + settings.host,
                "--port=" + std::to_string(settings.port), "--user=" + settings.user,
                "--password=" + settings.password, "--batch", "--database", settings.database, "-e",
                statements});
}

} // namespace bench
