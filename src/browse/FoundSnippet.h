#pragma once

#include "browse/FindQuery.h"

#include <wx/string.h>

#include <vector>

// Where a found snippet lives, as the snippet tree names its branches.
enum class SnippetPlace { Local, MyCloud, Favourites };

// One row of the Find Snippet results: enough to show it and to open it as the snippet tree does.
struct FoundSnippet {
    SnippetPlace place = SnippetPlace::Local;
    wxString language;
    wxString title;
    wxString path; // the local file's path (lossless name), for Local
    wxString sid;  // the cloud row's id, for My Cloud and Favourites
    SnippetMatch match;
    LineExcerpt line; // for a content match
};

// Exchanges two rows without copying their texts (wxString cannot be moved).
void swap(FoundSnippet& a, FoundSnippet& b);

// "Local", "My Cloud" or "Favourites".
wxString PlaceLabel(SnippetPlace place);

// The results' order: by rank, then fewer words found only in the language, then fewer
// characters between the words, then shorter titles, then by title, place and language, so that
// equal queries always list alike.
bool RanksBefore(const FoundSnippet& a, const FoundSnippet& b);

// Sorts the rows and keeps the first `maximum`.
void KeepBest(std::vector<FoundSnippet>& rows, size_t maximum);
