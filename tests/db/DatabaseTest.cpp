#include "storage/Database.h"

#include "support/CloudTest.h"
#include "support/TcpProxy.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

class DatabaseTest : public CloudTest {
protected:
    int Count(const std::string& sql) { return std::stoi(server.Query(sql).at(0).at(0)); }
};

// A loopback port that nobody listens on: bound by us a moment ago, then released.
unsigned UnusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// 100 000 rows of `width` bytes: far more than the server can hand over in one go.
wxString ManyRows(int width) {
    return wxString::Format("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                            "i < 1000) SELECT a.i, REPEAT('x', %d) FROM n a, n b WHERE b.i <= 100",
                            width);
}

const std::function<bool(const DbRow&)> kIgnoreRows = [](const DbRow&) { return true; };

TEST(DatabaseConnectTest, PortWithoutServerFailsQuicklyWithMessage) {
    DbSettings settings = TestDatabase::AppSettings();
    settings.port = UnusedPort();
    wxString error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Database::Connect(settings, &error), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(error.empty());
}

TEST_F(DatabaseTest, ConnectionsCutBeforeTheGreetingAreTriedAgainWithinTheConnectTimeout) {
    TcpProxy proxy(server.Port());
    DbSettings settings = TestDatabase::AppSettings();
    settings.port = proxy.Port();
    settings.connect_timeout_seconds = 2;
    // A few connections cut at once, as by a balancer whose server has just died, are made
    // again; cut for longer than the connect timeout, the cloud cannot be reached.
    for (const int cuts : {1, 3, 1000}) {
        SCOPED_TRACE(cuts);
        proxy.CutConnections(cuts);
        wxString error;
        const std::unique_ptr<Database> connected = Database::Connect(settings, &error);
        EXPECT_EQ(connected != nullptr, cuts < 1000) << error;
        EXPECT_EQ(error.Contains("Lost connection"), cuts == 1000) << error;
    }
    // A connection that has gone away is opened again the same way.
    proxy.CutConnections(0);
    std::unique_ptr<Database> through = Connect(settings);
    ASSERT_TRUE(through);
    const auto id = through->FirstRow("SELECT CONNECTION_ID()", Fetch::Stored);
    ASSERT_TRUE(id && !id->empty());
    server.Exec("KILL " + id->front().utf8_string());
    proxy.CutConnections(2);
    EXPECT_EQ(through->FirstRow("SELECT 7", Fetch::Stored), std::vector<wxString>{"7"})
        << through->LastError();
}

// These tests run in clear text and, as database_over_tls, with TLS required.
TEST_F(DatabaseTest, ConnectionIsEncryptedExactlyWhenTlsIsRequired) {
    const auto cipher = db->FirstRow("SHOW SESSION STATUS LIKE 'Ssl_cipher'", Fetch::Stored);
    ASSERT_TRUE(cipher) << db->LastError();
    EXPECT_EQ((*cipher)[1].empty(), TestDatabase::AppSettings().tls == DbTls::Off) << (*cipher)[1];
}

TEST_F(DatabaseTest, ServerErrorsAreReportedAndClearedBySuccess) {
    EXPECT_FALSE(db->Execute("INSERT INTO no_such_table VALUES(1)"));
    EXPECT_NE(db->LastError().Find("no_such_table"), wxNOT_FOUND) << db->LastError();
    EXPECT_FALSE(db->FirstRow("SELECT nonsense FROM", Fetch::Stored));
    EXPECT_FALSE(db->LastError().empty());

    EXPECT_FALSE(db->FirstRow("SELECT 1 FROM users", Fetch::Stored))
        << "an empty result has no first row";
    EXPECT_TRUE(db->LastError().empty());
}

TEST_F(DatabaseTest, UnencodableStatementIsNotSent) {
    wxString statement = "SELECT '";
    statement += wxUniChar(0xD800); // a lone surrogate has no UTF-8 form
    statement += "'";
    EXPECT_FALSE(db->Select(statement, Fetch::Stored, kIgnoreRows));
    EXPECT_FALSE(db->Execute(statement));
    EXPECT_FALSE(db->LastError().empty());
    EXPECT_TRUE(sent.empty());
    // The connection is unharmed.
    EXPECT_TRUE(db->FirstRow("SELECT 1", Fetch::Stored));
    EXPECT_TRUE(db->LastError().empty());
}

TEST_F(DatabaseTest, StreamedResultsLeaveTheConnectionUsable) {
    long rows = 0;
    EXPECT_TRUE(db->Select(ManyRows(100), Fetch::Streamed, [&](const DbRow& row) {
        ++rows;
        return row.Bytes(1).size() == 100;
    }));
    EXPECT_EQ(rows, 100000);

    rows = 0;
    EXPECT_TRUE(db->Select(ManyRows(100), Fetch::Streamed, [&](const DbRow&) {
        ++rows;
        return false;
    }));
    EXPECT_EQ(rows, 1);
    const auto next = db->FirstRow("SELECT 42", Fetch::Streamed);
    ASSERT_TRUE(next) << db->LastError();
    EXPECT_EQ((*next)[0], "42");
}

TEST_F(DatabaseTest, ReadAfterUnnoticedServerRestartIsRepeatedOnce) {
    server.StopServer();
    server.StartServer();

    const auto row = db->FirstRow("SELECT 7", Fetch::Streamed);
    ASSERT_TRUE(row) << db->LastError();
    EXPECT_EQ((*row)[0], "7");
    // Once on the dead connection, once on the fresh one.
    EXPECT_EQ(sent, (std::vector<std::string>{"SELECT 7", "SELECT 7"}));
}

TEST_F(DatabaseTest, ReadAfterTheServerKilledTheConnectionIsRepeatedOnce) {
    const auto id = db->FirstRow("SELECT CONNECTION_ID()", Fetch::Stored);
    ASSERT_TRUE(id);
    server.Exec("KILL CONNECTION " + std::string((*id)[0].utf8_str()));
    sent.clear();
    const auto row = db->FirstRow("SELECT 7", Fetch::Stored);
    ASSERT_TRUE(row) << db->LastError();
    EXPECT_EQ((*row)[0], "7");
    EXPECT_EQ(sent, (std::vector<std::string>{"SELECT 7", "SELECT 7"}));
}

TEST_F(DatabaseTest, StreamBrokenAfterSomeRowsIsNotRepeated) {
    const auto id = db->FirstRow("SELECT CONNECTION_ID()", Fetch::Stored);
    ASSERT_TRUE(id);
    sent.clear();
    long rows = 0;
    // Repeating the statement would hand the first rows to the caller a second time.
    // 100 MB: more than any socket buffers hold, so the server is still sending when killed.
    EXPECT_FALSE(db->Select(ManyRows(1000), Fetch::Streamed, [&](const DbRow&) {
        if (++rows == 1)
            server.Exec("KILL CONNECTION " + std::string((*id)[0].utf8_str()));
        return true;
    }));
    EXPECT_LT(rows, 100000);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_TRUE(db->FirstRow("SELECT 1", Fetch::Stored)) << db->LastError();
}

TEST_F(DatabaseTest, StatementsFailWhileServerIsDownAndWorkWhenItIsBack) {
    server.StopServer();
    EXPECT_FALSE(db->FirstRow("SELECT 1", Fetch::Stored));
    EXPECT_FALSE(db->LastError().empty());
    EXPECT_FALSE(db->Execute("DELETE FROM favourites"));
    EXPECT_FALSE(db->LastError().empty());
    server.StartServer();

    EXPECT_TRUE(db->FirstRow("SELECT 1", Fetch::Stored)) << db->LastError();
    EXPECT_TRUE(db->Execute("DELETE FROM favourites")) << db->LastError();
}

TEST_F(DatabaseTest, WriteAfterServerRestartIsAppliedOnce) {
    server.StopServer();
    server.StartServer();
    sent.clear();

    EXPECT_TRUE(db->Execute("INSERT INTO snippets(uid, title, language, content) "
                            "VALUES(1, 'after restart', 'C', '')"))
        << db->LastError();
    EXPECT_EQ(db->AffectedRows(), 1u);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM snippets"), 1);
}

TEST_F(DatabaseTest, WriteCutOffOnTheWayIsNotSentAgain) {
    DbSettings settings = TestDatabase::AppSettings();
    settings.read_write_timeout_seconds = 1;
    std::unique_ptr<Database> impatient = Connect(settings);
    ASSERT_TRUE(impatient);
    sent.clear();

    // The server needs 3 s for this write; the client gives up waiting after 1 s.
    EXPECT_FALSE(impatient->Execute("INSERT INTO snippets(uid, title, language, content) "
                                    "SELECT 1, 'slow', 'C', SLEEP(3)"));
    EXPECT_FALSE(impatient->LastError().empty());
    EXPECT_EQ(sent.size(), 1u);

    // The server goes on with the write after the client gave up; on a busy machine it may even
    // start it late. Wait until it has stored the row and finished.
    for (int i = 0; i < 150 && (Count("SELECT COUNT(*) FROM snippets WHERE title = 'slow'") == 0 ||
                                Count("SELECT COUNT(*) FROM information_schema.processlist "
                                      "WHERE info LIKE 'INSERT INTO snippets%'") > 0);
         ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM snippets WHERE title = 'slow'"), 1);
    // The next statement finds a fresh connection.
    EXPECT_TRUE(impatient->FirstRow("SELECT 1", Fetch::Stored)) << impatient->LastError();
}

TEST_F(DatabaseTest, ProgramAccountCanDoWhatItsStatementsDoAndNothingMore) {
    const std::string uid = server.AddUser("ann", "secret");
    const std::string sid = server.AddSnippet(uid, "mine", "C", "x");

    // What the program's own statements do still works.
    EXPECT_TRUE(db->Execute("INSERT INTO snippets(uid, title, language, content)VALUES('" + uid +
                            "', 't', 'C', 'y')"))
        << db->LastError();
    EXPECT_TRUE(db->Execute("INSERT INTO snippets(uid, title, language, content, public) VALUES(" +
                            uid + ", 't', 'C', 'z', 1)"))
        << db->LastError();
    EXPECT_TRUE(db->Execute("UPDATE snippets SET content = 'w' WHERE sid = " + sid));
    EXPECT_TRUE(db->Execute("UPDATE snippets SET public = 1 WHERE sid = " + sid + " LIMIT 1"));
    EXPECT_TRUE(db->Execute("UPDATE snippets SET views = views+1 WHERE sid = " + sid));
    EXPECT_TRUE(db->Execute("INSERT INTO users(username, password) VALUES('bob', SHA1('pw'))"));

    // Approving, giving a snippet to someone else, retitling, inserting a pre-approved row or
    // one with a chosen id or view count, changing or removing accounts, changing the schema.
    for (const std::string& refused : std::vector<std::string>{
             "UPDATE snippets SET approved = 1 WHERE sid = " + sid,
             "UPDATE snippets SET uid = 999 WHERE sid = " + sid,
             "UPDATE snippets SET title = 'other' WHERE sid = " + sid,
             "INSERT INTO snippets(uid, title, language, content, public, approved) VALUES(" + uid +
                 ", 'a', 'C', 'a', 1, 1)",
             "INSERT INTO snippets(sid, uid, title, language, content) VALUES(999, " + uid +
                 ", 'a', 'C', 'a')",
             "INSERT INTO snippets(uid, title, language, content, views) VALUES(" + uid +
                 ", 'a', 'C', 'a', 1000)",
             "UPDATE users SET password = SHA1('x') WHERE uid = " + uid,
             "DELETE FROM users WHERE uid = " + uid,
             "DELETE FROM remember",
             "ALTER TABLE snippets ADD COLUMN extra INT",
             "DROP TABLE remember",
             "CREATE TABLE corvane.extra (i INT)",
         }) {
        EXPECT_FALSE(db->Execute(refused)) << refused;
        EXPECT_NE(db->LastError().Lower().Find("denied"), wxNOT_FOUND) << db->LastError();
    }
    EXPECT_EQ(server.Query("SELECT uid, title, approved, views FROM snippets WHERE sid = " + sid),
              (TestDatabase::Rows{{uid, "mine", "0", "1"}}));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM snippets WHERE approved = 1"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM users"), 2);
}

TEST_F(DatabaseTest, UpdateTellsRowsMatchedAndInsertTellsItsId) {
    const std::string sid = server.AddSnippet("1", "t", "C", "same");
    // An UPDATE that leaves the content as it was changes no row but still matches one.
    ASSERT_TRUE(db->Execute("UPDATE snippets SET content = 'same' WHERE sid = " + sid));
    EXPECT_EQ(db->AffectedRows(), 0u);
    EXPECT_EQ(db->MatchedRows(), 1u);
    ASSERT_TRUE(db->Execute("UPDATE snippets SET content = 'same' WHERE sid = 999"));
    EXPECT_EQ(db->MatchedRows(), 0u);

    ASSERT_TRUE(db->Execute("INSERT INTO snippets(uid, title, language, content)VALUES('1', 'n', "
                            "'C', '')"));
    EXPECT_EQ(std::to_string(db->InsertId()),
              server.Query("SELECT MAX(sid) FROM snippets").at(0).at(0));
    EXPECT_FALSE(db->MatchedRows());
}

TEST_F(DatabaseTest, ValuesThatDoNotFitAreRefusedOnEveryConnection) {
    // A server whose own default is lenient would cut the title to its column and say nothing.
    ServerVariable lenient(server, "sql_mode", "");
    std::unique_ptr<Database> fresh = Connect(TestDatabase::AppSettings());
    ASSERT_TRUE(fresh);
    const wxString insert = "INSERT INTO snippets(uid, title, language, content)VALUES('1', '" +
                            wxString('t', 300) + "', 'C', '')";
    EXPECT_FALSE(fresh->Execute(insert));
    EXPECT_NE(fresh->LastError().Find("too long"), wxNOT_FOUND) << fresh->LastError();

    // The connection opened again after the server went away is strict too.
    server.StopServer();
    server.StartServer();
    EXPECT_FALSE(fresh->Execute(insert));
    EXPECT_NE(fresh->LastError().Find("too long"), wxNOT_FOUND) << fresh->LastError();
    EXPECT_EQ(Count("SELECT COUNT(*) FROM snippets"), 0);
}

TEST_F(DatabaseTest, StatementLargerThanTheServerTakesIsNotSent) {
    ServerVariable small(server, "max_allowed_packet", "1048576");
    std::unique_ptr<Database> fresh = Connect(TestDatabase::AppSettings());
    ASSERT_TRUE(fresh);
    sent.clear();
    const wxString insert = "INSERT INTO snippets(uid, title, language, content)VALUES('1', 't', "
                            "'C', '" +
                            wxString('x', 2 << 20) + "')";
    EXPECT_FALSE(fresh->Execute(insert));
    EXPECT_FALSE(fresh->Select(insert, Fetch::Stored, kIgnoreRows));
    EXPECT_TRUE(sent.empty());
    const wxString& message = fresh->LastError();
    EXPECT_NE(message.Find(wxString::Format("%zu", insert.length())), wxNOT_FOUND) << message;
    EXPECT_NE(message.Find("1048576"), wxNOT_FOUND) << message;
    EXPECT_FALSE(fresh->OutcomeUnknown());
    // The connection was never harmed, and a statement that fits still goes.
    EXPECT_TRUE(fresh->Execute("INSERT INTO snippets(uid, title, language, content)VALUES('1', "
                               "'t', 'C', 'small')"))
        << fresh->LastError();
    EXPECT_EQ(sent.size(), 1u);
}

// A SELECT of exactly `bytes` bytes that answers with the length of its literal.
wxString SelectLength(size_t bytes) { return "SELECT LENGTH('" + wxString('x', bytes - 17) + "')"; }

TEST_F(DatabaseTest, LargestStatementTheServerTakesGoesAndOneByteMoreIsNotSent) {
    ServerVariable small(server, "max_allowed_packet", "1048576");
    std::unique_ptr<Database> fresh = Connect(TestDatabase::AppSettings());
    ASSERT_TRUE(fresh);
    sent.clear();
    // With its command byte, the statement's packet is one byte below the limit.
    const auto largest = fresh->FirstRow(SelectLength(1048574), Fetch::Stored);
    ASSERT_TRUE(largest) << fresh->LastError();
    EXPECT_EQ((*largest)[0], "1048557");
    EXPECT_EQ(sent.size(), 1u);
    // A packet exactly at the limit would make the server drop the connection.
    sent.clear();
    EXPECT_FALSE(fresh->Select(SelectLength(1048575), Fetch::Stored, kIgnoreRows));
    EXPECT_TRUE(sent.empty());
    EXPECT_NE(fresh->LastError().Find("1048575 bytes long"), wxNOT_FOUND) << fresh->LastError();
    EXPECT_TRUE(fresh->FirstRow(SelectLength(1048574), Fetch::Stored)) << fresh->LastError();
}

TEST_F(DatabaseTest, PacketLimitIsAskedAgainAfterAReconnection) {
    const wxString big = SelectLength(1536 * 1024);
    const auto kill = [this](Database& client) {
        const auto id = client.FirstRow("SELECT CONNECTION_ID()", Fetch::Stored);
        ASSERT_TRUE(id);
        server.Exec("KILL CONNECTION " + std::string((*id)[0].utf8_str()));
    };
    std::unique_ptr<Database> client;
    {
        ServerVariable small(server, "max_allowed_packet", "1048576");
        client = Connect(TestDatabase::AppSettings());
        ASSERT_TRUE(client);
        EXPECT_FALSE(client->Select(big, Fetch::Stored, kIgnoreRows));
        kill(*client);
    }
    // The connection that learnt the small limit is gone; the server's limit is larger now.
    sent.clear();
    const auto length = client->FirstRow(big, Fetch::Stored);
    ASSERT_TRUE(length) << client->LastError();
    EXPECT_EQ((*length)[0], wxString::Format("%d", 1536 * 1024 - 17));
    EXPECT_EQ(sent, std::vector<std::string>{std::string(big.utf8_str())});

    // And the other way: a server that lowered its limit is not sent what it would refuse, even
    // by the read repeated on the fresh connection.
    ServerVariable small(server, "max_allowed_packet", "1048576");
    kill(*client);
    sent.clear();
    EXPECT_FALSE(client->Select(big, Fetch::Stored, kIgnoreRows));
    EXPECT_NE(client->LastError().Find("1048576"), wxNOT_FOUND) << client->LastError();
    EXPECT_EQ(sent.size(), 1u) << "sent again on the fresh connection";
    EXPECT_TRUE(client->FirstRow("SELECT 1", Fetch::Stored)) << client->LastError();
}

TEST_F(DatabaseTest, WriteWhoseReplyIsLostHasAnUnknownOutcome) {
    TcpProxy proxy(server.Port());
    DbSettings settings = TestDatabase::AppSettings();
    settings.port = proxy.Port();
    settings.read_write_timeout_seconds = 1;
    std::unique_ptr<Database> client = Connect(settings);
    ASSERT_TRUE(client);
    const auto is_insert = [](const std::string& s) { return s.rfind("INSERT", 0) == 0; };
    const auto insert = [](const char* title) {
        return wxString::Format("INSERT INTO snippets(uid, title, language, content)VALUES('1', "
                                "'%s', 'C', '')",
                                title);
    };

    // The server applied it, the reply never came back.
    proxy.Arm(is_insert, TcpProxy::Action::CutAfter);
    EXPECT_FALSE(client->Execute(insert("applied")));
    EXPECT_TRUE(client->OutcomeUnknown());
    // The statement never reached the server: the client cannot tell the difference.
    proxy.Arm(is_insert, TcpProxy::Action::CutBefore);
    EXPECT_FALSE(client->Execute(insert("lost")));
    EXPECT_TRUE(client->OutcomeUnknown());
    // The reply is held back: the client gives up after its read timeout.
    proxy.Arm(is_insert, TcpProxy::Action::DropReply);
    EXPECT_FALSE(client->Execute(insert("held")));
    EXPECT_TRUE(client->OutcomeUnknown());
    EXPECT_EQ(proxy.Fired(), 3);

    // An error the server reports is a known failure; the client reconnected for it.
    EXPECT_FALSE(client->Execute("INSERT INTO no_such_table VALUES(1)"));
    EXPECT_FALSE(client->OutcomeUnknown());
    EXPECT_EQ(server.Query("SELECT title FROM snippets ORDER BY sid"),
              (TestDatabase::Rows{{"applied"}, {"held"}}));
}

TEST_F(DatabaseTest, SchemaAndDemoDataLoadTwiceWithoutHarm) {
    server.AddUser("ann", "secret");
    server.Load(CORVANE_SOURCE_DIR "/db/schema.sql");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM users WHERE username = 'ann'"), 1);

    server.Reset();
    server.Load(CORVANE_SOURCE_DIR "/db/demo.sql");
    const int snippets = Count("SELECT COUNT(*) FROM snippets");
    EXPECT_GT(snippets, 0);
    server.Load(CORVANE_SOURCE_DIR "/db/demo.sql");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM snippets"), snippets);
}

} // namespace
