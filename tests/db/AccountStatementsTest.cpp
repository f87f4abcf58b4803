#include "storage/Statements.h"

#include "storage/Database.h"
#include "support/CloudTest.h"

#include <gtest/gtest.h>

namespace {

class AccountStatementsTest : public CloudTest {
protected:
    // The first field of the first row, or "none".
    wxString First(const wxString& statement) {
        const auto row = db->FirstRow(statement, Fetch::Stored);
        return row && !row->empty() ? row->front() : wxString("none");
    }
};

TEST_F(AccountStatementsTest, TextsAreExactAndQuotedValuesEscaped) {
    using namespace statements;
    EXPECT_EQ(RememberedUser(*db, "127.0.0.1"),
              "SELECT uid FROM remember WHERE ip = INET_ATON('127.0.0.1') LIMIT 1");
    EXPECT_EQ(UserName("3"), "SELECT username FROM users WHERE uid = 3 LIMIT 1");
    EXPECT_EQ(CheckLogin(*db, "ann", "pw"),
              "SELECT uid FROM users WHERE username = 'ann' AND password = SHA1('pw') LIMIT 1");
    EXPECT_EQ(NameTaken(*db, "ann"), "SELECT * FROM users WHERE username = 'ann' LIMIT 1");
    EXPECT_EQ(AddUser(*db, "ann", "pw"),
              "INSERT INTO users(username, password) VALUES('ann', SHA1('pw'))");
    EXPECT_EQ(RememberUser(*db, "3", "10.0.0.1"),
              "INSERT INTO remember(uid, ip) VALUES(3, INET_ATON('10.0.0.1'))");

    EXPECT_EQ(CheckLogin(*db, "O'Brien", "a'b\\"),
              "SELECT uid FROM users WHERE username = 'O\\'Brien' AND password = SHA1('a\\'b\\\\') "
              "LIMIT 1");
    EXPECT_EQ(AddUser(*db, "x' OR '1'='1", "p"),
              "INSERT INTO users(username, password) VALUES('x\\' OR \\'1\\'=\\'1', SHA1('p'))");
    EXPECT_EQ(RememberedUser(*db, "1') OR ('1"),
              "SELECT uid FROM remember WHERE ip = INET_ATON('1\\') OR (\\'1') LIMIT 1");
}

TEST_F(AccountStatementsTest, AccountsAndRememberRowsWorkOnTheServer) {
    using namespace statements;
    // A registration as the program sends it, then the checks that find it.
    ASSERT_TRUE(db->Execute(AddUser(*db, "O'Brien", "s3cr'et"))) << db->LastError();
    const wxString uid = First(CheckLogin(*db, "O'Brien", "s3cr'et"));
    ASSERT_TRUE(IsId(uid)) << uid;
    EXPECT_EQ(server.Query("SELECT password = SHA1('s3cr\\'et') FROM users WHERE uid = " +
                           uid.utf8_string()),
              (TestDatabase::Rows{{"1"}}));
    EXPECT_EQ(First(CheckLogin(*db, "O'Brien", "wrong")), "none");
    EXPECT_EQ(First(CheckLogin(*db, "x' OR '1'='1", "x' OR '1'='1")), "none");
    EXPECT_EQ(First(NameTaken(*db, "O'Brien")), uid);
    EXPECT_EQ(First(NameTaken(*db, "nobody")), "none");
    EXPECT_EQ(First(UserName(uid)), "O'Brien");

    EXPECT_EQ(First(RememberedUser(*db, "192.0.2.7")), "none");
    ASSERT_TRUE(db->Execute(RememberUser(*db, uid, "192.0.2.7"))) << db->LastError();
    EXPECT_EQ(First(RememberedUser(*db, "192.0.2.7")), uid);
    EXPECT_EQ(First(RememberedUser(*db, "192.0.2.8")), "none");
    EXPECT_EQ(server.Query("SELECT uid, INET_NTOA(ip) FROM remember"),
              (TestDatabase::Rows{{uid.utf8_string(), "192.0.2.7"}}));
}

TEST_F(AccountStatementsTest, NamesAreOneAccountOnlyWhenTheyDifferInCaseOrTrailingSpaces) {
    // The schema, loaded (twice) over a users table of the earlier schema, under which every
    // emoji was one character, moves it to the new comparison and keeps its rows.
    server.Exec(
        "ALTER TABLE users MODIFY username VARCHAR(64) COLLATE utf8mb4_unicode_ci NOT NULL");
    server.AddUser(wxString(L"ann\U0001F600").utf8_string(), "pw");
    const TestDatabase::Rows before = server.Query("SELECT * FROM users");
    server.Load(CORVANE_SOURCE_DIR "/db/schema.sql");
    server.Load(CORVANE_SOURCE_DIR "/db/schema.sql");
    EXPECT_EQ(server.Query("SELECT * FROM users"), before);

    struct Pair {
        const wchar_t* registered;
        const wchar_t* other;
        bool one_account;
    };
    const Pair pairs[] = {
        // Outside the Basic Multilingual Plane: emoji, CJK extension B, Deseret (which has case).
        {L"ann\U0001F600", L"ann\U0001F40D", false},
        {L"\U00020000", L"\U00020001", false},
        {L"\U00010400", L"\U00010428", true},
        // Accents and other letters count; case and trailing spaces do not.
        {L"Jos\u00e9", L"Jose", false},
        {L"stra\u00dfe", L"strasse", false},
        {L"ann", L" ann", false},
        {L"\u00c9LODIE", L"\u00e9lodie", true},
        {L"ANN  ", L"ann", true},
    };
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(wxString(pair.registered).utf8_string());
        server.Exec("TRUNCATE TABLE users");
        ASSERT_TRUE(db->Execute(statements::AddUser(*db, pair.registered, "pw")));
        EXPECT_EQ(First(statements::NameTaken(*db, pair.other)) != "none", pair.one_account);
        EXPECT_EQ(db->Execute(statements::AddUser(*db, pair.other, "pw")), !pair.one_account);
    }
}

TEST_F(AccountStatementsTest, RememberTableFromBeforeItsKeyGetsOneKeepingEveryRow) {
    using namespace statements;
    using Rows = TestDatabase::Rows;
    // The table as it was before it had a primary key, with an address remembered three times.
    server.Exec("DROP TABLE remember");
    server.Exec("CREATE TABLE remember (uid INT UNSIGNED NOT NULL, ip INT UNSIGNED NOT NULL, "
                "KEY remember_ip (ip)) ENGINE = InnoDB");
    server.Exec("INSERT INTO remember VALUES (7, INET_ATON('192.0.2.1')), "
                "(8, INET_ATON('192.0.2.1')), (7, INET_ATON('192.0.2.1')), "
                "(9, INET_ATON('192.0.2.2'))");
    // Loaded twice: the file is safe to run again.
    server.Load(CORVANE_SOURCE_DIR "/db/schema.sql");
    server.Load(CORVANE_SOURCE_DIR "/db/schema.sql");
    EXPECT_EQ(server.Query("SELECT id, uid, INET_NTOA(ip) FROM remember ORDER BY id"),
              (Rows{{"1", "7", "192.0.2.1"},
                    {"2", "8", "192.0.2.1"},
                    {"3", "7", "192.0.2.1"},
                    {"4", "9", "192.0.2.2"}}));
    EXPECT_EQ(server.Query("SELECT column_name FROM information_schema.key_column_usage WHERE "
                           "table_schema = 'corvane' AND table_name = 'remember' AND "
                           "constraint_name = 'PRIMARY'"),
              Rows{{"id"}});
    // The program's statements and grants work as before; an address finds its oldest row.
    ASSERT_TRUE(db->Execute(RememberUser(*db, "9", "192.0.2.1"))) << db->LastError();
    EXPECT_EQ(First(RememberedUser(*db, "192.0.2.1")), "7");
    EXPECT_EQ(server.Query("SELECT MAX(id), COUNT(*) FROM remember"), (Rows{{"5", "5"}}));
}

} // namespace
