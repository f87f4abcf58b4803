#include "editor/RegexSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

constexpr long long kSteps = 20'000'000;

RegexSearch::Text Whole(const std::string& text) {
    return {text.data(), 0, static_cast<int>(text.size())};
}

// The match from `from` towards `to`, or (-1, -1).
std::pair<int, int> Find(const std::string& pattern, const std::string& text, int from, int to,
                         bool match_case = false) {
    RegexSearch search(pattern, match_case, kSteps);
    RegexSearch::Match match;
    if (search.Find(Whole(text), from, to, &match) != RegexSearch::Outcome::Found)
        return {-1, -1};
    return {match.start, match.end};
}

using Range = std::pair<int, int>;

} // namespace

TEST(RegexSearch, PatternsTheEditorCannotCompileAreInvalid) {
    const std::pair<const char*, const char*> invalid[] = {
        {"\\(", "Unmatched \\("},
        {"[", "Missing ]"},
        {"[a-", "Missing ]"},
        {"*a", "Empty closure"},
        {"\\)", "Unmatched \\)"},
        {"^*", "Illegal closure"},
        {"\\(a\\)*", "Illegal closure"},
        {"\\(\\)", "Null pattern inside \\(\\)"},
        {"\\<\\>", "Null pattern inside \\<\\>"},
        {"\\1", "Undetermined reference"},
        {"\\(a\\1\\)", "Cyclical reference"},
    };
    for (const auto& [pattern, error] : invalid) {
        RegexSearch search(pattern, false, kSteps);
        EXPECT_EQ(search.Error(), error) << pattern;
        RegexSearch::Match match;
        EXPECT_EQ(search.Find(Whole("a ( [ ) \\"), 0, 9, &match), RegexSearch::Outcome::NotFound);
    }
    std::string long_pattern;
    for (int i = 0; i < 70; ++i)
        long_pattern += "[ab]";
    EXPECT_EQ(RegexSearch(long_pattern, false, kSteps).Error(), "Pattern too long");

    for (const char* valid : {"a\\", "[]]", "[-a]", "a**", "\\(a\\)\\1", "x\\x41?", "\\d+"})
        EXPECT_EQ(RegexSearch(valid, false, kSteps).Error(), "") << valid;
}

TEST(RegexSearch, MatchesLineByLineAsTheEditorDoes) {
    const std::string text = "int x = 1234;\r\nAb ab\rlast line$\nend";
    const int n = static_cast<int>(text.size());
    EXPECT_EQ(Find("[0-9]+", text, 0, n), Range(8, 12));
    // Case folds ASCII letters unless the case must match; an escaped letter always matches
    // itself only.
    EXPECT_EQ(Find("ab", text, 0, n), Range(15, 17));
    EXPECT_EQ(Find("ab", text, 0, n, true), Range(18, 20));
    EXPECT_EQ(Find("\\x41b", text, 0, n), Range(15, 17));
    // '^' and '$' hold at the ends of each line, whatever ends it.
    EXPECT_EQ(Find("^ab", text, 1, n, true), Range(-1, -1));
    EXPECT_EQ(Find("^l", text, 1, n), Range(21, 22));
    EXPECT_EQ(Find("b$", text, 0, n), Range(19, 20));
    EXPECT_EQ(Find("e\\$", text, 0, n), Range(29, 31));
    // A pattern never reaches into the next line.
    EXPECT_EQ(Find("1234;.", text, 0, n), Range(-1, -1));
    // Word starts, groups and back-references.
    EXPECT_EQ(Find("\\<b", text, 0, n), Range(-1, -1));
    EXPECT_EQ(Find("\\(b\\) a\\1", text, 0, n), Range(16, 20));
    // Backwards, the last match on the line before the start wins, looked for one position on
    // from the match before.
    EXPECT_EQ(Find("[a-z]+", text, 20, 0), Range(19, 20));
    EXPECT_EQ(Find("[0-9]", text, 14, 0), Range(11, 12));

    // The editor's oddities are kept: '?' after a class repeats it, a lazy repetition at the end
    // of a pattern is greedy, and nothing matches empty at the end of a line.
    EXPECT_EQ(Find("[0-9]?", text, 8, n), Range(8, 12));
    EXPECT_EQ(Find("2.*?", text, 0, n), Range(9, 13));
    EXPECT_EQ(Find("x*", "ab", 2, 2), Range(-1, -1));
}

TEST(RegexSearch, ATailOfTheTextFindsWhatTheWholeTextFinds) {
    const std::string text = "one\r\ntwo two\nthree";
    for (int from = 1; from <= static_cast<int>(text.size()); ++from) {
        const RegexSearch::Text tail{text.data() + from - 1, from - 1,
                                     static_cast<int>(text.size())};
        for (const char* pattern : {"^t[a-z]*", "o$", "\\<t", "e*"}) {
            RegexSearch whole(pattern, false, kSteps);
            RegexSearch part(pattern, false, kSteps);
            RegexSearch::Match a{-1, -1}, b{-1, -1};
            const auto found_whole = whole.Find(Whole(text), from, 18, &a);
            EXPECT_EQ(part.Find(tail, from, 18, &b), found_whole) << pattern << " " << from;
            EXPECT_EQ(Range(a.start, a.end), Range(b.start, b.end)) << pattern << " " << from;
        }
    }
}

TEST(RegexSearch, BacktrackingWithoutEndStopsAtItsSteps) {
    const std::string run = "b " + std::string(300, 'a');
    RegexSearch search("a*a*a*a*b", false, kSteps);
    RegexSearch::Match match;
    // The cheap match comes first; the run of a's would take minutes.
    ASSERT_EQ(search.Find(Whole(run), 0, 302, &match), RegexSearch::Outcome::Found);
    EXPECT_EQ(Range(match.start, match.end), Range(0, 1));
    EXPECT_EQ(search.Find(Whole(run), 1, 302, &match), RegexSearch::Outcome::TooComplex);
    EXPECT_TRUE(search.TooComplex());
    // The steps are spent: every later search of the same button stops too.
    EXPECT_EQ(search.Find(Whole(run), 0, 302, &match), RegexSearch::Outcome::TooComplex);
    // Backwards as well.
    RegexSearch backwards("a*a*a*a*b", false, kSteps);
    EXPECT_EQ(backwards.Find(Whole(run), 302, 0, &match), RegexSearch::Outcome::TooComplex);
}
