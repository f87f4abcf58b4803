#pragma once

#include <wx/string.h>

#include <optional>
#include <string>
#include <vector>

class Database;

// A shared snippet that waits for approval. Texts are the database's bytes, unchanged.
struct PendingSnippet {
    std::string sid;
    std::string uid;
    // Nothing when the author's account no longer exists.
    std::optional<std::string> author;
    std::string language;
    std::string title;
    unsigned long long bytes = 0;
};

// One snippet as a moderator sees it.
struct ModeratedSnippet {
    std::string sid;
    std::string uid;
    std::optional<std::string> author;
    // Nothing when the column is NULL.
    std::optional<std::string> language;
    std::string title;
    bool is_public = false;
    bool approved = false;
    std::string views;
    std::string content;
};

// Approving and rejecting shared snippets on the moderators' connection. Sids must pass
// statements::IsId; nothing is sent for one that does not.
class Moderation {
public:
    enum class Outcome {
        Done,      // the snippet changed as asked
        Unchanged, // it already was as asked (approving an approved snippet)
        NotShared, // it exists but is not shared: nothing to approve or reject
        Unknown,   // no snippet has that sid
        Failed,    // the database refused or the connection broke; see LastError
    };

    explicit Moderation(Database& db) : db_(db) {}

    // The waiting snippets, oldest first; nothing when the statement failed.
    std::optional<std::vector<PendingSnippet>> Pending();
    // Done with the snippet in `found`, Unknown, or Failed.
    Outcome Find(const std::string& sid, ModeratedSnippet& found);
    Outcome Approve(const std::string& sid);
    Outcome Reject(const std::string& sid);

    // The database's reason for the last failure.
    wxString LastError() const;

private:
    // Why an UPDATE matched no shared snippet: NotShared, Unknown or Failed.
    Outcome Explain(const std::string& sid);

    Database& db_;
};
