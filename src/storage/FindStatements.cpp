#include "storage/FindStatements.h"

#include "storage/Database.h"
#include "storage/Statements.h"

#include <wx/debug.h>

namespace statements {
namespace {

wxString Literal(wxUniChar c) {
    const wxUniChar::value_type v = c.GetValue();
    const bool plain = (v >= 'a' && v <= 'z') || (v >= 'A' && v <= 'Z') || (v >= '0' && v <= '9');
    if (v < 0x80 && !plain)
        return wxString::Format("\\x{%02x}", static_cast<unsigned>(v));
    return wxString(c);
}

// The words as conditions on the columns of `table` ("snippets." where another table joins).
wxString Conditions(const Database& db, const wxString& table, const std::vector<wxString>& words) {
    wxString where;
    for (const wxString& word : words) {
        const wxString pattern = "'" + db.Escape(WordPattern(word)) + "'";
        // Cheap tests first: the server stops at the first that holds.
        where += " AND (" + table + "title REGEXP " + pattern + " OR " + table +
                 "language REGEXP " + pattern;
        if (word.length() > 1)
            where += " OR " + table + "title REGEXP '" + db.Escape(SubsequencePattern(word)) + "'";
        where += " OR " + table + "content REGEXP " + pattern + ")";
    }
    return where;
}

// Title and language matches first, so that the limit drops content matches before them.
wxString Order(const Database& db, const wxString& table, const std::vector<wxString>& words,
               unsigned maximum) {
    wxString order = " ORDER BY (";
    for (size_t i = 0; i < words.size(); ++i) {
        const wxString pattern = "'" + db.Escape(WordPattern(words[i])) + "'";
        order += wxString(i > 0 ? " AND " : "") + "(" + table + "title REGEXP " + pattern + " OR " +
                 table + "language REGEXP " + pattern + ")";
    }
    return order + ") DESC, " + table + "sid DESC LIMIT " + wxString::Format("%u", maximum);
}

} // namespace

wxString WordPattern(const wxString& word) {
    wxString pattern = "(?i)";
    for (const wxUniChar c : word)
        pattern += Literal(c);
    return pattern;
}

wxString SubsequencePattern(const wxString& word) {
    // Each character is looked for at its first place after the one before, skipping what is not
    // it without ever going back: the test takes time in proportion to the title, however long
    // the word.
    wxString pattern = "(?i)";
    for (size_t i = 0; i < word.length(); ++i) {
        const wxString c = Literal(word[i]);
        pattern += (i > 0 ? "[^" + c + "]*+" : wxString()) + c;
    }
    return pattern;
}

wxString FindOwn(const Database& db, const wxString& uid, const std::vector<wxString>& words,
                 unsigned maximum) {
    wxASSERT_MSG(IsId(uid) && !words.empty(), "a search needs a user and a word");
    return "SELECT sid, language, title, content FROM snippets WHERE uid = " + uid +
           Conditions(db, "", words) + Order(db, "", words, maximum);
}

wxString FindFavourites(const Database& db, const wxString& uid, const std::vector<wxString>& words,
                        unsigned maximum) {
    wxASSERT_MSG(IsId(uid) && !words.empty(), "a search needs a user and a word");
    return "SELECT snippets.sid, snippets.language, snippets.title, snippets.content FROM "
           "snippets, favourites WHERE favourites.sid = snippets.sid AND favourites.uid = " +
           uid + Conditions(db, "snippets.", words) + Order(db, "snippets.", words, maximum);
}

} // namespace statements
