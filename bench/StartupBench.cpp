// Start-up time of the program against a bare frame with a menu bar and a status bar: each is
// launched N times on the current display, in a scratch working directory holding icons/, and
// timed from fork and exec to its window visible: the first idle moment after the window is shown,
// which both report on standard output under CORVANE_EXIT_WHEN_IDLE (the end of the process is
// not timed). Prints the medians and their ratio, whether the program reached the database, and
// whether the update service answered. Target: at most 1.4 x the bare frame.
//
//   startup_bench [--runs N] [--unreachable] [--silent-update]
//
// The database is what the environment says (CORVANE_DB_HOST, CORVANE_DB_PORT); --unreachable
// points the program at a closed port instead. The update service is CORVANE_UPDATE_HOST (the
// private nginx of scripts/services.sh answers the current version); --silent-update points the
// program at a socket of this benchmark that accepts connections and never answers.
#include "Figure.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultRuns = 15;
constexpr int kMinimumRuns = 10;
// A launch that takes longer has hung (a dialog nobody answers, a lost display).
constexpr unsigned kTimeoutSeconds = 60;

volatile sig_atomic_t g_child = 0;

void KillChild(int) {
    if (g_child > 0)
        kill(g_child, SIGKILL);
}

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Run {
    double ms;
    std::string stderr_text;
};

// Launches `program` in `dir`, times it to the moment it reports its window visible, and waits for
// its end; nothing when it failed, timed out or never reported.
std::optional<Run> Launch(const std::string& program, const std::string& dir,
                          const std::string& err_file) {
    int report[2];
    if (pipe(report) != 0) {
        std::perror("pipe");
        return std::nullopt;
    }
    const double start = Now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return std::nullopt;
    }
    if (pid == 0) {
        const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err < 0 || chdir(dir.c_str()) != 0)
            _exit(126);
        dup2(report[1], STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        close(report[0]);
        close(report[1]);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(report[1]);
    g_child = pid;
    alarm(kTimeoutSeconds);
    // Everything the program writes to standard output, up to its end.
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(report[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        out.append(buffer, static_cast<size_t>(got));
    }
    close(report[0]);
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    alarm(0);
    g_child = 0;

    std::ifstream in(err_file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t mark = out.find("visible ");
    if (done != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        mark == std::string::npos) {
        std::fprintf(stderr, "%s did not report its window and end normally (status %d)\n%s",
                     program.c_str(), status, text.c_str());
        return std::nullopt;
    }
    const double visible = std::strtod(out.c_str() + mark + 8, nullptr);
    return Run{visible - start, std::move(text)};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: startup_bench [--runs N (>= %d, default %d)] [--unreachable] "
                 "[--silent-update]\n",
                 kMinimumRuns, kDefaultRuns);
}

// A loopback port that completes every connect (the kernel's backlog) and never answers; the
// socket stays open until the benchmark ends. "127.0.0.1:port", or empty on failure.
std::string SilentHost() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(fd, 128) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return std::string();
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

// True when the update service at `host` ("name[:port][/prefix]", as CORVANE_UPDATE_HOST takes
// it) answers the version question with HTTP 200, as the program's start-up check asks it.
bool UpdateServiceAnswers(const std::string& host) {
    const size_t slash = host.find('/');
    const std::string authority = host.substr(0, slash);
    const std::string prefix = slash == std::string::npos ? std::string() : host.substr(slash);
    const size_t colon = authority.rfind(':');
    const std::string name = authority.substr(0, colon);
    const std::string port = colon == std::string::npos ? "80" : authority.substr(colon + 1);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), port.c_str(), &hints, &found) != 0)
        return false;
    const int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    const bool connected = fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0;
    freeaddrinfo(found);
    std::string reply;
    if (connected) {
        const timeval timeout{3, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const std::string request = "GET " + prefix +
                                    "/app-ext/version.php?os=linux HTTP/1.0\r\nHost: " + name +
                                    "\r\nConnection: close\r\n\r\n";
        if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[256];
            ssize_t got;
            while (reply.size() < 12 && (got = read(fd, buffer, sizeof buffer)) > 0)
                reply.append(buffer, static_cast<size_t>(got));
        }
    }
    if (fd >= 0)
        close(fd);
    return reply.compare(0, 5, "HTTP/") == 0 && reply.find(" 200", 5) == reply.find(' ');
}

} // namespace

int main(int argc, char** argv) {
    int runs = kDefaultRuns;
    bool unreachable = false;
    bool silent_update = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--unreachable") == 0) {
            unreachable = true;
        } else if (std::strcmp(argv[i], "--silent-update") == 0) {
            silent_update = true;
        } else {
            Usage();
            return 2;
        }
    }
    if (runs < kMinimumRuns) {
        Usage();
        return 2;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::fprintf(stderr, "DISPLAY is not set\n");
        return 2;
    }

    namespace fs = std::filesystem;
    char templ[] = "/tmp/corvane-startup-XXXXXX";
    if (mkdtemp(templ) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = templ;
    std::error_code error;
    fs::create_directory_symlink(CORVANE_ICONS_DIR, dir + "/icons", error);
    if (error) {
        std::fprintf(stderr, "cannot link icons/: %s\n", error.message().c_str());
        return 1;
    }
    const std::string err_file = dir + "/stderr.txt";

    setenv("CORVANE_EXIT_WHEN_IDLE", "1", 1);
    if (unreachable)
        setenv("CORVANE_DB_PORT", "1", 1); // nothing listens on port 1: refused at once
    if (silent_update) {
        const std::string host = SilentHost();
        if (host.empty()) {
            std::perror("listening socket");
            return 1;
        }
        setenv("CORVANE_UPDATE_HOST", host.c_str(), 1);
    }
    struct sigaction on_alarm {};
    on_alarm.sa_handler = KillChild;
    sigaction(SIGALRM, &on_alarm, nullptr);

    const char* update = std::getenv("CORVANE_UPDATE_HOST");
    const bool update_answers = update != nullptr && UpdateServiceAnswers(update);

    const std::string programs[] = {BARE_FRAME_PATH, CORVANE_PATH};
    std::vector<double> times[2];
    int db_failures = 0;
    bool ok = true;
    // One launch each first, untimed, so that both start from warm caches.
    for (int round = -1; ok && round < runs; ++round) {
        // Alternating the order keeps slow drifts of the machine off one side.
        for (int k = 0; ok && k < 2; ++k) {
            const int which = round % 2 == 0 ? k : 1 - k;
            const std::optional<Run> run = Launch(programs[which], dir, err_file);
            if (!run) {
                ok = false;
                break;
            }
            if (round < 0)
                continue;
            times[which].push_back(run->ms);
            if (which == 1 &&
                run->stderr_text.find("Failed to connect to the database") != std::string::npos)
                ++db_failures;
        }
    }
    fs::remove_all(dir, error);
    if (!ok)
        return 1;

    const double bare = Median(times[0]);
    const double corvane = Median(times[1]);
    const char* host = std::getenv("CORVANE_DB_HOST");
    const char* port = std::getenv("CORVANE_DB_PORT");
    std::printf(
        "start-up to the window visible (first idle moment after it is shown), median of %d "
        "launches on display %s\n",
        runs, display);
    std::printf("  bare frame  %8.1f ms  (min %.1f, max %.1f)\n", bare,
                *std::min_element(times[0].begin(), times[0].end()),
                *std::max_element(times[0].begin(), times[0].end()));
    std::printf("  Corvane     %8.1f ms  (min %.1f, max %.1f)\n", corvane,
                *std::min_element(times[1].begin(), times[1].end()),
                *std::max_element(times[1].begin(), times[1].end()));
    std::printf("  ratio       %8.2f     (target: at most 1.40)\n", corvane / bare);
    std::printf("  database    %s:%s %s\n", host ? host : "(build default host)",
                port ? port : "(default port)",
                db_failures == 0      ? "reachable in every launch"
                : db_failures == runs ? "unreachable in every launch"
                                      : "reachable in some launches only");
    std::printf("  update      %s%s\n", update ? update : "(build default host)",
                silent_update    ? " (accepts and never answers)"
                : update_answers ? " (answers)"
                                 : " (does not answer)");
    std::string name = "start-up to the visible window";
    if (db_failures > 0)
        name += ", database unreachable";
    if (!update_answers)
        name += ", update check unanswered";
    PrintFigure(name, corvane, bare, "ms", 1.4);
    return 0;
}
