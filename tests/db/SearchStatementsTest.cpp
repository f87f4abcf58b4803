#include "browse/SearchTexts.h"
#include "storage/Database.h"
#include "storage/Statements.h"
#include "support/CloudTest.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Titles = std::vector<std::string>;

class SearchStatementsTest : public CloudTest {
protected:
    wxString Search(const wxString& title, const wxString& language,
                    const wxString& maximum = wxString()) {
        return statements::SearchPublic(*db, search_texts::TitleWords(title), language, maximum);
    }

    // The titles a search finds, in the order the server sends them.
    Titles Found(const wxString& title, const wxString& language = wxString()) {
        Titles titles;
        EXPECT_TRUE(db->Select(Search(title, language), Fetch::Stored, [&](const DbRow& row) {
            titles.emplace_back(row.Bytes(1));
            return true;
        })) << db->LastError();
        return titles;
    }

    static Titles Sorted(Titles titles) {
        std::sort(titles.begin(), titles.end());
        return titles;
    }
};

TEST_F(SearchStatementsTest, TextsAreExact) {
    using namespace statements;
    EXPECT_EQ(Search("quick sorting algorithm", "C", "10"),
              "SELECT language, title, content, sid FROM snippets WHERE public = 1 AND approved = "
              "1 AND ( title LIKE '%quick%' AND title LIKE '%sorting%' AND title LIKE '%lgorith%'  "
              ") AND language = 'C' ORDER BY language LIMIT 10");
    const wxString everything = "SELECT language, title, content, sid FROM snippets WHERE public "
                                "= 1 AND approved = 1 ORDER BY language ";
    EXPECT_EQ(Search("", ""), everything);
    EXPECT_EQ(Search("the in at", ""), everything);
    EXPECT_EQ(Search("a  b", "", "007"),
              "SELECT language, title, content, sid FROM snippets WHERE public = 1 AND approved = "
              "1 AND ( title LIKE '%b%'  ) ORDER BY language LIMIT 007");
    // Quotes are escaped; % and _ are left as wildcards.
    EXPECT_EQ(Search("O'Brien 1%_", "it's"),
              "SELECT language, title, content, sid FROM snippets WHERE public = 1 AND approved = "
              "1 AND ( title LIKE '%O\\'Brien%' AND title LIKE '%1%_%'  ) AND language = 'it\\'s' "
              "ORDER BY language ");

    EXPECT_EQ(Languages(), "SELECT DISTINCT language FROM snippets ORDER BY language");
    EXPECT_EQ(SnippetDetails("12"),
              "SELECT snippets.title, snippets.language, users.username, snippets.views+1 FROM "
              "snippets, users WHERE snippets.sid = 12 AND users.uid = snippets.uid LIMIT 1");
    EXPECT_EQ(CountView("12"), "UPDATE snippets SET views = views+1 WHERE sid = 12");
    EXPECT_EQ(IsFavourite("12", "7"),
              "SELECT * FROM favourites WHERE sid = 12 AND uid = 7 LIMIT 1");
    EXPECT_EQ(AddFavourite("7", "12"), "INSERT INTO favourites(uid, sid) VALUES(7, 12)");
    EXPECT_EQ(RemoveFavourite("7", "12"),
              "DELETE FROM favourites WHERE uid = 7 AND sid = 12 LIMIT 1");
    EXPECT_EQ(ShareExisting("12"), "UPDATE snippets SET public = 1 WHERE sid = 12 LIMIT 1");
    EXPECT_EQ(ShareNew(*db, "7", "it's", "C\\C", "a\nb"),
              "INSERT INTO snippets(uid, title, language, content, public) VALUES(7, 'it\\'s', "
              "'C\\\\C', 'a\\nb', 1)");
}

TEST_F(SearchStatementsTest, SearchFindsApprovedPublicTitlesIgnoringCase) {
    const std::string ann = server.AddUser("ann", "pw");
    server.AddSnippet(ann, "Quick sort", "C++", "1", true, true);
    server.AddSnippet(ann, "quick sorting algorithm", "C", "2", true, true);
    server.AddSnippet(ann, "lower quick", "c", "3", true, true);
    server.AddSnippet(ann, "O'Brien's list", "Python", "4", true, true);
    server.AddSnippet(ann, "OBrien list", "Python", "5", true, true);
    server.AddSnippet(ann, "100% sure", "Go", "6", true, true);
    server.AddSnippet(ann, "quick but shared only", "C", "7", true, false);
    server.AddSnippet(ann, "quick and private", "C", "8", false, false);
    server.AddSnippet(ann, "quick without language", std::nullopt, "9", true, true);
    server.AddSnippet(ann, "C:\\temp\\x", "Zsh", "10", true, true);
    server.AddSnippet(ann, "C:temp", "Zsh", "11", true, true);
    server.AddSnippet(ann, "sure%", "Zsh", "12", true, true);
    server.AddSnippet(ann, "not sure\\ at all", "Zsh", "13", true, true);

    EXPECT_EQ(Sorted(Found("quick")), Sorted({"Quick sort", "quick sorting algorithm",
                                              "lower quick", "quick without language"}));
    EXPECT_EQ(Found("QUICK sort"), (Titles{"quick sorting algorithm", "Quick sort"}));
    // "algorithms" loses its ends and still finds "algorithm".
    EXPECT_EQ(Found("algorithms"), Titles{"quick sorting algorithm"});
    EXPECT_EQ(Found("O'Brien"), Titles{"O'Brien's list"});
    // % matches anything in its place.
    EXPECT_EQ(Sorted(Found("O%Brien")), Sorted({"O'Brien's list", "OBrien list"}));
    EXPECT_EQ(Found("100%"), Titles{"100% sure"});
    // A backslash matches a backslash, and escapes nothing.
    EXPECT_EQ(Found("C:\\temp"), Titles{"C:\\temp\\x"});
    EXPECT_EQ(Found("sure\\"), Titles{"not sure\\ at all"});
    EXPECT_EQ(Sorted(Found("\\")), Sorted({"C:\\temp\\x", "not sure\\ at all"}));
    // Languages equal but for case are one language, sorted together before the longer name.
    EXPECT_EQ(Sorted(Found("quick", "C")), Sorted({"quick sorting algorithm", "lower quick"}));
    const Titles by_language = Found("");
    ASSERT_EQ(by_language.size(), 11u);
    EXPECT_EQ(by_language.front(), "quick without language");
    EXPECT_EQ(Sorted({by_language[1], by_language[2]}),
              Sorted({"quick sorting algorithm", "lower quick"}));
    EXPECT_EQ(by_language[3], "Quick sort");
    EXPECT_TRUE(Found("shared only").empty());
    EXPECT_TRUE(Found("private").empty());

    // Content was never folded: it reads back byte for byte.
    EXPECT_EQ(server.Query("SELECT COUNT(*) FROM snippets WHERE content = '1'")[0][0], "1");
}

TEST_F(SearchStatementsTest, LanguageListAndSearchReadOnlyWhatTheyNeed) {
    // Enough rows, in 50 languages, for the optimiser to weigh its choices as on a full server.
    const std::string ann = server.AddUser("ann", "pw");
    server.Exec("INSERT INTO snippets(uid, title, language, content, public, approved) "
                "SELECT " +
                ann +
                ", CONCAT('title ', seq % 97, ' word ', seq), "
                "CONCAT('Lang', seq % 50), 'body', seq % 10 <> 0, seq % 10 <> 0 "
                "FROM seq_1_to_20000");
    server.Exec("ANALYZE TABLE snippets");

    auto languages = Plan(statements::Languages());
    EXPECT_EQ(languages["key"], "snippets_language");
    EXPECT_NE(languages["Extra"].find("Using index for group-by"), std::string::npos)
        << languages["Extra"];

    auto search = Plan(Search("title word", "Lang7", "100"));
    EXPECT_EQ(search["type"], "ref");
    EXPECT_TRUE(search["key"] == "snippets_published" || search["key"] == "snippets_language")
        << search["key"];
    // The title words are tested on the index entries, before any row is read.
    EXPECT_NE(search["Extra"].find("Using index condition"), std::string::npos) << search["Extra"];
    EXPECT_LT(std::stoul(search["rows"]), 20000u / 10);

    auto everywhere = Plan(Search("title word", "", "100"));
    EXPECT_EQ(everywhere["key"], "snippets_published");
    EXPECT_NE(everywhere["type"], "ALL");
}

} // namespace
