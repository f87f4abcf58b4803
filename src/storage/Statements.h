#pragma once

#include <wx/string.h>

#include <vector>

class Database;

// The texts of the cloud statements about snippets and favourites.
//
// Quoted text values are escaped for the connection, so those builders take the database.
// A uid or sid is the decimal text the server returned and goes in unquoted; callers check it
// with IsId first and send nothing when it is not one.
namespace statements {

// True for a non-empty run of the digits 0 to 9, the only text that may stand as an id.
bool IsId(const wxString& id);

// Title, content, sid and public flag of one snippet (read streamed, first row).
wxString OpenSnippet(const wxString& sid);
// Language, title and sid of the user's snippets by language: all for mode 0, the private ones
// for mode 1, the public ones for mode 2 (read streamed).
wxString ListOwn(const wxString& uid, int mode);
// Language, title and sid of the user's favourites by language (read stored).
wxString ListFavourites(const wxString& uid);
// A new private snippet of the user.
wxString InsertSnippet(const Database& db, const wxString& uid, const wxString& title,
                       const wxString& language, const wxString& content);
// The sid of the user's newest snippet with exactly this title, language and content.
wxString NewSid(const Database& db, const wxString& uid, const wxString& title,
                const wxString& language, const wxString& content);
// Replaces the content of one snippet.
wxString UpdateContent(const Database& db, const wxString& sid, const wxString& content);
// Deletes one of the user's own snippets.
wxString DeleteOwnSnippet(const wxString& sid, const wxString& uid);
// Removes one favourite of the user.
wxString RemoveFavourite(const wxString& uid, const wxString& sid);

// Accounts. The password travels as typed; the server compares and stores its SHA-1.
// The uid remembered for a public address (read stored, first row).
wxString RememberedUser(const Database& db, const wxString& address);
// The user name of a uid.
wxString UserName(const wxString& uid);
// The uid of the account with this name and password.
wxString CheckLogin(const Database& db, const wxString& user_name, const wxString& password);
// Any account with this name.
wxString NameTaken(const Database& db, const wxString& user_name);
// A new account.
wxString AddUser(const Database& db, const wxString& user_name, const wxString& password);
// Remembers the user for a public address.
wxString RememberUser(const Database& db, const wxString& uid, const wxString& address);
// The distinct languages of all snippets, ordered (read stored).
wxString Languages();
// "AND ( title LIKE '%word%' AND ... ) ", true for a title that holds every one of `words`, or
// nothing when there are none. In a word % and _ are wildcards; every other character, a
// backslash too, stands for itself.
wxString TitleConditions(const Database& db, const std::vector<wxString>& words);
// Language, title, content and sid of the approved public snippets whose titles hold every one
// of `words` (as TitleConditions), only in `language` unless it is empty, by language; at most
// `maximum` rows unless it is empty. `maximum` must be empty or digits.
wxString SearchPublic(const Database& db, const std::vector<wxString>& words,
                      const wxString& language, const wxString& maximum);
// Title, language, author's name and views plus one of a snippet (read stored).
wxString SnippetDetails(const wxString& sid);
// Counts one view of a snippet.
wxString CountView(const wxString& sid);
// The user's favourite row for a snippet, if any (read stored).
wxString IsFavourite(const wxString& sid, const wxString& uid);
// Marks a snippet as the user's favourite.
wxString AddFavourite(const wxString& uid, const wxString& sid);
// Publishes one of the user's cloud snippets.
wxString ShareExisting(const wxString& sid);
// Publishes a copy of a local snippet as a new public row of the user.
wxString ShareNew(const Database& db, const wxString& uid, const wxString& title,
                  const wxString& language, const wxString& content);

} // namespace statements
