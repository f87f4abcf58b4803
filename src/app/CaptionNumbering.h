#pragma once

#include <wx/string.h>

#include <vector>

// The caption of a new notebook page: the title itself when no existing caption begins with it,
// else the title, a blank and 1 + the number of captions that begin with it (case-sensitive).
// So a second "New Snippet" page is "New Snippet 2", and a title "Sort" also counts "Sorting".
wxString NumberedCaption(const wxString& title, const std::vector<wxString>& captions);

// While a page has unsaved changes its tab shows its caption behind a leading "*". Whatever reads
// captions (the numbering above, the recovery store) takes them without it.
wxString MarkedCaption(const wxString& caption);
wxString UnmarkedCaption(const wxString& shown);
