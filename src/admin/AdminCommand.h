#pragma once

#include "storage/DbSettings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What one run of corvane-admin is asked to do, read from its arguments and environment.
//
//   corvane-admin [--host HOST] [--port PORT] [--password-file FILE] COMMAND [SID...]
//
// The host and port default to CORVANE_DB_HOST and CORVANE_DB_PORT, then to the build's
// database host and port, as for the program; so do the encryption settings CORVANE_DB_TLS,
// CORVANE_DB_CA and CORVANE_DB_FINGERPRINT. The password of the account corvane_admin is read
// from the file, else from CORVANE_ADMIN_PASSWORD; it is never taken from the command line,
// where other users of the machine could read it, nor from the program's own settings.
struct AdminCommand {
    enum class Action { Help, List, Show, Approve, Reject };

    Action action = Action::Help;
    // Decimal ids, each once, in the order given.
    std::vector<std::string> sids;
    DbSettings settings;

    // Reads an environment variable; nothing when it is unset.
    using Environment = DbSettings::Environment;

    // The command, or nothing with a message for the user in `error`.
    static std::optional<AdminCommand> Parse(const std::vector<std::string>& args,
                                             const Environment& environment, std::string& error);

    // The --help text.
    static const char* Usage();
};
