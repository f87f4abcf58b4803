#include "browse/FindQuery.h"
#include "browse/FoundSnippet.h"

#include "app/TextCodec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

// A snippet as the finder sees it; `latin1` content is bytes that are not UTF-8.
struct Snippet {
    const char* title;
    const char* language;
    std::string content;
    bool latin1 = false;
};

std::optional<SnippetMatch> MatchOf(const FindQuery& query, const Snippet& s) {
    const std::string content = s.latin1 ? FoldLatin1(s.content) : FoldUtf8(s.content);
    return query.Match(FoldCase(U(s.title)), FoldCase(U(s.language)), content);
}

} // namespace

TEST(FindQuery, WordsAreSplitAtWhiteSpaceAndKeptOnce) {
    EXPECT_TRUE(FindQuery("").Empty());
    EXPECT_TRUE(FindQuery(U(" \t\n\xC2\xA0")).Empty());
    EXPECT_EQ(FindQuery("  quick\tSORT\nquick Sort ").Words(),
              (std::vector<wxString>{"quick", "SORT"}));
}

TEST(FindQuery, EveryWordMustOccurInTitleLanguageOrContent) {
    struct Case {
        const char* query;
        Snippet snippet;
        std::optional<MatchRank> rank; // nothing: no match
        size_t language_only = 0;
    };
    const Case cases[] = {
        {"sort", {"Quick Sort", "C", ""}, MatchRank::Title},
        {"SORT quick", {"quick sort", "C", ""}, MatchRank::Title},
        {"python read", {"Read lines", "Python", ""}, MatchRank::Title, 1},
        {"fopen", {"Read file", "C", "FILE* f = FOPEN(path);"}, MatchRank::Content},
        {"read fopen", {"Read file", "C", "f = fopen(p);"}, MatchRank::Content},
        {"read zzz", {"Read lines", "C", "nothing here"}, std::nullopt},
        // A word spread out over the title, in order.
        {"qsrt", {"quick sort", "C", ""}, MatchRank::Subsequence},
        {"qsrt", {"sort quick", "C", ""}, std::nullopt},
        {"qsrt", {"other", "C", "qsrt appears in the text"}, MatchRank::Content},
        // Spread out over the content is no match.
        {"qsrt", {"other", "C", "quick sort"}, std::nullopt},
        // Case beyond ASCII, and a file that is not UTF-8 read one byte per character.
        {"caf\xC3\xA9", {"CAF\xC3\x89 menu", "", ""}, MatchRank::Title},
        {"caf\xC3\xA9", {"menu", "", "le caf\xC9 au lait", true}, MatchRank::Content},
        {"\xC3\xA9t\xC3\xA9", {"x", "", "\xC9T\xC9", true}, MatchRank::Content},
        // Characters that mean something elsewhere are only themselves here.
        {"50%", {"x", "", "save 50% now"}, MatchRank::Content},
        {"a_b", {"x", "", "axb"}, std::nullopt},
        {".*", {"x", "", "anything"}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.query) + " in " + c.snippet.title);
        const FindQuery query(U(c.query));
        const std::optional<SnippetMatch> match = MatchOf(query, c.snippet);
        ASSERT_EQ(match.has_value(), c.rank.has_value());
        if (match) {
            EXPECT_EQ(match->rank, *c.rank);
            EXPECT_EQ(match->language_only, c.language_only);
        }
    }
}

TEST(FindQuery, RanksTitlesThenContentThenSpreadOutTitlesAndCloserWordsFirst) {
    struct Case {
        const char* query;
        std::vector<Snippet> snippets;
        std::vector<const char*> order; // titles, best first
    };
    const Case cases[] = {
        {"sort",
         {{"String operations report text", "C", ""},
          {"Utils", "C", "void sort(int* a);"},
          {"Bubble sort in C", "C", ""},
          {"Sort", "C", ""}},
         {"Sort", "Bubble sort in C", "Utils", "String operations report text"}},
        // Fewer characters between the words, in any order.
        {"quick sort",
         {{"quick merge sort", "", ""}, {"sort, but quick", "", ""}, {"quick sort", "", ""}},
         {"quick sort", "sort, but quick", "quick merge sort"}},
        // In the content, too: the closest pair anywhere counts.
        {"open close",
         {{"far", "", "open\n\n\n\n\n\n\n\n\n\n\nclose"}, {"near", "", "close it\nopen and close"}},
         {"near", "far"}},
        // A title match through the language ranks after one through the title.
        {"python lines",
         {{"Read lines", "Python", ""}, {"python lines", "Text", ""}},
         {"python lines", "Read lines"}},
        {"qs", {{"quick sort", "", ""}, {"q s", "", ""}}, {"q s", "quick sort"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const FindQuery query(c.query);
        std::vector<FoundSnippet> rows;
        for (const Snippet& s : c.snippets) {
            const std::optional<SnippetMatch> match = MatchOf(query, s);
            ASSERT_TRUE(match) << s.title;
            FoundSnippet& row = rows.emplace_back();
            row.title = U(s.title);
            row.language = U(s.language);
            row.match = *match;
        }
        KeepBest(rows, rows.size());
        std::vector<wxString> titles;
        for (const FoundSnippet& row : rows)
            titles.push_back(row.title);
        EXPECT_EQ(titles, std::vector<wxString>(c.order.begin(), c.order.end()));
        // The limit keeps the best.
        KeepBest(rows, 1);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].title, c.order[0]);
    }
}

TEST(FindQuery, ContentMatchShowsItsFirstMatchingLine) {
    const std::string long_prefix(200, 'x');
    struct Case {
        const char* query;
        std::string content;
        std::string line;    // UTF-8, as shown
        std::string matched; // the part shown as the match
    };
    const Case cases[] = {
        {"fopen", "#include <stdio.h>\n\tint n = FOPEN_MAX;\nfopen(p);", "int n = FOPEN_MAX;",
         "FOPEN"},
        {"zz", "a\r\nb zz\tc\r\n", "b zz c", "zz"},
        {"caf\xC3\xA9", "Le CAF\xC3\x89", "Le CAF\xC3\x89", "CAF\xC3\x89"},
        // A long line is cut before the match, with a mark where it was cut.
        {"needle", long_prefix + " needle " + long_prefix,
         "\xE2\x80\xA6" + std::string(29, 'x') + " needle " + std::string(83, 'x') + "\xE2\x80\xA6",
         "needle"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const FindQuery query(U(c.query));
        const std::optional<SnippetMatch> match =
            query.Match(FoldCase("title"), FoldCase(""), FoldUtf8(c.content));
        ASSERT_TRUE(match);
        const LineExcerpt line = query.FirstMatchingLine(U(c.content.c_str()), *match);
        EXPECT_EQ(line.text.utf8_string(), c.line);
        EXPECT_EQ(line.text.Mid(line.match_start, line.match_length).utf8_string(), c.matched);
    }
    // A title match has no line.
    const FindQuery query("title");
    const std::optional<SnippetMatch> match =
        query.Match(FoldCase("title"), FoldCase(""), FoldUtf8("title"));
    ASSERT_TRUE(match);
    EXPECT_TRUE(query.FirstMatchingLine("title", *match).text.empty());
}
