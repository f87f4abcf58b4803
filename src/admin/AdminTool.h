#pragma once

#include "admin/AdminCommand.h"

#include <ostream>
#include <string>
#include <vector>

// corvane-admin: runs one command line against the cloud with the moderators' account, writes
// results to `out` and problems to `err`, and returns the exit status.
class AdminTool {
public:
    enum Status : int {
        kOk = 0,
        kUnknownSnippet = 1, // an unknown sid, or a snippet not in a state the command applies to
        kBadArguments = 2,
        kConnectionFailed = 3, // unreachable server, refused login
        kStatementFailed = 4,
    };

    static int Run(const std::vector<std::string>& args,
                   const AdminCommand::Environment& environment, std::ostream& out,
                   std::ostream& err);
};
