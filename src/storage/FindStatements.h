#pragma once

#include <wx/string.h>

#include <vector>

class Database;

// The statements by which the Find Snippet command searches the user's cloud snippets on the
// server. A word matches, without regard to case, when it occurs in the title, the language or
// the content, or when its characters occur in order in the title. Words are regular
// expressions on the server: the server's own LIKE is case-sensitive on contents, and reads them
// several times slower than its regular expressions do.
namespace statements {

// A regular expression that matches `word` literally, without regard to case: every ASCII
// character other than a letter or a digit is written as its code (\x{25} for %), so that no
// character of a word (%, _, \, ., quotes, brackets) means anything but itself.
wxString WordPattern(const wxString& word);
// The same for the word's characters in order with anything between them ("qsrt" matches
// "quick sort").
wxString SubsequencePattern(const wxString& word);

// Sid, language, title and content of the user's own snippets that match every word (at least
// one), those whose title or language holds every word first, then the newest; at most
// `maximum` rows. Read stored.
wxString FindOwn(const Database& db, const wxString& uid, const std::vector<wxString>& words,
                 unsigned maximum);
// The same for the user's favourites.
wxString FindFavourites(const Database& db, const wxString& uid, const std::vector<wxString>& words,
                        unsigned maximum);

} // namespace statements
