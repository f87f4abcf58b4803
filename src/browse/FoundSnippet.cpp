#include "browse/FoundSnippet.h"

#include <algorithm>
#include <numeric>
#include <tuple>

void swap(FoundSnippet& a, FoundSnippet& b) {
    std::swap(a.place, b.place);
    a.language.swap(b.language);
    a.title.swap(b.title);
    a.path.swap(b.path);
    a.sid.swap(b.sid);
    std::swap(a.match, b.match);
    a.line.text.swap(b.line.text);
    std::swap(a.line.match_start, b.line.match_start);
    std::swap(a.line.match_length, b.line.match_length);
}

wxString PlaceLabel(SnippetPlace place) {
    switch (place) {
    case SnippetPlace::Local:
        return "Local";
    case SnippetPlace::MyCloud:
        return "My Cloud";
    case SnippetPlace::Favourites:
        return "Favourites";
    }
    return wxString();
}

bool RanksBefore(const FoundSnippet& a, const FoundSnippet& b) {
    const auto key = [](const FoundSnippet& row) {
        return std::make_tuple(row.match.rank, row.match.language_only, row.match.gap,
                               row.title.length());
    };
    if (key(a) != key(b))
        return key(a) < key(b);
    if (const int titles = a.title.CmpNoCase(b.title); titles != 0)
        return titles < 0;
    return std::tie(a.place, a.language, a.title, a.path, a.sid) <
           std::tie(b.place, b.language, b.title, b.path, b.sid);
}

void KeepBest(std::vector<FoundSnippet>& rows, size_t maximum) {
    // Sorted by index: moving a row would copy its texts.
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    const auto kept = order.begin() + static_cast<std::ptrdiff_t>(std::min(maximum, rows.size()));
    std::partial_sort(order.begin(), kept, order.end(),
                      [&rows](size_t a, size_t b) { return RanksBefore(rows[a], rows[b]); });
    std::vector<FoundSnippet> best(static_cast<size_t>(kept - order.begin()));
    for (size_t k = 0; k < best.size(); ++k)
        swap(best[k], rows[order[k]]);
    rows.swap(best);
}
