#include "admin/ModerationStatements.h"

#include "storage/Statements.h"

#include <wx/debug.h>

namespace statements {
namespace {

void CheckSid(const wxString& sid) { wxASSERT_MSG(IsId(sid), "sid is not a decimal id"); }

// The author comes from a join that keeps snippets whose account no longer exists.
constexpr const char* kWithAuthor = " FROM snippets LEFT JOIN users ON users.uid = snippets.uid ";

} // namespace

wxString PendingSnippets() {
    return wxString("SELECT snippets.sid, snippets.uid, users.username, snippets.language, "
                    "snippets.title, LENGTH(snippets.content)") +
           kWithAuthor + "WHERE snippets.public = 1 AND snippets.approved = 0 " +
           "ORDER BY snippets.sid";
}

wxString ModeratedSnippet(const wxString& sid) {
    CheckSid(sid);
    return wxString("SELECT snippets.sid, snippets.uid, users.username, snippets.language, "
                    "snippets.title, snippets.public, snippets.approved, snippets.views, "
                    "snippets.content") +
           kWithAuthor + "WHERE snippets.sid = " + sid;
}

wxString ApproveSnippet(const wxString& sid) {
    CheckSid(sid);
    return "UPDATE snippets SET approved = 1 WHERE sid = " + sid + " AND public = 1";
}

wxString RejectSnippet(const wxString& sid) {
    CheckSid(sid);
    return "UPDATE snippets SET public = 0, approved = 0 WHERE sid = " + sid + " AND public = 1";
}

} // namespace statements
