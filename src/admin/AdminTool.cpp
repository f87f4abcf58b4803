#include "admin/AdminTool.h"

#include "admin/Moderation.h"
#include "admin/TerminalText.h"
#include "storage/Database.h"

#include <algorithm>
#include <memory>

namespace {

constexpr const char* kProgram = "corvane-admin: ";

std::string Author(const std::optional<std::string>& author, const std::string& uid) {
    return author ? terminal_text::Line(*author) : "(no account, uid " + uid + ")";
}

void Pad(std::ostream& out, const std::string& text, std::size_t width, bool right) {
    const std::string padding(width - std::min(width, terminal_text::Width(text)), ' ');
    out << (right ? padding + text : text + padding);
}

void PrintPending(const std::vector<PendingSnippet>& pending, std::ostream& out) {
    if (pending.empty()) {
        out << "No shared snippets are waiting for approval.\n";
        return;
    }
    // The title, of any length, comes last so that the other columns stay aligned.
    std::vector<std::vector<std::string>> table = {{"SID", "AUTHOR", "LANGUAGE", "BYTES", "TITLE"}};
    for (const PendingSnippet& snippet : pending)
        table.push_back({snippet.sid, Author(snippet.author, snippet.uid),
                         snippet.language.empty() ? "-" : terminal_text::Line(snippet.language),
                         std::to_string(snippet.bytes), terminal_text::Line(snippet.title)});
    std::vector<std::size_t> widths(table[0].size(), 0);
    for (const auto& row : table)
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], terminal_text::Width(row[column]));
    for (const auto& row : table) {
        for (std::size_t column = 0; column + 1 < row.size(); ++column) {
            const bool number = column == 0 || column == 3;
            Pad(out, row[column], widths[column], number);
            out << "  ";
        }
        out << row.back() << '\n';
    }
    out << pending.size() << (pending.size() == 1 ? " snippet waits" : " snippets wait")
        << " for approval.\n";
}

void PrintSnippet(const ModeratedSnippet& snippet, std::ostream& out) {
    out << "sid:       " << snippet.sid << '\n'
        << "author:    " << Author(snippet.author, snippet.uid) << '\n'
        << "language:  " << (snippet.language ? terminal_text::Line(*snippet.language) : "(none)")
        << '\n'
        << "title:     " << terminal_text::Line(snippet.title) << '\n'
        << "state:     "
        << (!snippet.is_public ? "private"
            : snippet.approved ? "shared, approved (found by the public search)"
                               : "shared, waiting for approval")
        << '\n'
        << "views:     " << snippet.views << '\n'
        << "bytes:     " << snippet.content.size() << '\n'
        << "content:\n"
        << terminal_text::Block(snippet.content);
    if (!snippet.content.empty() && snippet.content.back() != '\n')
        out << '\n';
}

class Session {
public:
    Session(Database& db, std::ostream& out, std::ostream& err)
        : moderation_(db), out_(out), err_(err) {}

    int List() {
        const auto pending = moderation_.Pending();
        if (!pending)
            return Failed();
        PrintPending(*pending, out_);
        return AdminTool::kOk;
    }

    int Show(const std::string& sid) {
        ModeratedSnippet snippet;
        switch (moderation_.Find(sid, snippet)) {
        case Moderation::Outcome::Done:
            PrintSnippet(snippet, out_);
            return AdminTool::kOk;
        case Moderation::Outcome::Failed:
            return Failed();
        default:
            return Unknown(sid);
        }
    }

    // Acts on every sid in turn; a database failure stops the run, as the next statement would
    // most likely fail the same way.
    int Each(const std::vector<std::string>& sids, bool approve) {
        int status = AdminTool::kOk;
        for (const std::string& sid : sids) {
            const Moderation::Outcome outcome =
                approve ? moderation_.Approve(sid) : moderation_.Reject(sid);
            switch (outcome) {
            case Moderation::Outcome::Done:
                out_ << "Snippet " << sid
                     << (approve ? " approved: the public search finds it now.\n"
                                 : " rejected: it is no longer shared.\n");
                break;
            case Moderation::Outcome::Unchanged:
                out_ << "Snippet " << sid << " was approved already.\n";
                break;
            case Moderation::Outcome::NotShared:
                if (approve) {
                    err_ << kProgram << "snippet " << sid
                         << " is not shared, so there is nothing to approve\n";
                    status = AdminTool::kUnknownSnippet;
                } else {
                    out_ << "Snippet " << sid << " is not shared; nothing to reject.\n";
                }
                break;
            case Moderation::Outcome::Unknown:
                status = Unknown(sid);
                break;
            case Moderation::Outcome::Failed:
                return Failed();
            }
        }
        return status;
    }

private:
    int Unknown(const std::string& sid) {
        err_ << kProgram << "no snippet has sid " << sid << '\n';
        return AdminTool::kUnknownSnippet;
    }

    int Failed() {
        err_ << kProgram
             << "the database refused the statement: " << moderation_.LastError().utf8_string()
             << '\n';
        return AdminTool::kStatementFailed;
    }

    Moderation moderation_;
    std::ostream& out_;
    std::ostream& err_;
};

} // namespace

int AdminTool::Run(const std::vector<std::string>& args,
                   const AdminCommand::Environment& environment, std::ostream& out,
                   std::ostream& err) {
    std::string error;
    const std::optional<AdminCommand> command = AdminCommand::Parse(args, environment, error);
    if (!command) {
        err << kProgram << error << "\nTry 'corvane-admin --help'.\n";
        return kBadArguments;
    }
    if (command->action == AdminCommand::Action::Help) {
        out << AdminCommand::Usage();
        return kOk;
    }

    const DbSettings& settings = command->settings;
    wxString reason;
    Database::TlsRefusal refusal = Database::TlsRefusal::None;
    const std::unique_ptr<Database> db = Database::Connect(settings, &reason, &refusal);
    if (!db) {
        err << kProgram << "cannot connect to the database at " << settings.host << ':'
            << settings.port << " as " << settings.user << ": ";
        if (refusal != Database::TlsRefusal::None)
            err << Database::RefusalText(refusal).utf8_string() << " (" << reason.utf8_string()
                << ")\n";
        else
            err << reason.utf8_string() << '\n';
        return kConnectionFailed;
    }

    Session session(*db, out, err);
    switch (command->action) {
    case AdminCommand::Action::List:
        return session.List();
    case AdminCommand::Action::Show:
        return session.Show(command->sids.front());
    case AdminCommand::Action::Approve:
        return session.Each(command->sids, true);
    case AdminCommand::Action::Reject:
        return session.Each(command->sids, false);
    case AdminCommand::Action::Help:
        break;
    }
    return kOk;
}
