// CPU time of the running program at idle, with the clipboard watcher polling: Corvane is started
// on the current display in a scratch working directory while xclip owns a text on the clipboard;
// after it has settled, its user and system time are read from /proc before and after a quiet
// period. Target: below 1 % of one core.
//
//   clipboard_idle_bench [--seconds N (default 60)]
//
// The database is what the environment says (CORVANE_DB_HOST, CORVANE_DB_PORT).
#include "Figure.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr int kSettleSeconds = 5;

pid_t Start(const char* const argv[], const std::string& dir) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        if (null < 0 || chdir(dir.c_str()) != 0)
            _exit(126);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    return pid;
}

// User plus system time of a process, in seconds; negative when it cannot be read.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t end_of_name = stat.rfind(')');
    if (end_of_name == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(end_of_name + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14)
            utime = std::stoull(field);
        if (number == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0)
        seconds = std::max(1, std::atoi(argv[2]));
    else if (argc != 1) {
        std::fprintf(stderr, "usage: clipboard_idle_bench [--seconds N]\n");
        return 2;
    }
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "DISPLAY is not set\n");
        return 2;
    }
    namespace fs = std::filesystem;
    char templ[] = "/tmp/corvane-idle-XXXXXX";
    if (mkdtemp(templ) == nullptr)
        return 1;
    const std::string dir = templ;
    std::error_code error;
    fs::create_directory_symlink(CORVANE_ICONS_DIR, dir + "/icons", error);
    std::ofstream(dir + "/clip.txt") << "a text on the clipboard";

    const char* const xclip[] = {"xclip", "-quiet",   "-selection", "clipboard",
                                 "-i",    "clip.txt", nullptr};
    const pid_t owner = Start(xclip, dir);
    const char* const corvane[] = {CORVANE_PATH, nullptr};
    const pid_t program = Start(corvane, dir);
    sleep(kSettleSeconds);

    const double before = CpuSeconds(program);
    sleep(static_cast<unsigned>(seconds));
    const double after = CpuSeconds(program);
    const bool alive = waitpid(program, nullptr, WNOHANG) == 0;
    Stop(program);
    Stop(owner);
    fs::remove_all(dir, error);
    if (!alive || before < 0 || after < 0) {
        std::fprintf(stderr, "the program ended early\n");
        return 1;
    }
    const double share = (after - before) / seconds * 100.0;
    std::printf("Corvane at idle with the clipboard watcher polling every 500 ms\n");
    std::printf("  CPU time over %d s   %.2f s (user + system, from /proc)\n", seconds,
                after - before);
    std::printf("  share of one core    %.3f %%   (target: below 1 %%)\n", share);
    PrintFigure("clipboard: CPU at idle, share of one core", share, "%", "< 1 %", share < 1.0);
    return 0;
}
