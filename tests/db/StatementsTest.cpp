#include "storage/Statements.h"

#include "app/TextCodec.h"
#include "storage/Database.h"
#include "support/CloudTest.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using Table = std::vector<std::vector<wxString>>;

class StatementsTest : public CloudTest {
protected:
    Table Rows(const wxString& statement, Fetch fetch) {
        Table rows;
        EXPECT_TRUE(db->Select(statement, fetch, [&rows](const DbRow& row) {
            std::vector<wxString>& fields = rows.emplace_back();
            for (unsigned i = 0; i < row.Size(); ++i)
                fields.push_back(row.Text(i));
            return true;
        })) << db->LastError();
        return rows;
    }
};

wxString FromBytes(const std::string& bytes) { return text::FromUtf8(bytes); }

TEST(StatementIdTest, OnlyDecimalDigitsAreIds) {
    for (const char* id : {"0", "7", "0042", "4294967295"})
        EXPECT_TRUE(statements::IsId(id)) << id;
    for (const char* id : {"", " 1", "1 ", "-1", "+1", "1.0", "1 OR 1=1", "1;", "0x1F"})
        EXPECT_FALSE(statements::IsId(id)) << id;
    // Digits of other scripts are not ASCII digits to the server.
    EXPECT_FALSE(statements::IsId(FromBytes("\xD9\xA1\xD9\xA2"))); // Arabic-Indic 12
    EXPECT_FALSE(statements::IsId(FromBytes("\xEF\xBC\x91")));     // fullwidth 1
}

TEST_F(StatementsTest, TextsAreExact) {
    using namespace statements;
    EXPECT_EQ(OpenSnippet("12"), "SELECT title, content, sid, public FROM snippets WHERE sid = 12 "
                                 "LIMIT 1");
    EXPECT_EQ(ListOwn("7", 0), "SELECT language, title, sid FROM snippets WHERE uid = 7 ORDER BY "
                               "language");
    EXPECT_EQ(ListOwn("7", 1), "SELECT language, title, sid FROM snippets WHERE uid = 7 AND "
                               "public = 0 ORDER BY language");
    EXPECT_EQ(ListOwn("7", 2), "SELECT language, title, sid FROM snippets WHERE uid = 7 AND "
                               "public = 1 ORDER BY language");
    EXPECT_EQ(ListFavourites("7"),
              "SELECT snippets.language, snippets.title, snippets.sid FROM snippets, favourites "
              "WHERE favourites.sid = snippets.sid AND favourites.uid = 7 ORDER BY "
              "snippets.language");
    EXPECT_EQ(InsertSnippet(*db, "7", "it's", "C", "a\\b"),
              "INSERT INTO snippets(uid, title, language, content)VALUES('7', 'it\\'s', 'C', "
              "'a\\\\b')");
    EXPECT_EQ(NewSid(*db, "7", "it's", "C", "x"),
              "SELECT sid FROM snippets WHERE uid = 7 AND title = 'it\\'s'  AND language = 'C'  "
              "AND content = 'x'  ORDER BY sid DESC LIMIT 1");
    EXPECT_EQ(UpdateContent(*db, "12", "it's"),
              "UPDATE snippets SET content = 'it\\'s' WHERE sid = 12");
    EXPECT_EQ(DeleteOwnSnippet("12", "7"),
              "DELETE FROM snippets WHERE sid = 12 AND uid = 7 LIMIT 1");
    EXPECT_EQ(RemoveFavourite("7", "12"),
              "DELETE FROM favourites WHERE uid = 7 AND sid = 12 LIMIT 1");

    // What goes on the wire is that text as UTF-8.
    EXPECT_TRUE(db->Execute(UpdateContent(*db, "12", FromBytes("caf\xC3\xA9"))));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "UPDATE snippets SET content = 'caf\xC3\xA9' WHERE sid = 12");
}

TEST_F(StatementsTest, HostileValuesRoundTripByteExact) {
    const std::string uid = server.AddUser("ann", "secret");
    const std::string title = "it's \\ 100% a_b \0 end \xF0\x9F\x98\x80"s;
    const std::string language = "C++ \"x\"";
    const std::string content = "'; DROP TABLE users; --\n\r\n\t\\0 \\' \x1A\0\0 \xF0\x9F\x92\xA9"s;

    ASSERT_TRUE(db->Execute(statements::InsertSnippet(*db, uid, FromBytes(title),
                                                      FromBytes(language), FromBytes(content))))
        << db->LastError();
    const TestDatabase::Rows stored = server.Query("SELECT sid, title, language, content FROM "
                                                   "snippets");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][1], title);
    EXPECT_EQ(stored[0][2], language);
    EXPECT_EQ(stored[0][3], content);

    const auto sid = db->FirstRow(
        statements::NewSid(*db, uid, FromBytes(title), FromBytes(language), FromBytes(content)),
        Fetch::Stored);
    ASSERT_TRUE(sid) << db->LastError();
    EXPECT_EQ((*sid)[0], stored[0][0]);

    const auto opened = db->FirstRow(statements::OpenSnippet((*sid)[0]), Fetch::Streamed);
    ASSERT_TRUE(opened);
    EXPECT_EQ((*opened)[0], FromBytes(title));
    EXPECT_EQ((*opened)[1], FromBytes(content));
    EXPECT_EQ((*opened)[3], "0");

    const std::string changed = "100% _new_ \\' \0 \xE2\x82\xAC"s;
    EXPECT_TRUE(db->Execute(statements::UpdateContent(*db, (*sid)[0], FromBytes(changed))));
    EXPECT_EQ(db->AffectedRows(), 1u);
    EXPECT_EQ(server.Query("SELECT content FROM snippets")[0][0], changed);
}

TEST_F(StatementsTest, FourMegabyteContentRoundTrips) {
    const std::string uid = server.AddUser("ann", "secret");
    std::string content;
    while (content.size() < 4 * 1024 * 1024)
        content += "printf(\"it's %d\\n\", x); // \xC3\xA9\xF0\x9F\x98\x80\n";
    const wxString wide = FromBytes(content);

    ASSERT_TRUE(db->Execute(statements::InsertSnippet(*db, uid, "big", "C", wide)))
        << db->LastError();
    const auto sid = db->FirstRow(statements::NewSid(*db, uid, "big", "C", wide), Fetch::Stored);
    ASSERT_TRUE(sid) << db->LastError();
    const auto opened = db->FirstRow(statements::OpenSnippet((*sid)[0]), Fetch::Streamed);
    ASSERT_TRUE(opened) << db->LastError();
    EXPECT_TRUE((*opened)[1] == wide);
    EXPECT_EQ(server.Query("SELECT LENGTH(content) FROM snippets")[0][0],
              std::to_string(content.size()));
}

TEST_F(StatementsTest, NewSidFindsTheRowJustInserted) {
    const std::string uid = server.AddUser("ann", "secret");
    const std::string other = server.AddUser("bob", "secret");
    // Older rows that differ only in the case or accents of title or language (which compare
    // without them) or that are exactly equal: the lookup, right after the insert, prefers the
    // newest.
    server.AddSnippet(uid, "ABC", "c", "x");
    server.AddSnippet(uid, "\u00E1bc", "C", "x");
    server.AddSnippet(uid, "abc", "C", "x");
    const std::string newest = server.AddSnippet(uid, "abc", "C", "x");
    // Later rows that are not the same snippet: content compares byte for byte, titles and
    // languages without padding, and only the user's own rows count.
    server.AddSnippet(uid, "abc", "C", "x ");
    server.AddSnippet(uid, "abc", "C", "X");
    server.AddSnippet(uid, "abc ", "C", "x");
    server.AddSnippet(uid, "abc", "C ", "x");
    server.AddSnippet(other, "abc", "C", "x");

    const auto sid = db->FirstRow(statements::NewSid(*db, uid, "abc", "C", "x"), Fetch::Stored);
    ASSERT_TRUE(sid);
    EXPECT_EQ((*sid)[0], newest);
    EXPECT_FALSE(db->FirstRow(statements::NewSid(*db, uid, "abc", "C", "y"), Fetch::Stored));
}

TEST_F(StatementsTest, NullLanguageReadsAsEmpty) {
    const std::string uid = server.AddUser("ann", "secret");
    server.AddSnippet(uid, "untagged", std::nullopt, "x");
    bool wasNull = false;
    EXPECT_TRUE(db->Select(statements::ListOwn(uid, 0), Fetch::Streamed, [&](const DbRow& row) {
        wasNull = row.IsNull(0);
        EXPECT_TRUE(row.Text(0).empty());
        EXPECT_EQ(row.Text(1), "untagged");
        return true;
    }));
    EXPECT_TRUE(wasNull);
}

TEST_F(StatementsTest, ListsFilterByOwnerVisibilityAndFavourites) {
    const std::string ann = server.AddUser("ann", "secret");
    const std::string bob = server.AddUser("bob", "secret");
    const std::string go = server.AddSnippet(ann, "private go", "Go", "x");
    const std::string c = server.AddSnippet(ann, "public c", "C", "x", true, true);
    const std::string bobs = server.AddSnippet(bob, "bob's ruby", "Ruby", "x", true);
    server.AddFavourite(ann, bobs);
    server.AddFavourite(bob, c);

    EXPECT_EQ(Rows(statements::ListOwn(ann, 0), Fetch::Streamed),
              (Table{{"C", "public c", c}, {"Go", "private go", go}}));
    EXPECT_EQ(Rows(statements::ListOwn(ann, 1), Fetch::Streamed),
              (Table{{"Go", "private go", go}}));
    EXPECT_EQ(Rows(statements::ListOwn(ann, 2), Fetch::Streamed), (Table{{"C", "public c", c}}));
    EXPECT_EQ(Rows(statements::ListFavourites(ann), Fetch::Stored),
              (Table{{"Ruby", "bob's ruby", bobs}}));
}

TEST_F(StatementsTest, OwnListsReadOnlyTheOwnersIndexEntriesInOrder) {
    // Ann owns every tenth of 20,000 snippets: reading rows would read every page of the table.
    for (int user = 0; user < 10; ++user)
        server.AddUser("user" + std::to_string(user), "pw");
    server.Exec("INSERT INTO snippets(uid, title, language, content, public) SELECT 1 + seq % 10, "
                "CONCAT('title ', seq), CONCAT('Lang', seq % 50), REPEAT('body ', 50), seq % 2 "
                "FROM seq_1_to_20000");
    server.Exec("ANALYZE TABLE snippets");
    const auto has = [](const std::string& extra, const std::string& item) {
        return ("; " + extra + ";").find("; " + item + ";") != std::string::npos;
    };
    for (int mode : {0, 1, 2}) {
        auto plan = Plan(statements::ListOwn("1", mode));
        EXPECT_EQ(plan["key"], "snippets_owner_list") << mode;
        EXPECT_TRUE(has(plan["Extra"], "Using index")) << mode << ": " << plan["Extra"];
        EXPECT_FALSE(has(plan["Extra"], "Using filesort")) << mode << ": " << plan["Extra"];
    }

    // A server made with the older, shorter index gets the new one when the schema is loaded
    // again, and loading it once more changes nothing.
    server.Exec("ALTER TABLE snippets DROP INDEX snippets_owner_list, "
                "ADD INDEX snippets_owner (uid, language)");
    for (int load = 0; load < 2; ++load) {
        server.Load(CORVANE_SOURCE_DIR "/db/schema.sql");
        EXPECT_EQ(server.Query("SELECT DISTINCT index_name FROM information_schema.statistics "
                               "WHERE table_schema = 'corvane' AND table_name = 'snippets' "
                               "ORDER BY index_name"),
                  (TestDatabase::Rows{{"PRIMARY"},
                                      {"snippets_language"},
                                      {"snippets_owner_list"},
                                      {"snippets_published"}}));
    }
    EXPECT_EQ(server.Query("SELECT COUNT(*) FROM snippets")[0][0], "20000");
}

TEST_F(StatementsTest, UnencodableTitleSendsNothing) {
    const std::string uid = server.AddUser("ann", "secret");
    wxString title = "broken ";
    title += wxUniChar(0xDC00);
    EXPECT_FALSE(db->Execute(statements::InsertSnippet(*db, uid, title, "C", "x")));
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(server.Query("SELECT sid FROM snippets").empty());
}

} // namespace
