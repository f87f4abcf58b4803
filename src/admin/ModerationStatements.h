#pragma once

#include <wx/string.h>

// The texts of the moderators' statements, sent by corvane-admin with its own account.
//
// A sid goes in unquoted as the decimal text the moderator typed; callers check it with
// statements::IsId first and send nothing when it is not one.
namespace statements {

// Sid, owner uid, author's username (NULL when the account is gone), language, title and
// content length in bytes of every shared snippet that waits for approval, oldest first.
wxString PendingSnippets();
// Sid, owner uid, author's username, language, title, public, approved, views and content of
// one snippet, shared or not.
wxString ModeratedSnippet(const wxString& sid);
// Approves one shared snippet; a snippet that is not shared is left alone, so that it cannot
// become searchable later without being looked at.
wxString ApproveSnippet(const wxString& sid);
// Takes one shared snippet off the shared list and withdraws its approval, so that sharing it
// again puts it back in the waiting list.
wxString RejectSnippet(const wxString& sid);

} // namespace statements
