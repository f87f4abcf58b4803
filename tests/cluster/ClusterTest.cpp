// The program's statements against the Galera cluster that scripts/cluster starts, through
// HAProxy, the one address the program knows; each write is read back on the other nodes.
#include "storage/Database.h"
#include "storage/Statements.h"
#include "support/TestCluster.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace std::chrono_literals;
using Rows = TestDatabase::Rows;

class ClusterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(cluster_.Writer(), 1) << "HAProxy should send every connection to node1";
        cluster_.Reset();
        wxString error;
        db_ = Database::Connect(cluster_.AppSettings(), &error);
        ASSERT_TRUE(db_) << error;
    }

    // Sends a write through HAProxy; it must succeed.
    void Write(const wxString& statement) {
        ASSERT_TRUE(db_->Execute(statement)) << statement << ": " << db_->LastError();
    }
    // The first field of the first row read through HAProxy, or "none".
    wxString First(const wxString& statement) {
        const auto row = db_->FirstRow(statement, Fetch::Stored);
        return row && !row->empty() ? row->front() : wxString("none");
    }
    // The nodes that did not take the writes read `sql` right away and find `rows`: Galera's
    // causal reads (wsrep_sync_wait) wait for what the cluster has committed.
    void ExpectOnOtherNodes(const std::string& sql, const Rows& rows) {
        for (const int node : {2, 3})
            EXPECT_EQ(cluster_.Node(node).Query(sql), rows) << "node" << node << ": " << sql;
    }

    TestCluster cluster_;
    std::unique_ptr<Database> db_;
};

TEST_F(ClusterTest, ProgramStatementsRunThroughHAProxyAndEveryNodeReadsTheirRowsAtOnce) {
    using namespace statements;
    // Register, log in, remember this machine (twice, as two logins with the box checked do).
    ASSERT_EQ(First(NameTaken(*db_, "ann")), "none");
    Write(AddUser(*db_, "ann", "pw"));
    const wxString uid = First(CheckLogin(*db_, "ann", "pw"));
    ASSERT_TRUE(IsId(uid)) << uid;
    const std::string id = uid.utf8_string();
    ExpectOnOtherNodes("SELECT uid, username, password = SHA1('pw') FROM users",
                       {{id, "ann", "1"}});
    Write(RememberUser(*db_, uid, "192.0.2.7"));
    Write(RememberUser(*db_, uid, "192.0.2.7"));
    ExpectOnOtherNodes("SELECT uid, INET_NTOA(ip) FROM remember",
                       {{id, "192.0.2.7"}, {id, "192.0.2.7"}});
    EXPECT_EQ(First(RememberedUser(*db_, "192.0.2.7")), uid);

    // Save a new snippet (the INSERT's own id and the lookup agree, though the cluster spaces
    // ids out), save it again, share it and a new copy.
    Write(InsertSnippet(*db_, uid, "it's", "C", "int x;"));
    const std::string sid = std::to_string(db_->InsertId());
    EXPECT_EQ(First(NewSid(*db_, uid, "it's", "C", "int x;")), sid);
    ExpectOnOtherNodes("SELECT sid, title, content, public FROM snippets",
                       {{sid, "it's", "int x;", "0"}});
    Write(UpdateContent(*db_, sid, "int y;"));
    EXPECT_EQ(db_->MatchedRows(), 1u);
    Write(ShareExisting(sid));
    Write(ShareNew(*db_, uid, "copy", "Go", "package main"));
    ExpectOnOtherNodes("SELECT title, content, public FROM snippets ORDER BY sid",
                       {{"it's", "int y;", "1"}, {"copy", "package main", "1"}});

    // A moderator approves on node3; the search through HAProxy (node1) finds it at once.
    cluster_.Node(3).Exec("UPDATE snippets SET approved = 1 WHERE sid = " + sid);
    std::vector<std::string> found;
    ASSERT_TRUE(db_->Select(SearchPublic(*db_, {"it"}, "C", "100"), Fetch::Stored,
                            [&found](const DbRow& row) {
                                found.emplace_back(row.Bytes(3));
                                return true;
                            }));
    EXPECT_EQ(found, std::vector<std::string>{sid});
    EXPECT_EQ(First(Languages()), "C");
    Write(CountView(sid));
    EXPECT_EQ(db_->FirstRow(SnippetDetails(sid), Fetch::Stored),
              (std::vector<wxString>{"it's", "C", "ann", "2"}));

    // Favourites, then deleting one's own snippet.
    Write(AddFavourite(uid, sid));
    EXPECT_NE(First(IsFavourite(sid, uid)), "none");
    ExpectOnOtherNodes("SELECT uid, sid FROM favourites", {{id, sid}});
    Write(RemoveFavourite(uid, sid));
    Write(DeleteOwnSnippet(sid, uid));
    ExpectOnOtherNodes("SELECT COUNT(*) FROM favourites", {{"0"}});
    ExpectOnOtherNodes("SELECT title FROM snippets", {{"copy"}});
}

TEST_F(ClusterTest, SchemaLoadsAgainKeepingRowsAndTheClusterRefusesTablesWithoutPrimaryKey) {
    const std::string uid = cluster_.Node(1).AddUser("ann", "pw");
    cluster_.Node(1).Exec("INSERT INTO remember(uid, ip) VALUES(" + uid + ", 1), (" + uid + ", 1)");
    cluster_.Node(2).Load(CORVANE_SOURCE_DIR "/db/schema.sql");
    ExpectOnOtherNodes("SELECT uid, ip FROM remember", {{uid, "1"}, {uid, "1"}});
    // Every table replicates by its primary key; the kit's settings make the cluster refuse a
    // table that has none, so the schema could not have loaded otherwise.
    EXPECT_EQ(cluster_.Node(3).Query(
                  "SELECT table_name FROM information_schema.tables t WHERE table_schema = "
                  "'corvane' AND (engine <> 'InnoDB' OR NOT EXISTS (SELECT 1 FROM "
                  "information_schema.table_constraints c WHERE c.table_schema = t.table_schema "
                  "AND c.table_name = t.table_name AND c.constraint_type = 'PRIMARY KEY'))"),
              Rows{});
    EXPECT_THROW(cluster_.Node(1).Exec("CREATE TABLE corvane.no_key (a INT)"), std::runtime_error);
    // The program's account can still add remember rows (it names only uid and ip).
    Write(statements::RememberUser(*db_, wxString::FromUTF8(uid), "0.0.0.1"));
    EXPECT_EQ(cluster_.Node(2).Query("SELECT COUNT(*) FROM remember"), Rows{{"3"}});
}

TEST_F(ClusterTest, DesyncedNodeIsTakenOutAndTheProgramFollowsHAProxy) {
    const auto node_name = [this] { return First("SELECT @@wsrep_node_name"); };
    ASSERT_EQ(node_name(), "node1");
    // A desynced node (as during a backup or a full copy to a joiner) answers, but lags: its
    // health check says so, HAProxy takes it out and closes the connections it had.
    cluster_.Node(1).Exec("SET GLOBAL wsrep_desync = ON");
    const bool moved = cluster_.WaitForWriter(2, 20s);
    // The program's connection was closed under it: its next read reconnects, to the backup.
    const wxString followed = node_name();
    cluster_.Node(1).Exec("SET GLOBAL wsrep_desync = OFF");
    ASSERT_TRUE(moved);
    EXPECT_EQ(followed, "node2");
    // Back in step, node1 takes the connections again, this one too.
    ASSERT_TRUE(cluster_.WaitForWriter(1, 20s));
    EXPECT_EQ(node_name(), "node1");
}

} // namespace
