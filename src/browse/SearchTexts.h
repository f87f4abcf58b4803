#pragma once

#include <wx/string.h>

#include <vector>

// The texts of the public search and its results pages that need no window: the title words a
// search looks for, the check of the maximum, the captions and labels, and the names under which
// a viewed snippet is downloaded.
namespace search_texts {

// The words of a search title: split at every blank (code 32 only), without empty words and
// without the stop words "a", "the", "in", "of" and "at" (exact case). A word of 8 or more
// characters loses its first and last character.
std::vector<wxString> TitleWords(const wxString& title);

// True when a trimmed maximum may go into a statement: empty (no limit) or digits 0 to 9 only.
bool IsMaximum(const wxString& maximum);
// The LIMIT count for such a maximum: as typed, except that a number beyond the largest count the
// server takes (2^64 - 1) becomes that count, which like any larger one asks for every row.
wxString LimitCount(const wxString& maximum);

// The caption of a results page: the language, a blank, the title.
wxString ResultsCaption(const wxString& language, const wxString& title);

// The information line of a viewed snippet; `count` includes the current view. A NUL in the
// texts shows as U+FFFD.
wxString InformationLabel(const wxString& title, const wxString& language, const wxString& author,
                          const wxString& count);
// The line a results page shows instead when the server did not answer its search.
wxString SearchFailedLabel(const wxString& why);

// A language or title from somebody else's row made safe to name one directory entry: path
// separators and NULs become "_", and the names "." and ".." become "_" and "__". Everything
// else stays as it is.
wxString SafeName(const wxString& name);

// Where a download of a snippet in `language` is proposed: "./snippets/downloads/" + the safe
// language + "/".
wxString DownloadDirectory(const wxString& language);
// The file name proposed for a download: the safe title + ".snippet".
wxString DownloadFileName(const wxString& title);

} // namespace search_texts
