// Unsaved pages survive quitting, closing, kill -9 and plug-ins that end the program. The program
// that is killed is the built one, started as a child process in the test's working directory and
// typed into from outside (xdotool); what comes back is looked at in a window built in-process.
#include "gui/CloudGuiTest.h"

#include "app/CorvaneFrame.h"
#include "app/PageRecovery.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/RecoveryStore.h"
#include "storage/cloud_or_local.h"

#include <wx/aui/auibook.h>
#include <wx/uiaction.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Waits, without a window to pump, until `done` holds or `seconds` pass.
bool Eventually(const std::function<bool()>& done, int seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

// The built program, running in the working directory; killed when still running at the end.
class Program {
public:
    Program() {
        pid_ = fork();
        if (pid_ == 0) {
            // Under the sanitizers, a crash or an exit must stay what it is.
            setenv("ASAN_OPTIONS", "detect_leaks=0:handle_segv=0", 1);
            const int log = open("program.log", O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
            execl(CORVANE_PROGRAM, CORVANE_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
        window_ = Run("timeout 30 xdotool search --sync --all --onlyvisible --pid " +
                      std::to_string(pid_) + " --name '^Corvane$' | head -n 1");
        window_.erase(window_.find_last_not_of('\n') + 1);
    }
    ~Program() {
        if (pid_ > 0)
            Kill();
    }
    bool HasWindow() const { return !window_.empty(); }
    // Keys as xdotool names them, or text to type, into the focused editor.
    void Keys(const std::string& keys) { Xdotool("key --clearmodifiers " + keys); }
    void Type(const std::string& text) { Xdotool("type --delay 20 '" + text + "'"); }
    int Kill() {
        kill(pid_, SIGKILL);
        return Wait();
    }
    // The status of the ended process, as waitpid gives it; -1 when it did not end.
    int Wait() {
        int status = -1;
        if (!Eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }))
            return -1;
        pid_ = -1;
        return status;
    }

private:
    void Xdotool(const std::string& command) {
        Run("xdotool windowfocus " + window_ + " 2>/dev/null");
        Run("xdotool " + command);
    }
    pid_t pid_;
    std::string window_;
};

class RecoveryTest : public CloudGuiTest {
protected:
    static constexpr const char* kStore = ".corvane-recovery";

    // The texts of the open pages as the store holds them now, in order.
    static std::vector<std::string> StoredTexts() {
        std::vector<std::string> texts;
        const auto index = recovery::DecodeIndex(ReadFile(std::string(kStore) + "/index"));
        for (const recovery::EntryId id : index ? index->open : std::vector<recovery::EntryId>()) {
            const auto record = recovery::DecodeRecord(
                ReadFile(std::string(kStore) + "/page-" + std::to_string(id)));
            texts.push_back(record ? record->text : "(unreadable)");
        }
        return texts;
    }
    // Keys sent while the program's window is still settling are lost: a probe is typed until the
    // page it went to is kept, then deleted (the page stays changed, with no text).
    static void WhenReady(Program& program) {
        ASSERT_TRUE(program.HasWindow());
        for (int attempt = 0; attempt < 5; ++attempt) {
            program.Type("x");
            if (Eventually([] { return !StoredTexts().empty(); }, 5))
                break;
        }
        program.Keys("ctrl+a BackSpace");
        ASSERT_TRUE(Eventually([] { return StoredTexts() == std::vector<std::string>{""}; }));
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (size_t i = 0; i < PageCount(); ++i)
            texts.push_back(Workspace()->LoadedPage(i)->stc->SnippetText().utf8_string());
        return texts;
    }
    std::vector<wxString> Captions() const {
        std::vector<wxString> captions;
        for (size_t i = 0; i < PageCount(); ++i)
            captions.push_back(Caption(i));
        return captions;
    }
    void Type(size_t page, const char* text) {
        Editor(page)->DocumentEnd();
        Editor(page)->AddText(text);
    }
    void Select(size_t page) { Workspace()->Notebook()->SetSelection(page); }
    void Quit() {
        wxWeakRef<wxFrame> alive(frame_);
        Command(ID_QUIT);
        ASSERT_TRUE(PumpUntil([&] { return !alive; }));
        frame_ = nullptr;
    }
    // Closes a page as the user does: a middle click on its tab.
    void ClosePage(size_t index) {
        wxAuiNotebook* notebook = Workspace()->Notebook();
        wxAuiTabCtrl* tabs = nullptr;
        int at = -1;
        Pump();
        ASSERT_TRUE(notebook->FindTab(notebook->GetPage(index), &tabs, &at));
        const wxRect tab = tabs->GetPage(static_cast<size_t>(at)).rect;
        wxUIActionSimulator mouse;
        mouse.MouseMove(tabs->ClientToScreen(tab.GetPosition() + tab.GetSize() / 2));
        mouse.MouseClick(wxMOUSE_BTN_MIDDLE);
        const size_t before = PageCount();
        ASSERT_TRUE(PumpUntil([&] { return PageCount() == before - 1; }));
    }
    void OpenFile(const wxString& title, const std::string& path) {
        wxString name = title, file = path, content, sid;
        Workspace()->OpenSnippetPage(name, file, content, sid, false);
    }
    size_t Updates() const {
        return std::count_if(statements_.begin(), statements_.end(), [](const std::string& s) {
            return s.rfind("UPDATE snippets SET content", 0) == 0;
        });
    }
};

TEST_F(RecoveryTest, KillNineAfterTypingIntoThreePagesLosesNothing) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string sid = db_.AddSnippet(uid, "Cloud one", "C", "cloud start");
    fs::create_directories("snippets/C");
    WriteFile("snippets/C/latin", "caf\xE9\n");
    // A cloud snippet and a file with a byte that is not UTF-8 are opened and edited here, then
    // closed, so that the program reopens them with its own key below.
    OpenFrame();
    OpenFile("latin", "./snippets/C/latin");
    Workspace()->OpenCloudSnippet({wxString(sid), "Cloud one", "cloud start", "", "", false});
    Type(1, " +first");
    Type(2, " +first");
    ClosePage(1);
    ClosePage(1);
    Quit();

    {
        Program program;
        WhenReady(program);
        program.Type("typed in a new page");
        program.Keys("ctrl+shift+t");
        program.Type("+child");
        program.Keys("ctrl+shift+t");
        program.Type("+child");
        const std::vector<std::string> typed = {"typed in a new page", "cloud start +first+child",
                                                "caf\xC3\xA9\n +first+child"};
        ASSERT_TRUE(Eventually([&] { return StoredTexts() == typed; }))
            << "stored: " << ::testing::PrintToString(StoredTexts());
        const int status = program.Kill();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    }

    OpenFrame();
    EXPECT_EQ(Captions(), (std::vector<wxString>{"*New Snippet", "*Cloud one", "*latin"}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"typed in a new page", "cloud start +first+child",
                                                 "caf\xC3\xA9\n +first+child"}));
    EXPECT_EQ(Page(0)->kind, "new-snippet");
    EXPECT_EQ(Editor(1)->info.sid, sid);
    EXPECT_EQ(Page(2)->path, "./snippets/C/latin");
    EXPECT_EQ(Page(2)->encoding, local_store::Encoding::Latin1);

    RecordStatements();
    Select(1);
    Command(ID_SAVE);
    EXPECT_EQ(Updates(), 1u);
    EXPECT_EQ(db_.Query("SELECT content FROM snippets WHERE sid = " + sid),
              TestDatabase::Rows{{"cloud start +first+child"}});
    // The file changed after the crash: Save asks before it overwrites.
    WriteFile("snippets/C/latin", "changed after the crash");
    Select(2);
    prompts_->AnswerYesNo(true);
    Command(ID_SAVE);
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_TRUE(prompts_->History()[0].message.Contains("changed on disk"));
    EXPECT_EQ(ReadFile("snippets/C/latin"), "caf\xE9\n +first+child");
    EXPECT_EQ(Captions(), (std::vector<wxString>{"*New Snippet", "Cloud one", "latin"}));
}

TEST_F(RecoveryTest, APluginThatEndsTheProgramLosesNoTextTypedBeforeIt) {
    const struct {
        const char* library;
        std::function<bool(int)> ended;
    } plugins[] = {
        {"crash_exit.so", [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 3; }},
        {"crash_null.so",
         [](int status) { return WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV; }},
    };
    for (const auto& plugin : plugins) {
        SCOPED_TRACE(plugin.library);
        fs::remove_all(kStore);
        fs::remove_all("plugins");
        fs::create_directories("plugins");
        fs::copy_file(fs::path(TEST_PLUGIN_DIR) / plugin.library, "plugins/crash.so");
        {
            Program program;
            WhenReady(program);
            program.Type("kept before the crash");
            // Written about two seconds after the last key.
            ASSERT_TRUE(Eventually(
                [] { return StoredTexts() == std::vector<std::string>{"kept before the crash"}; }));
            program.Keys("ctrl+shift+k");
            const int status = program.Wait();
            EXPECT_TRUE(plugin.ended(status)) << status;
        }
        fs::remove_all("plugins");
        OpenFrame();
        EXPECT_EQ(Captions(), std::vector<wxString>{"*New Snippet"});
        EXPECT_EQ(Texts(), std::vector<std::string>{"kept before the crash"});
        frame_->Destroy();
        frame_ = nullptr;
        Pump();
    }
}

TEST_F(RecoveryTest, QuitKeepsTheUnsavedPagesAndASavedOneStopsComingBack) {
    fs::create_directories("snippets/Python");
    WriteFile("snippets/Python/hello", "int x;\n");
    OpenFrame();
    OpenFile("hello", "./snippets/Python/hello");
    Command(wxID_NEW);
    Type(0, "one");
    Type(2, "two");
    Type(1, "// more");
    // The marker does not count in the numbering; undoing back to the saved text removes it.
    EXPECT_EQ(Captions(), (std::vector<wxString>{"*New Snippet", "*hello", "*New Snippet 2"}));
    Editor(1)->Undo();
    EXPECT_EQ(Caption(1), "hello");
    Editor(1)->Redo();
    EXPECT_EQ(Caption(1), "*hello");
    Editor(1)->SetAnchor(9);
    Editor(1)->SetCurrentPos(2);
    Quit();

    OpenFrame();
    EXPECT_EQ(Captions(), (std::vector<wxString>{"*New Snippet", "*hello", "*New Snippet 2"}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"one", "int x;\n// more", "two"}));
    EXPECT_EQ(Editor(1)->GetAnchor() * 10 + Editor(1)->GetCurrentPos(), 92);
    // Coloured as the language it was coloured as before.
    EXPECT_EQ(Editor(1)->ColouredAs(), "Python");
    EXPECT_EQ(Editor(0)->ColouredAs(), "");
    // Undo cannot take the restored text away. The editor fills its page as an opened one does.
    Select(1);
    Pump();
    EXPECT_EQ(Editor(1)->GetSize(), Page(1)->GetClientSize() - wxSize(6, 6));
    Command(wxID_UNDO);
    EXPECT_EQ(Editor(1)->GetText(), "int x;\n// more");
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/Python/hello"), "int x;\n// more");
    EXPECT_EQ(Caption(1), "hello");
    Quit();

    OpenFrame();
    EXPECT_EQ(Captions(), (std::vector<wxString>{"*New Snippet", "*New Snippet 2"}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(prompts_->History().empty());
}

TEST_F(RecoveryTest, ClosedPagesReopenNewestFirstAcrossARestart) {
    OpenFrame();
    Command(wxID_NEW);
    Command(wxID_NEW);
    Type(0, "first");
    Type(1, "second");
    ClosePage(2); // nothing typed: not kept
    ClosePage(0);
    ClosePage(0);
    EXPECT_EQ(PageCount(), 0u);
    Command(ID_REOPEN_CLOSED_PAGE);
    EXPECT_EQ(Captions(), std::vector<wxString>{"*New Snippet 2"});
    Quit();

    OpenFrame();
    EXPECT_EQ(Texts(), std::vector<std::string>{"second"});
    Command(ID_REOPEN_CLOSED_PAGE);
    Command(ID_REOPEN_CLOSED_PAGE);
    EXPECT_EQ(Captions(), (std::vector<wxString>{"*New Snippet 2", "*New Snippet"}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(Selection(), 1);
}

TEST_F(RecoveryTest, ADamagedEntryAndChangesMadeElsewhereAreNeverTakenForThePages) {
    const std::string uid = db_.AddUser("ann", "pw");
    const std::string sid = db_.AddSnippet(uid, "Row", "C", "row text");
    fs::create_directories("snippets/C");
    WriteFile("snippets/C/file", "file text");
    OpenFrame();
    OpenFile("file", "./snippets/C/file");
    Workspace()->OpenCloudSnippet({wxString(sid), "Row", "row text", "", "", false});
    Type(0, "doomed");
    Type(1, " here");
    Type(2, " here");
    Quit();
    // The new page's entry is cut short; the file and the row change on their own meanwhile.
    std::string cut;
    for (const auto& entry : fs::directory_iterator(kStore)) {
        const std::string bytes = ReadFile(entry.path().string());
        if (bytes.find("\nkind new-snippet\n") != std::string::npos) {
            cut = bytes.substr(0, bytes.size() - 1);
            fs::resize_file(entry.path(), cut.size());
        }
    }
    WriteFile("snippets/C/file", "changed on disk");
    db_.Exec("UPDATE snippets SET content = 'other computer' WHERE sid = " + sid);

    prompts_->ExpectMessage();
    OpenFrame();
    ASSERT_EQ(prompts_->History().size(), 1u);
    EXPECT_TRUE(prompts_->History()[0].message.Contains("could not be read")) << "message";
    EXPECT_EQ(Captions(), (std::vector<wxString>{"*file", "*Row"}));
    // Set aside as it was.
    const fs::directory_iterator damaged(std::string(kStore) + "/damaged");
    ASSERT_NE(damaged, fs::directory_iterator());
    EXPECT_EQ(ReadFile(damaged->path().string()), cut);

    // No: the page goes elsewhere (here nowhere: the destination is cancelled).
    Select(0);
    prompts_->AnswerYesNo(false);
    prompts_->AnswerSaveDestination(cloud_or_local::ID_CANCEL);
    Command(ID_SAVE);
    EXPECT_TRUE(prompts_->History()[1].message.Contains("changed on disk"));
    EXPECT_EQ(ReadFile("snippets/C/file"), "changed on disk");
    prompts_->AnswerYesNo(true);
    Command(ID_SAVE);
    EXPECT_EQ(ReadFile("snippets/C/file"), "file text here");

    RecordStatements();
    Select(1);
    prompts_->AnswerYesNo(true);
    Command(ID_SAVE);
    EXPECT_TRUE(prompts_->History()[4].message.Contains("another computer"));
    EXPECT_EQ(Updates(), 1u);
    EXPECT_EQ(db_.Query("SELECT content FROM snippets"), TestDatabase::Rows{{"row text here"}});
}

TEST_F(RecoveryTest, ASecondCopyNeitherRestoresNorOverwritesTheFirstCopysPages) {
    OpenFrame();
    Type(0, "first copy");
    Workspace()->Recovery().WriteNow(true);

    prompts_->ExpectMessage();
    auto* second = new CorvaneFrame(nullptr, "Corvane");
    EXPECT_TRUE(prompts_->History().at(0).message.StartsWith("Another copy of Corvane"));
    Interface* workspace = second->Workspace();
    ASSERT_EQ(workspace->Notebook()->GetPageCount(), 1u);
    EXPECT_EQ(workspace->EditorPage(0)->stc->GetText(), "");
    workspace->EditorPage(0)->stc->AddText("second copy");
    second->Destroy();
    Pump();
    EXPECT_EQ(StoredTexts(), std::vector<std::string>{"first copy"});
    Quit();

    OpenFrame();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"first copy", "second copy"}));
    // The second copy's place has gone into the main one.
    for (const auto& entry : fs::directory_iterator(kStore))
        EXPECT_NE(entry.path().filename().string().rfind("copy-", 0), 0u) << entry.path();
}

} // namespace
