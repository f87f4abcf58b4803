#include "gui/CloudGuiTest.h"

#include "account/Accounts.h"
#include "app/CorvaneFrame.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/cloud_or_local.h"
#include "support/HttpService.h"
#include "support/TcpProxy.h"

#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/stopwatch.h>
#include <wx/textctrl.h>

#include <algorithm>

namespace {

using Strings = std::vector<wxString>;

// Logging in, registering and logging out through the real pages, against the real server and
// the IP echo service of the private nginx (which sees this machine as 127.0.0.1).
class AccountTest : public CloudGuiTest {
protected:
    template <typename T> T* Control(int id) {
        T* control = dynamic_cast<T*>(Page(static_cast<size_t>(Selection()))->FindWindow(id));
        EXPECT_NE(control, nullptr) << "no control " << id << " on the selected page";
        return control;
    }
    // Typing into a field of the selected page (the field reports the change itself).
    void Type(int id, const wxString& text) {
        if (auto* field = Control<wxTextCtrl>(id))
            field->SetValue(text);
    }
    void ClickRememberMe(bool checked) {
        auto* box = Control<wxCheckBox>(Accounts::ID_REMEMBER_ME);
        ASSERT_NE(box, nullptr);
        box->SetValue(checked);
        wxCommandEvent click(wxEVT_CHECKBOX, Accounts::ID_REMEMBER_ME);
        click.SetInt(checked ? 1 : 0);
        click.SetEventObject(box);
        box->ProcessWindowEvent(click);
    }
    void Press(int id) {
        auto* button = Control<wxButton>(id);
        ASSERT_NE(button, nullptr);
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(button);
        button->ProcessWindowEvent(click);
    }
    // Fills the selected form and presses its button, expecting `messages` message boxes.
    void Submit(const wxString& name, const wxString& password, int button, int messages = 1) {
        Type(Accounts::ID_USER_NAME, name);
        Type(Accounts::ID_PASSWORD, password);
        for (int i = 0; i < messages; ++i)
            prompts_->ExpectMessage();
        Press(button);
    }
    Strings Messages() const {
        Strings messages;
        for (const auto& shown : prompts_->History())
            messages.push_back(shown.message);
        return messages;
    }
    Strings Kinds() const {
        Strings kinds;
        for (size_t i = 0; i < PageCount(); ++i)
            kinds.push_back(Page(i)->kind);
        return kinds;
    }
    size_t Sent(const std::string& prefix) const {
        return std::count_if(statements_.begin(), statements_.end(),
                             [&prefix](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    }
    void Remember(const std::string& uid, const std::string& address) {
        db_.Exec("INSERT INTO remember(uid, ip) VALUES(" + uid + ", INET_ATON('" + address + "'))");
    }
    void CloseFrame() {
        frame_->Destroy();
        frame_ = nullptr;
        Pump();
    }
};

TEST_F(AccountTest, RememberedMachineStartsLoggedInAndLoginNamesTheUser) {
    const std::string uid = db_.AddUser("ann", "pw");
    db_.AddSnippet(uid, "mine", "C", "int a;");
    Remember(db_.AddUser("bob", "pw"), "192.0.2.9");
    Remember(uid, "127.0.0.1");
    OpenFrame();
    EXPECT_EQ(Workspace()->CurrentUserId(), uid);
    EXPECT_EQ(Labels({"My Cloud", "C"}), Strings{"mine"});
    EXPECT_TRUE(prompts_->History().empty());

    prompts_->ExpectMessage();
    Command(ID_LOGIN);
    EXPECT_EQ(Messages(), Strings{"You are already logged in as ann!"});
    EXPECT_EQ(Kinds(), Strings{"new-snippet"});
}

TEST_F(AccountTest, EchoServiceDownDelaysNothingAndRememberMeSaysSoOnce) {
    const std::string uid = db_.AddUser("ann", "pw");
    Remember(uid, "127.0.0.1");
    {
        // A server that takes the request and never answers holds start-up for the timeout only.
        SilentServer silent;
        ScopedEnv echo("CORVANE_IP_ECHO_HOST", silent.Host());
        wxStopWatch watch;
        OpenFrame();
        EXPECT_LT(watch.Time(), 5000);
        EXPECT_EQ(Workspace()->CurrentUserId(), "");
        CloseFrame();
    }
    {
        // An error page is not an address either.
        ScopedEnv echo("CORVANE_IP_ECHO_HOST",
                       std::string(std::getenv("CORVANE_IP_ECHO_HOST")) + "/missing");
        OpenFrame();
        EXPECT_EQ(Workspace()->CurrentUserId(), "");
        CloseFrame();
    }
    ScopedEnv stopped("CORVANE_IP_ECHO_HOST", RefusingHost());
    OpenFrame();
    EXPECT_EQ(Workspace()->CurrentUserId(), "");
    EXPECT_TRUE(prompts_->History().empty());

    // Remember me without an address still logs in, then says once why it did not remember.
    RecordStatements();
    Command(ID_LOGIN);
    ClickRememberMe(true);
    Submit("ann", "pw", Accounts::ID_LOGIN, 2);
    EXPECT_EQ(Workspace()->CurrentUserId(), uid);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0], "Logged in successfully. Enjoy! :)");
    EXPECT_TRUE(Messages()[1].Contains("could not be remembered")) << Messages()[1];
    EXPECT_EQ(Sent("INSERT INTO remember"), 0u);
    EXPECT_EQ(db_.Query("SELECT COUNT(*) FROM remember"), (TestDatabase::Rows{{"1"}}));

    // An answer that is no address cannot be stored: that is said too, not passed over.
    prompts_->ExpectMessage();
    Command(ID_LOGOUT);
    UpdateAnswers answers;
    answers.SetEcho("<html>Sign in to the hotel network</html>");
    ScopedEnv garbage("CORVANE_IP_ECHO_HOST", answers.Host());
    Command(ID_LOGIN);
    Submit("ann", "pw", Accounts::ID_LOGIN, 2);
    ASSERT_EQ(Messages().size(), 5u);
    EXPECT_EQ(Messages()[3], "Logged in successfully. Enjoy! :)");
    EXPECT_TRUE(Messages()[4].Contains("could not be remembered")) << Messages()[4];
    EXPECT_EQ(Sent("INSERT INTO remember"), 1u);
    EXPECT_EQ(db_.Query("SELECT COUNT(*) FROM remember"), (TestDatabase::Rows{{"1"}}));
}

TEST_F(AccountTest, WrongPasswordKeepsTheOnePageAndWhatWasTyped) {
    db_.AddUser("ann", "pw");
    OpenFrame();
    Command(ID_LOGIN);
    ASSERT_EQ(Kinds(), (Strings{"new-snippet", "login"}));
    EXPECT_EQ(Caption(1), "Login");
    EXPECT_EQ(Selection(), 1);

    Submit("ann", "PW", Accounts::ID_LOGIN);
    EXPECT_EQ(Messages(), Strings{"Invalid login details. Please try again."});
    EXPECT_EQ(Workspace()->CurrentUserId(), "");
    EXPECT_EQ(Kinds(), (Strings{"new-snippet", "login"}));
    EXPECT_EQ(Control<wxTextCtrl>(Accounts::ID_USER_NAME)->GetValue(), "ann");
    EXPECT_EQ(Control<wxTextCtrl>(Accounts::ID_PASSWORD)->GetValue(), "PW");

    // Login again selects the page that is there.
    Workspace()->Notebook()->SetSelection(0);
    Command(ID_LOGIN);
    EXPECT_EQ(Kinds(), (Strings{"new-snippet", "login"}));
    EXPECT_EQ(Selection(), 1);
}

TEST_F(AccountTest, RememberMeInsertsOnEveryLoginUntilTheProgramEnds) {
    const std::string uid = db_.AddUser("ann", "pw");
    db_.AddSnippet(uid, "mine", "C", "int a;");
    OpenFrame();
    RecordStatements();
    Command(ID_LOGIN);
    ClickRememberMe(true);
    Submit("ann", "pw", Accounts::ID_LOGIN);
    EXPECT_EQ(Messages(), Strings{"Logged in successfully. Enjoy! :)"});
    EXPECT_EQ(Workspace()->CurrentUserId(), uid);
    EXPECT_EQ(Labels({"My Cloud", "C"}), Strings{"mine"});
    EXPECT_EQ(Kinds(), Strings{"new-snippet"});
    ASSERT_FALSE(statements_.empty());
    EXPECT_EQ(statements_.front(),
              "SELECT uid FROM users WHERE username = 'ann' AND password = SHA1('pw') LIMIT 1");
    EXPECT_EQ(statements_.back(),
              "INSERT INTO remember(uid, ip) VALUES(" + uid + ", INET_ATON('127.0.0.1'))");
    EXPECT_EQ(Workspace()->Form().user_name, "");
    EXPECT_EQ(Workspace()->Form().password, "");

    prompts_->ExpectMessage();
    prompts_->ExpectMessage();
    Command(ID_LOGOUT);
    Command(ID_LOGOUT);
    EXPECT_EQ(Workspace()->CurrentUserId(), "");
    EXPECT_FALSE(Node({"My Cloud"}).IsOk());
    EXPECT_EQ(Messages(), (Strings{"Logged in successfully. Enjoy! :)", "Logged out successfully!",
                                   "You are currently not logged in."}));

    // The new page's box starts unchecked, but the last click still counts.
    Command(ID_LOGIN);
    EXPECT_FALSE(Control<wxCheckBox>(Accounts::ID_REMEMBER_ME)->GetValue());
    Submit("ann", "pw", Accounts::ID_LOGIN);
    EXPECT_EQ(Sent("INSERT INTO remember"), 2u);
    EXPECT_EQ(db_.Query("SELECT uid, INET_NTOA(ip) FROM remember"),
              (TestDatabase::Rows{{uid, "127.0.0.1"}, {uid, "127.0.0.1"}}));
}

TEST_F(AccountTest, RegisteringInsertsLogsInAndClosesThePage) {
    OpenFrame();
    RecordStatements();
    Command(ID_REGISTER);
    ASSERT_EQ(Kinds(), (Strings{"new-snippet", "register"}));
    EXPECT_EQ(Caption(1), "Register");
    Command(ID_REGISTER);
    EXPECT_EQ(PageCount(), 2u);

    // Without a name or a password nothing is sent, and the page says why.
    Submit("", "pw", Accounts::ID_REGISTER);
    Submit("O'Brien", "", Accounts::ID_REGISTER);
    EXPECT_TRUE(statements_.empty());
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_TRUE(Messages()[0].Contains("user name")) << Messages()[0];
    EXPECT_TRUE(Messages()[1].Contains("password")) << Messages()[1];
    EXPECT_EQ(db_.Query("SELECT COUNT(*) FROM users"), (TestDatabase::Rows{{"0"}}));

    Submit("O'Brien", "pw", Accounts::ID_REGISTER);
    ASSERT_GE(statements_.size(), 3u);
    EXPECT_EQ(statements_[0], "SELECT * FROM users WHERE username = 'O\\'Brien' LIMIT 1");
    EXPECT_EQ(statements_[1],
              "INSERT INTO users(username, password) VALUES('O\\'Brien', SHA1('pw'))");
    EXPECT_EQ(statements_[2], "SELECT uid FROM users WHERE username = 'O\\'Brien' AND password = "
                              "SHA1('pw') LIMIT 1");
    const auto rows = db_.Query("SELECT uid, password = SHA1('pw') FROM users WHERE username = "
                                "'O\\'Brien'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], "1");
    EXPECT_EQ(Workspace()->CurrentUserId(), wxString(rows[0][0]));
    EXPECT_EQ(Messages().back(), "Logged in successfully. Enjoy! :)");
    EXPECT_EQ(Kinds(), Strings{"new-snippet"});
}

TEST_F(AccountTest, TakenNameSaysSoThenLogsInOnlyWithItsPassword) {
    const std::string uid = db_.AddUser("ann", "pw");
    OpenFrame();
    Command(ID_REGISTER);
    Submit("ann", "wrong", Accounts::ID_REGISTER, 2);
    EXPECT_EQ(Messages(), (Strings{"Username is already taken! Please try again.",
                                   "Invalid login details. Please try again."}));
    EXPECT_EQ(Workspace()->CurrentUserId(), "");

    Submit("ann", "pw", Accounts::ID_REGISTER, 2);
    const Strings messages = Messages();
    EXPECT_EQ(Strings(messages.begin() + 2, messages.end()),
              (Strings{"Username is already taken! Please try again.",
                       "Logged in successfully. Enjoy! :)"}));
    EXPECT_EQ(Workspace()->CurrentUserId(), uid);
    EXPECT_EQ(db_.Query("SELECT COUNT(*) FROM users"), (TestDatabase::Rows{{"1"}}));
    EXPECT_EQ(Kinds(), Strings{"new-snippet"});
}

TEST_F(AccountTest, FailedRegistrationSaysTheAccountWasNotCreatedAndWhy) {
    TcpProxy proxy(db_.Port());
    ScopedEnv through_proxy("CORVANE_DB_PORT", std::to_string(proxy.Port()));
    OpenFrame();
    Command(ID_REGISTER);
    // A name longer than the column (refused in strict mode), a reply lost after the INSERT ran,
    // and a server that is down.
    Submit(wxString(70, 'n'), "pw", Accounts::ID_REGISTER);
    proxy.Arm([](const std::string& s) { return s.rfind("INSERT", 0) == 0; },
              TcpProxy::Action::CutAfter);
    Submit("ann", "pw", Accounts::ID_REGISTER);
    db_.KillServer();
    Submit("bob", "pw", Accounts::ID_REGISTER);
    db_.StartServer();
    ASSERT_EQ(Messages().size(), 3u);
    EXPECT_EQ(Messages()[0], "The account was not created: the user name is longer than the "
                             "cloud accepts. Please choose a shorter one.");
    EXPECT_TRUE(Messages()[1].Contains("may or may not exist")) << Messages()[1];
    EXPECT_EQ(Messages()[2],
              "The account was not created: the cloud cannot be reached. Please try again later.");
    EXPECT_EQ(db_.Query("SELECT username FROM users"), (TestDatabase::Rows{{"ann"}}));
    EXPECT_EQ(Kinds(), (Strings{"new-snippet", "register"}));
}

// The proof on the wire: a registration, a login and a save pass through a proxy that records
// every byte. With TLS required neither the password nor the snippet's text is among them; without
// TLS both are, so the same search can find them.
TEST_F(AccountTest, PasswordsAndSnippetsCrossTheWireOnlyEncryptedWithTlsRequired) {
    for (const bool encrypted : {true, false}) {
        const std::string mode = encrypted ? "required" : "off";
        SCOPED_TRACE(mode);
        db_.Reset();
        const size_t shown = prompts_->History().size();
        const std::string password = "pw-" + mode + "-4f1c9e";
        const std::string marker = "snippet-" + mode + "-7d2e0a";
        TcpProxy proxy(db_.Port());
        {
            ScopedEnv port("CORVANE_DB_PORT", std::to_string(proxy.Port()));
            ScopedEnv tls("CORVANE_DB_TLS", mode);
            ScopedEnv ca("CORVANE_DB_CA", db_.Dir() + "/tls/ca.pem");
            OpenFrame();
        }
        ASSERT_NE(Workspace()->Connection(), nullptr);
        Command(ID_REGISTER);
        Submit("wire", password, Accounts::ID_REGISTER);
        prompts_->ExpectMessage();
        Command(ID_LOGOUT);
        Command(ID_LOGIN);
        Submit("wire", password, Accounts::ID_LOGIN);
        Editor(0)->SetText(marker);
        prompts_->AnswerSaveDestination(cloud_or_local::ID_MY_CLOUD, "wire", "C");
        Command(ID_SAVE);

        const Strings messages = Messages();
        EXPECT_EQ(std::count(messages.begin() + static_cast<long>(shown), messages.end(),
                             "Logged in successfully. Enjoy! :)"),
                  2);
        EXPECT_EQ(db_.Query("SELECT content FROM snippets"), (TestDatabase::Rows{{marker}}));
        const std::string wire = proxy.FromClient() + proxy.FromServer();
        EXPECT_GT(proxy.FromClient().size(), 1000u);
        EXPECT_EQ(wire.find(password) != std::string::npos, !encrypted);
        EXPECT_EQ(wire.find(marker) != std::string::npos, !encrypted);
        CloseFrame();
    }
}

} // namespace
