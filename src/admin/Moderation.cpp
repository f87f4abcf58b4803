#include "admin/Moderation.h"

#include "admin/ModerationStatements.h"
#include "storage/Database.h"
#include "storage/Statements.h"

#include <cstdlib>

namespace {

std::optional<std::string> Nullable(const DbRow& row, unsigned column) {
    if (row.IsNull(column))
        return std::nullopt;
    return std::string(row.Bytes(column));
}

} // namespace

std::optional<std::vector<PendingSnippet>> Moderation::Pending() {
    std::vector<PendingSnippet> pending;
    const bool ok =
        db_.Select(statements::PendingSnippets(), Fetch::Stored, [&pending](const DbRow& row) {
            PendingSnippet& snippet = pending.emplace_back();
            snippet.sid = row.Bytes(0);
            snippet.uid = row.Bytes(1);
            snippet.author = Nullable(row, 2);
            snippet.language = row.Bytes(3);
            snippet.title = row.Bytes(4);
            snippet.bytes = std::strtoull(std::string(row.Bytes(5)).c_str(), nullptr, 10);
            return true;
        });
    if (!ok)
        return std::nullopt;
    return pending;
}

Moderation::Outcome Moderation::Find(const std::string& sid, ModeratedSnippet& found) {
    if (!statements::IsId(sid))
        return Outcome::Unknown;
    bool seen = false;
    const bool ok = db_.Select(statements::ModeratedSnippet(sid), Fetch::Stored,
                               [&found, &seen](const DbRow& row) {
                                   seen = true;
                                   found.sid = row.Bytes(0);
                                   found.uid = row.Bytes(1);
                                   found.author = Nullable(row, 2);
                                   found.language = Nullable(row, 3);
                                   found.title = row.Bytes(4);
                                   found.is_public = row.Bytes(5) != "0";
                                   found.approved = row.Bytes(6) != "0";
                                   found.views = row.Bytes(7);
                                   found.content = row.Bytes(8);
                                   return false;
                               });
    if (!ok)
        return Outcome::Failed;
    return seen ? Outcome::Done : Outcome::Unknown;
}

Moderation::Outcome Moderation::Approve(const std::string& sid) {
    if (!statements::IsId(sid))
        return Outcome::Unknown;
    if (!db_.Execute(statements::ApproveSnippet(sid)))
        return Outcome::Failed;
    if (db_.MatchedRows().value_or(db_.AffectedRows()) == 0)
        return Explain(sid);
    return db_.AffectedRows() == 0 ? Outcome::Unchanged : Outcome::Done;
}

Moderation::Outcome Moderation::Reject(const std::string& sid) {
    if (!statements::IsId(sid))
        return Outcome::Unknown;
    if (!db_.Execute(statements::RejectSnippet(sid)))
        return Outcome::Failed;
    // Only shared snippets match, and every match changes public.
    return db_.AffectedRows() == 0 ? Explain(sid) : Outcome::Done;
}

Moderation::Outcome Moderation::Explain(const std::string& sid) {
    // The UPDATE matched no shared snippet, so when the sid exists, the snippet was private.
    ModeratedSnippet snippet;
    const Outcome found = Find(sid, snippet);
    return found == Outcome::Done ? Outcome::NotShared : found;
}

wxString Moderation::LastError() const { return db_.LastError(); }
