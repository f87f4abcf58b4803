// Start-up time of the program against a bare frame with a menu bar and a status bar: each is
// launched N times on the current display, in a scratch working directory holding icons/, and
// timed from fork and exec to its window visible: the first idle moment after the window is shown,
// which both report on standard output under CORVANE_EXIT_WHEN_IDLE (the end of the process is
// not timed). Prints the medians and their ratio, whether the program reached the database, and
// whether the update service answered. Target: at most 1.4 x the bare frame.
//
//   startup_bench [--runs N] [--unreachable] [--silent-update] [--recovered | --tls]
//
// --recovered compares the program with itself instead: starting with an empty recovery store
// against starting with 20 unsaved pages of 1 MB each to restore (target: at most 1.10).
//
// The database is what the environment says (CORVANE_DB_HOST, CORVANE_DB_PORT); --unreachable
// points the program at a closed port instead. The update service is CORVANE_UPDATE_HOST (the
// private nginx of scripts/services.sh answers the current version); --silent-update points the
// program at a socket of this benchmark that accepts connections and never answers. --tls compares
// the program connecting with TLS required (verified against CORVANE_TEST_DB_CA, the CA of the
// private server of scripts/services.sh) with the same program connecting without TLS, instead of
// the program with the bare frame (target: at most 1.10).
#include "Figure.h"
#include "storage/RecoveryStore.h"

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

constexpr int kRecoveredPages = 20;
constexpr size_t kRecoveredPageBytes = 1 << 20;

// A recovery store in `dir` as a session with kRecoveredPages unsaved pages of about 1 MB of code
// each leaves it; false when it cannot be written.
bool WriteRecoveredPages(const std::string& dir) {
    namespace fs = std::filesystem;
    const fs::path store = fs::path(dir) / recovery::kDirectory;
    std::error_code error;
    fs::create_directories(store, error);
    recovery::Index index;
    for (int page = 1; page <= kRecoveredPages; ++page) {
        recovery::PageRecord record;
        record.caption = wxString::Format("Snippet %d", page);
        record.kind = "new-snippet";
        record.title = "New Snippet";
        for (int line = 0; record.text.size() < kRecoveredPageBytes; ++line) {
            record.text += "    total += weigh(items[" + std::to_string(line) + "], \"page " +
                           std::to_string(page) + "\"); // running sum\n";
        }
        const auto id = static_cast<recovery::EntryId>(page);
        std::ofstream(store / ("page-" + std::to_string(id)), std::ios::binary)
            << recovery::EncodeRecord(record);
        index.open.push_back(id);
    }
    index.selected = index.open.back();
    std::ofstream(store / "index", std::ios::binary) << recovery::EncodeIndex(index);
    return !error && fs::exists(store / "index");
}

// Launches `program` in `dir`, times it to the moment it reports its window visible, and waits for
// its end; nothing when it failed, timed out or never reported.
std::optional<Run> Launch(const std::string& program, const std::string& dir,
                          const std::string& err_file, const char* db_tls) {
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
        if (db_tls != nullptr)
            setenv("CORVANE_DB_TLS", db_tls, 1);
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
                 "[--silent-update] [--recovered | --tls]\n",
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
    bool recovered = false;
    bool tls = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--unreachable") == 0) {
            unreachable = true;
        } else if (std::strcmp(argv[i], "--silent-update") == 0) {
            silent_update = true;
        } else if (std::strcmp(argv[i], "--recovered") == 0) {
            recovered = true;
        } else if (std::strcmp(argv[i], "--tls") == 0) {
            tls = true;
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
    // The second side starts in a directory of its own: with the recovery store, or the same.
    const std::string dirs[] = {dir + "/first", dir + "/second"};
    std::error_code error;
    for (const std::string& side : dirs) {
        fs::create_directory(side, error);
        if (!error)
            fs::create_directory_symlink(CORVANE_ICONS_DIR, side + "/icons", error);
        if (error) {
            std::fprintf(stderr, "cannot link icons/: %s\n", error.message().c_str());
            return 1;
        }
    }
    if (recovered && !WriteRecoveredPages(dirs[1])) {
        std::fprintf(stderr, "cannot write the recovery store\n");
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
    const char* update = std::getenv("CORVANE_UPDATE_HOST");
    const bool update_answers = update != nullptr && UpdateServiceAnswers(update);

    struct sigaction on_alarm {};
    on_alarm.sa_handler = KillChild;
    sigaction(SIGALRM, &on_alarm, nullptr);

    if (tls) {
        const char* ca = std::getenv("CORVANE_TEST_DB_CA");
        if (ca == nullptr || *ca == '\0') {
            std::fprintf(stderr,
                         "CORVANE_TEST_DB_CA is not set (start_db of scripts/services.sh)\n");
            return 2;
        }
        setenv("CORVANE_DB_CA", ca, 1);
    }
    // Against itself for --recovered and --tls, else against the bare frame.
    const bool itself = recovered || tls;
    const std::string programs[] = {itself ? CORVANE_PATH : BARE_FRAME_PATH, CORVANE_PATH};
    const char* labels[] = {recovered ? "no pages    "
                            : tls     ? "Corvane     "
                                      : "bare frame  ",
                            recovered ? "20 x 1 MB   "
                            : tls     ? "with TLS    "
                                      : "Corvane     "};
    std::vector<double> times[2];
    int db_failures = 0;
    bool ok = true;
    // One launch each first, untimed, so that both start from warm caches.
    for (int round = -1; ok && round < runs; ++round) {
        // Alternating the order keeps slow drifts of the machine off one side.
        for (int k = 0; ok && k < 2; ++k) {
            const int which = round % 2 == 0 ? k : 1 - k;
            const std::optional<Run> run = Launch(programs[which], dirs[which], err_file,
                                                  !tls         ? nullptr
                                                  : which == 1 ? "required"
                                                               : "off");
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
    std::printf("  %s%8.1f ms  (min %.1f, max %.1f)\n", labels[0], bare,
                *std::min_element(times[0].begin(), times[0].end()),
                *std::max_element(times[0].begin(), times[0].end()));
    std::printf("  %s%8.1f ms  (min %.1f, max %.1f)\n", labels[1], corvane,
                *std::min_element(times[1].begin(), times[1].end()),
                *std::max_element(times[1].begin(), times[1].end()));
    std::printf("  ratio       %8.2f     (target: at most %s)\n", corvane / bare,
                itself ? "1.10" : "1.40");
    std::printf("  database    %s:%s %s\n", host ? host : "(build default host)",
                port ? port : "(default port)",
                db_failures == 0      ? "reachable in every launch"
                : db_failures == runs ? "unreachable in every launch"
                                      : "reachable in some launches only");
    std::printf("  update      %s%s\n", update ? update : "(build default host)",
                silent_update    ? " (accepts and never answers)"
                : update_answers ? " (answers)"
                                 : " (does not answer)");
    std::string name = recovered ? "start-up with 20 recovered pages of 1 MB"
                       : tls     ? "start-up with TLS required"
                                 : "start-up to the visible window";
    if (db_failures > 0)
        name += ", database unreachable";
    if (!update_answers)
        name += ", update check unanswered";
    PrintFigure(name, corvane, bare, "ms", itself ? 1.1 : 1.4);
    return 0;
}
