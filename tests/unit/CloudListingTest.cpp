#include "browse/CloudListing.h"

#include "app/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace std::string_literals;

namespace {

// The runs as (language, titles) in order, the loose rows under the empty language first.
using Grouped = std::vector<std::pair<wxString, std::vector<wxString>>>;

Grouped Group(const std::vector<std::string>& languages) {
    CloudListing list;
    for (size_t i = 0; i < languages.size(); ++i)
        list.Add(languages[i], "t" + std::to_string(i), std::to_string(100 + i));
    Grouped grouped;
    const auto titles = [&list](CloudListing::Index first, CloudListing::Index count) {
        std::vector<wxString> titles;
        for (CloudListing::Index row = first; row < first + count; ++row)
            titles.push_back(list.Title(row));
        return titles;
    };
    if (list.LooseRows() > 0)
        grouped.emplace_back("", titles(0, list.LooseRows()));
    for (size_t run = 0; run < list.Runs().size(); ++run)
        grouped.emplace_back(list.Language(run),
                             titles(list.Runs()[run].first_row, list.Runs()[run].row_count));
    return grouped;
}

} // namespace

TEST(CloudListing, OneRunPerStretchOfExactlyEqualLanguages) {
    const wxString replacement = text::FromUtf8("\xEF\xBF\xBD");
    const struct {
        std::vector<std::string> languages;
        Grouped expected;
    } cases[] = {
        {{"C", "C", "Go"}, {{"C", {"t0", "t1"}}, {"Go", {"t2"}}}},
        // Letter case counts, so one language may make several runs.
        {{"C", "c", "C", "Go"}, {{"C", {"t0"}}, {"c", {"t1"}}, {"C", {"t2"}}, {"Go", {"t3"}}}},
        // Empty languages at the start belong to no run; later, an empty language is a run.
        {{"", "", "C", "", "C"}, {{"", {"t0", "t1"}}, {"C", {"t2"}}, {"", {"t3"}}, {"C", {"t4"}}}},
        // Different bytes that decode to the same text are one run; a NUL is part of the text.
        {{"\xFF", "\xFE", "a\0b"s, "a\0b"s},
         {{replacement, {"t0", "t1"}}, {wxString("a\0b", 3), {"t2", "t3"}}}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Group(c.languages), c.expected) << ::testing::PrintToString(c.languages);
}

TEST(CloudListing, RowsKeepTheirTitlesAndSidsUntilCleared) {
    CloudListing list;
    list.Add("C", "caf\xC3\xA9 \xFF"s, "42");
    list.Add("C", "with\0nul"s, "7");
    ASSERT_EQ(list.RowCount(), 2u);
    EXPECT_EQ(list.Title(0), text::FromUtf8("caf\xC3\xA9 \xEF\xBF\xBD"));
    EXPECT_EQ(list.Sid(0), "42");
    EXPECT_EQ(list.Title(1), wxString("with\0nul", 8));
    EXPECT_EQ(list.Sid(1), "7");

    list.Clear();
    EXPECT_EQ(list.RowCount(), 0u);
    EXPECT_TRUE(list.Runs().empty());
    // A cleared list starts grouping afresh: the first language opens a run again.
    list.Add("C", "again", "1");
    ASSERT_EQ(list.Runs().size(), 1u);
    EXPECT_EQ(list.Language(0), "C");
    EXPECT_EQ(list.LooseRows(), 0u);
}
