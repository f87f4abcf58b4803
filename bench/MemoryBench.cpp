// Idle memory of the program against a bare frame with a menu bar and a status bar (bare_frame).
// Both are launched N times as they are, each in a scratch working directory holding icons/ and
// snippets/, and measured at the idle moment they report on standard output under
// CORVANE_EXIT_WHEN_IDLE: the benchmark fills the pipe behind their standard output first, so
// that the report blocks in write() at the first idle moment after the window is shown and
// whatever the program was asked to do is done. The process is measured there, held, and then let
// go by reading the pipe.
//
// The measure is VmRSS of /proc/PID/status: every page the process has resident, counted once
// however many other processes share it. Pss (smaps_rollup) would split the shared pages of the
// libraries among their users and so change with whatever else runs on the machine (the other
// benchmarks, a test run); Rss does not.
//
// Cases, the program's steps given through CORVANE_START_SCRIPT:
//   bare frame      bare_frame
//   empty store     the program with an empty ./snippets, nobody logged in
//   10k + 10k       10,000 local files; logged in (remembered) as a user who owns 10,000 of the
//                   cloud's 100,000 snippets and has 1,000 favourites; Expand All pressed
//   + 20 empty      the same, and 20 empty local files opened
//   + 20 x 100 KB   the same, and 20 local files of 100 KB of code opened instead
// Goals: the last case at most 1.3 x the bare frame; a page of 100 KB at most 3 x its text above
// an empty page, and an empty page (the fixed overhead of a page) at most kPageOverheadKb.
//
//   memory_bench [--runs N] [--maps DIR]
//     N launches of each case (5 by default); with --maps, each case's memory map as measured
//     (/proc/PID/smaps of its last launch) is kept in DIR, to see where the memory goes.
//
// Needs the display, the private server and the HTTP services of scripts/services.sh (start_xvfb,
// start_db, start_http); bench/all runs it.
#include "BenchData.h"
#include "BenchMain.h"
#include "CachedCloud.h"
#include "Figure.h"
#include "Samples.h"
#include "ScratchDirectory.h"
#include "SnippetSets.h"
#include "support/TestDatabase.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kDefaultRuns = 5;
constexpr int kPages = 20;
constexpr size_t kPageBytes = 100 * 1024;
// The fixed overhead of one page (its editor window, tab and styles), as measured with empty
// pages.
constexpr double kPageOverheadKb = 200;
// A launch that takes longer has hung.
constexpr auto kTimeout = std::chrono::seconds(120);

struct Case {
    std::string name;
    const char* program;
    std::string dir;    // the working directory
    std::string script; // the steps file; empty for none
    bool log_in;
};

struct Memory {
    double rss_kb = 0;
    double anon_kb = 0;
};

// The kB figure of `key` in /proc/PID/status.
double StatusKb(const std::string& status, const char* key) {
    const size_t at = status.find(std::string("\n") + key + ":");
    return at == std::string::npos
               ? 0
               : std::strtod(status.c_str() + at + std::strlen(key) + 2, nullptr);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Whether the process's main thread waits in a write to a full pipe.
bool BlockedInPipeWrite(pid_t pid) {
    return ReadAll("/proc/" + std::to_string(pid) + "/wchan").find("pipe_write") !=
           std::string::npos;
}

// Launches the case's program and measures it while its idle report is held in the full pipe.
Memory Measure(const Case& c, const std::string& err_file, const std::string& maps_file) {
    int report[2];
    if (pipe(report) != 0)
        throw std::runtime_error("cannot make a pipe");
    // Filled up to its capacity, so that the first write of the program blocks.
    fcntl(report[1], F_SETFL, O_NONBLOCK);
    const std::string filler(4096, '.');
    size_t filled = 0;
    for (ssize_t wrote; (wrote = write(report[1], filler.data(), filler.size())) > 0;)
        filled += static_cast<size_t>(wrote);
    fcntl(report[1], F_SETFL, 0);

    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("cannot fork");
    if (pid == 0) {
        const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err < 0 || chdir(c.dir.c_str()) != 0)
            _exit(126);
        dup2(report[1], STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        close(report[0]);
        close(report[1]);
        setenv("CORVANE_EXIT_WHEN_IDLE", "1", 1);
        if (!c.script.empty())
            setenv("CORVANE_START_SCRIPT", c.script.c_str(), 1);
        if (!c.log_in) // the address lookup fails at once: no remembered user
            setenv("CORVANE_IP_ECHO_HOST", "127.0.0.1:1", 1);
        execl(c.program, c.program, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(report[1]);

    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    bool held = false;
    int status = 0;
    while (!(held = BlockedInPipeWrite(pid)) && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Memory memory;
    if (held) {
        const std::string proc_status = ReadAll("/proc/" + std::to_string(pid) + "/status");
        memory.rss_kb = StatusKb(proc_status, "VmRSS");
        memory.anon_kb = StatusKb(proc_status, "RssAnon");
        if (!maps_file.empty())
            std::ofstream(maps_file) << ReadAll("/proc/" + std::to_string(pid) + "/smaps");
    } else {
        kill(pid, SIGKILL);
    }
    // Let go: the pipe is read to its end, the program's report with it.
    std::string out;
    char buffer[65536];
    for (ssize_t got; (got = read(report[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        out.append(buffer, static_cast<size_t>(got));
    }
    close(report[0]);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!held || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        out.find("visible ", filled) == std::string::npos)
        throw std::runtime_error(c.name + ": " + c.program +
                                 " did not reach its idle moment and end normally\n" +
                                 ReadAll(err_file));
    const std::string errors = ReadAll(err_file);
    if (c.log_in && errors.find("Failed to connect") != std::string::npos)
        throw std::runtime_error(c.name + ": the program did not reach the database\n" + errors);
    return memory;
}

// A working directory below `root` with icons/ and snippets/ (a link to `store`, or empty).
std::string WorkingDirectory(const std::string& root, const std::string& name,
                             const std::string& store) {
    const std::string dir = root + "/" + name;
    fs::create_directory(dir);
    fs::create_directory_symlink(CORVANE_ICONS_DIR, dir + "/icons");
    if (store.empty())
        fs::create_directory(dir + "/snippets");
    else
        fs::create_directory_symlink(store + "/snippets", dir + "/snippets");
    return dir;
}

// Pages of about kPageBytes of code each, page-N, and empty files, empty-N.
void WritePages(const std::string& dir) {
    for (int page = 0; page < kPages; ++page) {
        std::string text;
        for (long i = 0; text.size() + 512 < kPageBytes; ++i)
            text += snippet_sets::Body(page * 1000 + i, "C++");
        text.resize(kPageBytes, '\n');
        std::ofstream(dir + "/page-" + std::to_string(page)) << text;
        std::ofstream(dir + "/empty-" + std::to_string(page));
    }
}

std::string WriteScript(const std::string& root, const std::string& name, const std::string& pages,
                        const char* kind) {
    const std::string path = root + "/" + name + ".steps";
    std::ofstream script(path);
    script << "expand-all\n";
    for (int page = 0; kind != nullptr && page < kPages; ++page)
        script << "open " << pages << "/" << kind << "-" << page << "\n";
    return path;
}

// Removes the address remembered for the benchmark when it goes out of scope.
struct Forget {
    TestDatabase& db;
    ~Forget() {
        try {
            db.Exec("DELETE FROM remember WHERE ip = INET_ATON('127.0.0.1')");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "memory_bench: the remembered address stays: %s\n", e.what());
        }
    }
};

int Run(int argc, char** argv) {
    int runs = kDefaultRuns;
    std::string maps_dir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--maps") == 0 && i + 1 < argc) {
            maps_dir = argv[++i];
            fs::create_directories(maps_dir);
        } else {
            std::fprintf(stderr, "usage: memory_bench [--runs N] [--maps DIR]\n");
            return 2;
        }
    }
    if (std::getenv("DISPLAY") == nullptr || std::getenv("CORVANE_IP_ECHO_HOST") == nullptr) {
        std::fprintf(stderr, "needs DISPLAY and CORVANE_IP_ECHO_HOST (scripts/services.sh)\n");
        return 2;
    }

    // The data of the tree benchmark's 10k spread case, and the user remembered at this address.
    const std::string store = bench_data::Prepared(
        "local-10000", [](const std::string& dir) { snippet_sets::MakeLocalStore(dir, 10000); });
    const std::string pages = bench_data::Prepared("memory-pages", WritePages);
    TestDatabase admin;
    CachedCloud cloud(admin);
    const snippet_sets::CloudSet set{10000, 100000};
    if (cloud.Use(set.Name(), [&set](TestDatabase& db) { set.Seed(db); }) > 0)
        std::printf("generated the cloud %s\n", set.Name().c_str());
    admin.Exec("DELETE FROM remember WHERE ip = INET_ATON('127.0.0.1')");
    admin.Exec("INSERT INTO remember(uid, ip) VALUES (1, INET_ATON('127.0.0.1'))");
    // Forgotten again at the end: the other benchmarks on this server start logged out.
    const Forget forget{admin};

    ScratchDirectory scratch("/tmp/corvane-memory-bench-XXXXXX");
    const std::string root = scratch.Path();
    const std::string empty_dir = WorkingDirectory(root, "empty", "");
    const std::vector<Case> cases = {
        {"bare frame", BARE_FRAME_PATH, WorkingDirectory(root, "bare", ""), "", false},
        {"empty store", CORVANE_PATH, empty_dir, "", false},
        {"10k + 10k expanded", CORVANE_PATH, WorkingDirectory(root, "tree", store),
         WriteScript(root, "tree", pages, nullptr), true},
        {"+ 20 empty pages", CORVANE_PATH, WorkingDirectory(root, "empty-pages", store),
         WriteScript(root, "empty-pages", pages, "empty"), true},
        {"+ 20 pages of 100 KB", CORVANE_PATH, WorkingDirectory(root, "pages", store),
         WriteScript(root, "pages", pages, "page"), true},
    };
    const std::string err_file = root + "/stderr.txt";

    // One untimed launch each first, so that every case starts from warm caches; then the cases
    // in turn, each round starting one further on, so that drifts of the machine fall on all.
    std::vector<std::vector<double>> rss(cases.size()), anon(cases.size());
    for (int round = -1; round < runs; ++round) {
        for (size_t k = 0; k < cases.size(); ++k) {
            const size_t which = (k + static_cast<size_t>(std::max(round, 0))) % cases.size();
            std::string maps_file;
            if (!maps_dir.empty()) {
                maps_file = maps_dir + "/" + cases[which].name + ".smaps";
                std::replace(maps_file.begin() + maps_dir.size() + 1, maps_file.end(), ' ', '-');
            }
            const Memory memory = Measure(cases[which], err_file, maps_file);
            if (round < 0)
                continue;
            rss[which].push_back(memory.rss_kb);
            anon[which].push_back(memory.anon_kb);
        }
    }

    std::printf("idle memory (VmRSS, and its anonymous part), median of %d launches, in MB\n",
                runs);
    std::vector<double> mb(cases.size());
    for (size_t k = 0; k < cases.size(); ++k) {
        mb[k] = Samples::Median(rss[k]) / 1024;
        std::printf("  %-22s %8.1f  anonymous %6.1f  (min %.1f, max %.1f)\n", cases[k].name.c_str(),
                    mb[k], Samples::Median(anon[k]) / 1024,
                    *std::min_element(rss[k].begin(), rss[k].end()) / 1024,
                    *std::max_element(rss[k].begin(), rss[k].end()) / 1024);
    }
    const double empty_page_kb = (mb[3] - mb[2]) * 1024 / kPages;
    const double page_kb = (mb[4] - mb[2]) * 1024 / kPages;
    const double text_kb = static_cast<double>(kPageBytes) / 1024;
    std::printf("  an empty page          %8.1f KB\n", empty_page_kb);
    std::printf("  a page of %.0f KB       %8.1f KB, %.1f KB above an empty page\n", text_kb,
                page_kb, page_kb - empty_page_kb);

    PrintFigure("memory: bare frame", mb[0], 0, "MB");
    PrintFigure("memory: empty store", mb[1], mb[0], "MB");
    PrintFigure("memory: logged in, 10k + 10k expanded", mb[2], mb[0], "MB");
    PrintFigure("memory: and 20 pages of 100 KB", mb[4], mb[0], "MB", 1.3);
    PrintFigure("memory: an empty page (overhead)", empty_page_kb, "KB",
                "<= " + std::to_string(static_cast<int>(kPageOverheadKb)) + " KB",
                empty_page_kb <= kPageOverheadKb);
    PrintFigure("memory: a page of 100 KB", page_kb, "KB",
                "<= 3 x text + " + std::to_string(static_cast<int>(kPageOverheadKb)) + " KB",
                page_kb <= 3 * text_kb + kPageOverheadKb);
    return 0;
}

} // namespace

int main(int argc, char** argv) { return bench::Main("memory_bench", Run, argc, argv); }
