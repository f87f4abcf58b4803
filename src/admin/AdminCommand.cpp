#include "admin/AdminCommand.h"

#include "BuildSettings.h"
#include "app/FdCloser.h"
#include "storage/Statements.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <unordered_set>
#include <utility>

namespace {

const std::map<std::string, AdminCommand::Action> kActions = {
    {"list", AdminCommand::Action::List},
    {"show", AdminCommand::Action::Show},
    {"approve", AdminCommand::Action::Approve},
    {"reject", AdminCommand::Action::Reject},
};

bool ParsePort(const std::string& text, unsigned& port) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(text);
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<unsigned>(value);
    return true;
}

// The longest first line a password file may have. Anything longer is no password, and the
// bound keeps a device such as /dev/zero or a pipe that never ends a line from being read forever.
constexpr std::size_t kMaxPasswordLine = 4096;

// The password is the first line of a regular file or a pipe, without its line break. Only as
// much is read as that line takes: a pipe's writer need not close it.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
    const std::string prefix = "cannot read the password file " + path + ": ";
    const auto fail = [&](const std::string& why) {
        error = prefix + why;
        return false;
    };
    // The type is checked before opening, as opening a device can itself have effects, and again
    // on what was opened.
    const auto readable = [](const struct stat& status) {
        return S_ISREG(status.st_mode) || S_ISFIFO(status.st_mode);
    };
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return fail(std::strerror(errno));
    if (!readable(status))
        return fail(S_ISDIR(status.st_mode) ? "it is a directory"
                                            : "it is neither a regular file nor a pipe");
    const FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0)
        return fail(std::strerror(errno));
    if (::fstat(file.fd, &status) != 0 || !readable(status))
        return fail("it is neither a regular file nor a pipe");

    std::string line;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(std::strerror(errno));
        if (got == 0)
            break;
        line.append(buffer, static_cast<std::size_t>(got));
        const std::size_t end = line.find('\n');
        if (end != std::string::npos) {
            line.resize(end);
            break;
        }
        if (line.size() > kMaxPasswordLine)
            break;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kMaxPasswordLine)
        return fail("its first line is longer than " + std::to_string(kMaxPasswordLine) + " bytes");
    // The client library takes the password as a C string, which would end at a NUL.
    if (line.find('\0') != std::string::npos)
        return fail("its first line holds a NUL byte");
    password = std::move(line);
    return true;
}

} // namespace

const char* AdminCommand::Usage() {
    return "Usage: corvane-admin [OPTION]... COMMAND [SID]...\n"
           "Moderates the snippets that Corvane's users share in the cloud.\n"
           "\n"
           "Commands:\n"
           "  list              the shared snippets waiting for approval\n"
           "  show SID          one snippet's fields and content\n"
           "  approve SID...    approve shared snippets: the public search finds them\n"
           "  reject SID...     take snippets off the shared list (their owners keep them)\n"
           "\n"
           "Options:\n"
           "  --host HOST           database host (default: CORVANE_DB_HOST, else the build's)\n"
           "  --port PORT           database port (default: CORVANE_DB_PORT, else the build's)\n"
           "  --password-file FILE  read the password of corvane_admin from the first line\n"
           "                        of FILE, a regular file or a pipe (default:\n"
           "                        CORVANE_ADMIN_PASSWORD)\n"
           "  -h, --help            show this help\n"
           "\n"
           "Exit status: 0 done; 1 an unknown sid, or a snippet that is not shared;\n"
           "2 bad arguments or settings; 3 the database cannot be reached or refuses the\n"
           "login; 4 a statement failed.\n";
}

std::optional<AdminCommand> AdminCommand::Parse(const std::vector<std::string>& args,
                                                const Environment& environment,
                                                std::string& error) {
    AdminCommand command;
    command.settings.host = build_settings::kDbHost;
    command.settings.port = build_settings::kDbPort;
    command.settings.user = "corvane_admin";
    if (const auto host = environment("CORVANE_DB_HOST"); host && !host->empty())
        command.settings.host = *host;
    if (const auto port = environment("CORVANE_DB_PORT"); port && !port->empty()) {
        if (!ParsePort(*port, command.settings.port)) {
            error = "CORVANE_DB_PORT is not a port number: " + *port;
            return std::nullopt;
        }
    }
    if (!command.settings.TlsFromBuild(environment, error))
        return std::nullopt;

    std::optional<std::string> passwordFile;
    std::optional<std::string> actionName;
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            command.action = Action::Help;
            return command;
        }
        // A sid never begins with a dash, so anything that does is an option.
        if (arg.size() < 2 || arg[0] != '-') {
            if (!actionName)
                actionName = arg;
            else
                operands.push_back(arg);
            continue;
        }
        // --name VALUE or --name=VALUE
        std::string name = arg, value;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name != "--host" && name != "--port" && name != "--password-file") {
            error = name == "--password" ? "the password is not taken on the command line: use "
                                           "--password-file or CORVANE_ADMIN_PASSWORD"
                                         : "unknown option " + name;
            return std::nullopt;
        }
        if (equals == std::string::npos) {
            if (i + 1 == args.size()) {
                error = "option " + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (name == "--host") {
            if (value.empty()) {
                error = "the host is empty";
                return std::nullopt;
            }
            command.settings.host = value;
        } else if (name == "--port") {
            if (!ParsePort(value, command.settings.port)) {
                error = "not a port number: " + value;
                return std::nullopt;
            }
        } else {
            passwordFile = value;
        }
    }

    if (!actionName) {
        error = "no command given";
        return std::nullopt;
    }
    const auto action = kActions.find(*actionName);
    if (action == kActions.end()) {
        error = "unknown command " + *actionName;
        return std::nullopt;
    }
    command.action = action->second;

    if (command.action == Action::List && !operands.empty()) {
        error = "list takes no sid";
        return std::nullopt;
    }
    if (command.action == Action::Show && operands.size() != 1) {
        error = "show takes exactly one sid";
        return std::nullopt;
    }
    if ((command.action == Action::Approve || command.action == Action::Reject) &&
        operands.empty()) {
        error = *actionName + " needs at least one sid";
        return std::nullopt;
    }
    std::unordered_set<std::string> seen;
    for (const std::string& sid : operands) {
        if (!statements::IsId(sid)) {
            error = "not a sid (a snippet's decimal id): " + sid;
            return std::nullopt;
        }
        if (seen.insert(sid).second)
            command.sids.push_back(sid);
    }

    if (passwordFile) {
        if (!ReadPasswordFile(*passwordFile, command.settings.password, error))
            return std::nullopt;
    } else if (const auto password = environment("CORVANE_ADMIN_PASSWORD")) {
        command.settings.password = *password;
    } else {
        error = "no password for corvane_admin: set CORVANE_ADMIN_PASSWORD or use "
                "--password-file FILE";
        return std::nullopt;
    }
    // An empty password would log in only to an account left without one.
    if (command.settings.password.empty()) {
        error = passwordFile ? "the password file " + *passwordFile + " holds no password"
                             : std::string("CORVANE_ADMIN_PASSWORD is empty");
        return std::nullopt;
    }
    return command;
}
