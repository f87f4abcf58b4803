#include "storage/Statements.h"

#include "storage/Database.h"

#include <wx/debug.h>

namespace statements {
namespace {

// An id that is not one would make a broken (or a different) statement; callers must have
// refused it already, so reaching this is a programming error.
void CheckId(const wxString& id) { wxASSERT_MSG(IsId(id), "uid or sid is not a decimal id"); }

} // namespace

bool IsId(const wxString& id) {
    if (id.empty())
        return false;
    for (const wxUniChar c : id) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

wxString OpenSnippet(const wxString& sid) {
    CheckId(sid);
    return "SELECT title, content, sid, public FROM snippets WHERE sid = " + sid + " LIMIT 1";
}

wxString ListOwn(const wxString& uid, int mode) {
    CheckId(uid);
    wxString statement = "SELECT language, title, sid FROM snippets WHERE uid = " + uid;
    if (mode > 0)
        statement += " AND public = " + wxString::Format("%d", mode - 1);
    return statement + " ORDER BY language";
}

wxString ListFavourites(const wxString& uid) {
    CheckId(uid);
    return wxString("SELECT snippets.language, snippets.title, snippets.sid FROM snippets, "
                    "favourites ") +
           "WHERE favourites.sid = snippets.sid " + "AND favourites.uid = " + uid +
           " ORDER BY snippets.language";
}

wxString InsertSnippet(const Database& db, const wxString& uid, const wxString& title,
                       const wxString& language, const wxString& content) {
    // The uid alone stands in quotes here, so it is escaped like the texts.
    return wxString("INSERT INTO snippets(uid, title, language, content)") + "VALUES('" +
           db.Escape(uid) + "', '" + db.Escape(title) + "', '" + db.Escape(language) + "', '" +
           db.Escape(content) + "')";
}

wxString NewSid(const Database& db, const wxString& uid, const wxString& title,
                const wxString& language, const wxString& content) {
    CheckId(uid);
    return "SELECT sid FROM snippets WHERE uid = " + uid + " AND title = '" + db.Escape(title) +
           "' " + " AND language = '" + db.Escape(language) + "' " + " AND content = '" +
           db.Escape(content) + "' " + " ORDER BY sid DESC LIMIT 1";
}

wxString UpdateContent(const Database& db, const wxString& sid, const wxString& content) {
    CheckId(sid);
    return wxString("UPDATE snippets SET ") + "content = '" + db.Escape(content) + "' " +
           "WHERE sid = " + sid;
}

wxString DeleteOwnSnippet(const wxString& sid, const wxString& uid) {
    CheckId(sid);
    CheckId(uid);
    return "DELETE FROM snippets WHERE sid = " + sid + " AND uid = " + uid + " LIMIT 1";
}

wxString RemoveFavourite(const wxString& uid, const wxString& sid) {
    CheckId(uid);
    CheckId(sid);
    return "DELETE FROM favourites WHERE uid = " + uid + " AND sid = " + sid + " LIMIT 1";
}

wxString RememberedUser(const Database& db, const wxString& address) {
    return "SELECT uid FROM remember WHERE ip = INET_ATON('" + db.Escape(address) + "') LIMIT 1";
}

wxString UserName(const wxString& uid) {
    CheckId(uid);
    return "SELECT username FROM users WHERE uid = " + uid + " LIMIT 1";
}

wxString CheckLogin(const Database& db, const wxString& user_name, const wxString& password) {
    return "SELECT uid FROM users WHERE username = '" + db.Escape(user_name) +
           "' AND password = SHA1('" + db.Escape(password) + "') LIMIT 1";
}

wxString NameTaken(const Database& db, const wxString& user_name) {
    return "SELECT * FROM users WHERE username = '" + db.Escape(user_name) + "' LIMIT 1";
}

wxString AddUser(const Database& db, const wxString& user_name, const wxString& password) {
    return "INSERT INTO users(username, password) VALUES('" + db.Escape(user_name) + "', SHA1('" +
           db.Escape(password) + "'))";
}

wxString RememberUser(const Database& db, const wxString& uid, const wxString& address) {
    CheckId(uid);
    return "INSERT INTO remember(uid, ip) VALUES(" + uid + ", INET_ATON('" + db.Escape(address) +
           "'))";
}

wxString Languages() { return "SELECT DISTINCT language FROM snippets ORDER BY language"; }

wxString TitleConditions(const Database& db, const std::vector<wxString>& words) {
    if (words.empty())
        return wxString();
    wxString conditions = "AND ( ";
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            conditions += "AND ";
        // A backslash is LIKE's escape character (the session keeps backslash escapes on), so
        // one in a word is doubled to stand for itself; % and _ stay wildcards.
        wxString pattern = words[i];
        pattern.Replace("\\", "\\\\");
        conditions += "title LIKE '%" + db.Escape(pattern) + "%' ";
    }
    return conditions + " ) ";
}

wxString SearchPublic(const Database& db, const std::vector<wxString>& words,
                      const wxString& language, const wxString& maximum) {
    wxASSERT_MSG(maximum.empty() || IsId(maximum), "the maximum is not a count");
    wxString statement =
        "SELECT language, title, content, sid FROM snippets WHERE public = 1 AND approved = 1 " +
        TitleConditions(db, words);
    if (!language.empty())
        statement += "AND language = '" + db.Escape(language) + "' ";
    statement += "ORDER BY language ";
    if (!maximum.empty())
        statement += "LIMIT " + maximum;
    return statement;
}

wxString SnippetDetails(const wxString& sid) {
    CheckId(sid);
    return wxString("SELECT snippets.title, snippets.language, users.username, snippets.views+1 ") +
           "FROM snippets, users " + "WHERE snippets.sid = " + sid +
           " AND users.uid = snippets.uid LIMIT 1";
}

wxString CountView(const wxString& sid) {
    CheckId(sid);
    return "UPDATE snippets SET views = views+1 WHERE sid = " + sid;
}

wxString IsFavourite(const wxString& sid, const wxString& uid) {
    CheckId(sid);
    CheckId(uid);
    return "SELECT * FROM favourites WHERE sid = " + sid + " AND uid = " + uid + " LIMIT 1";
}

wxString AddFavourite(const wxString& uid, const wxString& sid) {
    CheckId(uid);
    CheckId(sid);
    return "INSERT INTO favourites(uid, sid) VALUES(" + uid + ", " + sid + ")";
}

wxString ShareExisting(const wxString& sid) {
    CheckId(sid);
    return "UPDATE snippets SET public = 1 WHERE sid = " + sid + " LIMIT 1";
}

wxString ShareNew(const Database& db, const wxString& uid, const wxString& title,
                  const wxString& language, const wxString& content) {
    CheckId(uid);
    return wxString("INSERT INTO snippets(uid, title, language, content, public) VALUES(") + uid +
           ", " + "'" + db.Escape(title) + "', " + "'" + db.Escape(language) + "', " + "'" +
           db.Escape(content) + "', 1)";
}

} // namespace statements
