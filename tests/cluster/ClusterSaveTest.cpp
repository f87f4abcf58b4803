// Saving from the real main window to the Galera cluster through HAProxy while the node HAProxy
// sends the writes to is killed with SIGKILL: between two saves, and while an INSERT's reply is
// on its way back. The next save goes through another node; nothing is lost or saved twice; the
// killed node rejoins and the cluster is three again.
#include "gui/GuiFixture.h"

#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "browse/SnippetBrowser.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/cloud_or_local.h"
#include "support/ScopedEnv.h"
#include "support/TcpProxy.h"
#include "support/TestCluster.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Rows = TestDatabase::Rows;

constexpr const char* kSnippets = "SELECT sid, title, content FROM snippets ORDER BY sid";

class ClusterSaveTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_EQ(cluster_.Writer(), 1) << "HAProxy should send every connection to node1";
        cluster_.Reset();
        uid_ = cluster_.Node(1).AddUser("ann", "pw");
    }

    // The main window connected to the cloud at this port, with ann logged in as the login does.
    void OpenLoggedIn(unsigned port) {
        ScopedEnv database_port("CORVANE_DB_PORT", std::to_string(port));
        OpenFrame();
        Workspace()->SetCurrentUserId(wxString::FromUTF8(uid_));
        Workspace()->Tree()->LoadTree();
    }

    // Saves the selected new page to "My Cloud"; a message may be expected after the question.
    void SaveToMyCloud(const wxString& text, const wxString& title, bool message = false) {
        Editor(static_cast<size_t>(Selection()))->SetText(text);
        prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, title, "C");
        if (message)
            prompts_->ExpectMessage();
        Command(ID_SAVE);
    }

    // Node 1, killed by the test, rejoins: it is given what it missed and the cluster is three
    // again, holding `rows` on every node; HAProxy then sends the writes to node1 again.
    void RejoinNode1(const Rows& rows) {
        cluster_.Node(1).StartServer();
        for (int node = 1; node <= TestCluster::kNodes; ++node) {
            EXPECT_EQ(cluster_.Size(node), 3) << "node" << node;
            EXPECT_EQ(cluster_.Node(node).Query(kSnippets), rows) << "node" << node;
        }
        EXPECT_TRUE(cluster_.WaitForWriter(1, 30s));
    }

    TestCluster cluster_;
    std::string uid_;
};

TEST_F(ClusterSaveTest, WriterKilledBetweenTwoSavesTheNextGoesThroughAnotherNode) {
    OpenLoggedIn(cluster_.Port());
    SaveToMyCloud("v1", "failover");
    const Rows first = cluster_.Node(2).Query(kSnippets);
    ASSERT_EQ(first.size(), 1u);
    const std::string sid = first[0][0];
    ASSERT_EQ(Editor(0)->info.sid, wxString(sid));

    cluster_.Node(1).KillServer();
    // The program's connection died with node1: the save opens a new one through HAProxy.
    Editor(0)->SetText("v2");
    Command(ID_SAVE);
    Command(wxID_NEW);
    SaveToMyCloud("after", "after");
    // The two destination questions, and no message about a failure.
    EXPECT_EQ(prompts_->History().size(), 2u);
    EXPECT_EQ(cluster_.Writer(), 2);
    const Rows both = cluster_.Node(3).Query(kSnippets);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both, (Rows{{sid, "failover", "v2"}, {both[1][0], "after", "after"}}));
    EXPECT_EQ(Editor(1)->info.sid, wxString(both[1][0]));
    RejoinNode1(both);
}

TEST_F(ClusterSaveTest, WriterKilledWhileAnInsertsReplyIsOnItsWayTheRowIsFoundNotSavedTwice) {
    // The proxy between the program and HAProxy holds back the INSERT's reply; node1 dies once
    // the row is committed, so the reply never arrives.
    TcpProxy proxy(cluster_.Port());
    OpenLoggedIn(proxy.Port());
    proxy.Arm([](const std::string& s) { return s.rfind("INSERT", 0) == 0; },
              TcpProxy::Action::DropReply);
    std::string killer_error;
    std::thread killer([&] {
        try {
            const auto end = std::chrono::steady_clock::now() + 30s;
            while ((proxy.Fired() == 0 ||
                    cluster_.Node(3).Query("SELECT COUNT(*) FROM snippets") != Rows{{"1"}}) &&
                   std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(10ms);
            cluster_.Node(1).KillServer();
        } catch (const std::exception& e) {
            killer_error = e.what();
        }
    });
    SaveToMyCloud("in flight", "in flight", true);
    killer.join();
    ASSERT_EQ(killer_error, "");
    ASSERT_EQ(proxy.Fired(), 1);

    // The program looked the row up on a fresh connection, which HAProxy gave to another node.
    ASSERT_EQ(prompts_->History().size(), 2u);
    EXPECT_TRUE(prompts_->History()[1].message.Contains("did reach the cloud"))
        << prompts_->History()[1].message;
    const Rows saved = cluster_.Node(2).Query(kSnippets);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(Editor(0)->info.sid, wxString(saved[0][0]));

    // Saving again updates that row rather than adding a second one.
    Editor(0)->SetText("edited");
    Command(ID_SAVE);
    EXPECT_EQ(prompts_->History().size(), 2u);
    const Rows edited{{saved[0][0], "in flight", "edited"}};
    EXPECT_EQ(cluster_.Node(3).Query(kSnippets), edited);
    RejoinNode1(edited);
}

} // namespace
