// The real application object's start-up, run under the test display with scripted prompts.
#include "app/CorvaneApp.h"
#include "app/CorvaneFrame.h"
#include "app/EarlyStart.h"
#include "app/Interface.h"
#include "browse/SnippetBrowser.h"
#include "gui/GuiTestRunner.h"
#include "gui/ScriptedPrompts.h"
#include "support/HttpService.h"
#include "support/ScopedEnv.h"
#include "support/TcpProxy.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/splash.h>
#include <wx/toplevel.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

class StartupTest : public testing::Test {
protected:
    void SetUp() override {
        auto prompts = std::make_unique<ScriptedPrompts>();
        prompts_ = prompts.get();
        Prompts::Install(std::move(prompts));
        wxFileName::Rmdir("snippets", wxPATH_RMDIR_RECURSIVE);
        wxFileName::Rmdir(".corvane-recovery", wxPATH_RMDIR_RECURSIVE);
    }
    void TearDown() override {
        for (wxWindow* window : TopLevelWindows())
            window->Destroy();
        Pump();
        EXPECT_EQ(prompts_->Unanswered(), 0u);
    }

    static std::vector<wxWindow*> TopLevelWindows() {
        return std::vector<wxWindow*>(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    }
    template <typename T> static std::vector<T*> Windows() {
        std::vector<T*> found;
        for (wxWindow* window : TopLevelWindows()) {
            if (auto* typed = dynamic_cast<T*>(window);
                typed != nullptr && !window->IsBeingDeleted())
                found.push_back(typed);
        }
        return found;
    }
    static void Pump() {
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        while (loop != nullptr && loop->Pending())
            loop->Dispatch();
        wxTheApp->ProcessIdle();
    }

    // Runs the start-up hook and checks what every start-up leaves: the store's directory, the
    // main window shown with its icon in both sizes, and no splash screen.
    void StartAndCheck() {
        ASSERT_TRUE(wxTheApp->CallOnInit());
        Pump();
        EXPECT_TRUE(wxFileName::DirExists("snippets"));
        const std::vector<CorvaneFrame*> frames = Windows<CorvaneFrame>();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_TRUE(frames[0]->IsShown());
        EXPECT_EQ(frames[0]->GetTitle(), "Corvane");
        EXPECT_EQ(wxTheApp->GetTopWindow(), frames[0]);
        const wxIconBundle& icons = frames[0]->GetIcons();
        EXPECT_TRUE(icons.GetIconOfExactSize(wxSize(32, 32)).IsOk());
        EXPECT_TRUE(icons.GetIconOfExactSize(wxSize(16, 16)).IsOk());
        EXPECT_TRUE(Windows<wxSplashScreen>().empty());
    }

    ScriptedPrompts* prompts_ = nullptr;
};

TEST_F(StartupTest, UnreachableCloudIsReportedWhileTheSplashIsUp) {
    wxSize splash_size;
    int splashes = 0;
    prompts_->ExpectMessage();
    prompts_->OnNextQuestion([&] {
        for (wxSplashScreen* splash : Windows<wxSplashScreen>()) {
            ++splashes;
            splash_size = splash->GetSplashWindow()->GetBitmap().GetSize();
        }
    });
    {
        ScopedEnv nowhere("CORVANE_DB_PORT", "1");
        StartAndCheck();
    }
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_TRUE(prompts_->History()[0].message.StartsWith("Failed to connect to the database"));
    EXPECT_EQ(splashes, 1);
    EXPECT_EQ(splash_size, wxSize(400, 200));
}

TEST_F(StartupTest, ExistingStoreIsKeptAsItIs) {
    wxFileName::Mkdir("snippets/C", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    std::ofstream("snippets/C/main") << "int main;";
    StartAndCheck();
    EXPECT_TRUE(prompts_->History().empty());
    std::ifstream in("snippets/C/main");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "int main;");
}

// The cloud is reached, and the machine's remembered user found, on a thread of its own while the
// splash screen is up: the window still opens logged in, with that user's cloud in the tree.
TEST_F(StartupTest, RememberedMachineStartsLoggedInWithItsCloudInTheTree) {
    TestDatabase db;
    db.Reset();
    const std::string uid = db.AddUser("early", "pw");
    db.Exec("INSERT INTO remember(uid, ip) VALUES(" + uid + ", INET_ATON('127.0.0.1'))");
    StartAndCheck();
    db.Exec("DELETE FROM remember");
    const std::vector<CorvaneFrame*> frames = Windows<CorvaneFrame>();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0]->Workspace()->CurrentUserId(), wxString(uid));
    SnippetBrowser* tree = frames[0]->Workspace()->Tree();
    std::vector<wxString> groups;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree->GetFirstChild(tree->GetRootItem(), cookie); item.IsOk();
         item = tree->GetNextChild(tree->GetRootItem(), cookie))
        groups.push_back(tree->GetItemText(item));
    EXPECT_EQ(groups, (std::vector<wxString>{"Local", "My Cloud", "Favourites"}));
    EXPECT_TRUE(prompts_->History().empty());
}

// The machine's address is asked for while the cloud is reached. An echo service that never
// answers holds the start-up no longer than its timeout, and not at all without a cloud.
TEST_F(StartupTest, EarlyLookupWaitsForTheEchoServiceOnlyWhileItMatters) {
    TestDatabase db;
    db.Reset();
    const std::string uid = db.AddUser("lookup", "pw");
    db.Exec("INSERT INTO remember(uid, ip) VALUES(" + uid + ", INET_ATON('127.0.0.1'))");
    const auto seconds = [](const std::function<void()>& step) {
        const auto start = std::chrono::steady_clock::now();
        step();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    EarlyStart::Cloud cloud = EarlyStart::Connect();
    EXPECT_EQ(cloud.remembered_user, wxString(uid));
    {
        SilentServer silent;
        ScopedEnv echo("CORVANE_IP_ECHO_HOST", silent.Host());
        double waited = seconds([&] { cloud = EarlyStart::Connect(); });
        EXPECT_TRUE(cloud.connection);
        EXPECT_TRUE(cloud.remembered_user.empty());
        EXPECT_GT(waited, 2.5);
        EXPECT_LT(waited, 6.0);
        ScopedEnv closed("CORVANE_DB_PORT", "1");
        waited = seconds([&] { cloud = EarlyStart::Connect(); });
        EXPECT_FALSE(cloud.connection);
        EXPECT_LT(waited, 1.5);
    }
    db.Exec("DELETE FROM remember");
}

} // namespace

int main(int argc, char** argv) { return RunGuiTests(new CorvaneApp, argc, argv); }
