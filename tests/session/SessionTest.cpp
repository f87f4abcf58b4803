// The program as a user runs it: its own application object, the toolkit's real main loop, and a
// short session driven from inside that loop (open a snippet, log in, search and view a result,
// run a plug-in), ended by Quit from the File menu. The main loop then ends and the toolkit shuts
// down as it does for a user, with the clipboard watcher running and the plug-ins loaded; built
// with the sanitizers, every step of start-up and shutdown is checked for memory faults and leaks.
//   session_test SAMPLE_PLUGIN_DIRECTORY
#include "account/Accounts.h"
#include "app/CorvaneApp.h"
#include "app/CorvaneFrame.h"
#include "app/Interface.h"
#include "app/Prompts.h"
#include "browse/SnippetBrowser.h"
#include "browse/public_browser.h"
#include "browse/search_results.h"
#include "browse/search_results_tree.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "support/TestDatabase.h"

#include <wx/app.h>
#include <wx/aui/auibook.h>
#include <wx/button.h>
#include <wx/filename.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

// Answers every question as a user in a hurry would (OK, Yes, Cancel) and remembers the messages.
class SessionPrompts : public Prompts {
public:
    std::vector<wxString> messages;
    void ShowMessage(const wxString& message, const wxString&) override {
        messages.push_back(message);
    }
    bool AskYesNo(const wxString&, const wxString&) override { return true; }
    std::optional<wxString> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
    SaveDestinationAnswer AskSaveDestination(bool) override { return {6001, {}, {}}; }
    void OpenUrl(const wxString&) override {}
};

SessionPrompts* g_prompts = nullptr;
std::vector<std::string> g_failures;
std::vector<std::string> g_done;
bool g_quit = false; // the session got as far as its last step

void Check(bool condition, const char* what) {
    if (condition)
        g_done.push_back(what);
    else
        g_failures.push_back(what);
}

void Click(wxWindow* parent, int id) {
    wxWindow* button = parent->FindWindow(id);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button != nullptr ? button : parent);
    (button != nullptr ? button : parent)->ProcessWindowEvent(click);
}

void DoubleClick(wxTreeCtrl* tree, const wxTreeItemId& item) {
    tree->SelectItem(item);
    wxMouseEvent click(wxEVT_LEFT_DCLICK);
    click.SetEventObject(tree);
    tree->ProcessWindowEvent(click);
}

// The first node at the bottom of a tree, below the first child at every level.
wxTreeItemId FirstLeaf(wxTreeCtrl* tree, wxTreeItemId node) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree->GetFirstChild(node, cookie); child.IsOk();
         child = tree->GetFirstChild(node, cookie))
        node = child;
    return node;
}

// The session, one step per turn of the main loop, so that what each step queued is handled.
class Session : public wxTimer {
public:
    Session(CorvaneFrame* frame, std::string uid, std::string sid)
        : frame_(frame), uid_(std::move(uid)), sid_(std::move(sid)) {}

    void Notify() override {
        Interface* workspace = frame_->Workspace();
        switch (step_++) {
        case 0: {
            SnippetBrowser* tree = workspace->Tree();
            DoubleClick(tree, FirstLeaf(tree, tree->GetRootItem()));
            Check(workspace->Notebook()->GetPageCount() == 2, "a local snippet opens");
            break;
        }
        case 1: {
            Command(ID_LOGIN);
            wxWindow* page = workspace->Notebook()->GetCurrentPage();
            dynamic_cast<wxTextCtrl*>(page->FindWindow(Accounts::ID_USER_NAME))->SetValue("ann");
            dynamic_cast<wxTextCtrl*>(page->FindWindow(Accounts::ID_PASSWORD))->SetValue("pw");
            Click(page, Accounts::ID_LOGIN);
            Check(workspace->CurrentUserId() == uid_, "the user logs in");
            break;
        }
        case 2: {
            Click(workspace, Interface::ID_BROWSE_PUBLIC);
            auto* browser = dynamic_cast<public_browser*>(workspace->Notebook()->GetCurrentPage());
            Check(browser != nullptr, "the search page opens");
            if (browser == nullptr)
                break;
            browser->TitleBox()->SetValue("quick");
            Click(browser, public_browser::ID_SEARCH);
            auto* results = dynamic_cast<search_results*>(browser->Results()->GetCurrentPage());
            Check(results != nullptr, "a search opens its results page");
            if (results == nullptr)
                break;
            search_results_tree* tree = results->Tree();
            DoubleClick(tree, FirstLeaf(tree, tree->GetRootItem()));
            Check(results->Editor()->GetText().Contains("quick_sort"), "a result is viewed");
            break;
        }
        case 3:
            // A plug-in exports the snippet on view.
            Command(ID_PLUGIN_BASE);
            Check(std::filesystem::exists("exports"), "a plug-in runs");
            // The clipboard watcher polls a few times before the end.
            Start(1200, wxTIMER_ONE_SHOT);
            return;
        default:
            Check(g_prompts->messages.size() == 1, "nothing went wrong on the way");
            g_quit = true;
            Command(ID_QUIT);
            return;
        }
        Start(50, wxTIMER_ONE_SHOT);
    }

private:
    void Command(int id) {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(frame_);
        frame_->ProcessWindowEvent(event);
    }

    CorvaneFrame* frame_;
    std::string uid_;
    std::string sid_;
    int step_ = 0;
};

class SessionApp : public CorvaneApp {
public:
    SessionApp(std::string uid, std::string sid) : uid_(std::move(uid)), sid_(std::move(sid)) {}

    bool OnInit() override {
        if (!CorvaneApp::OnInit())
            return false;
        auto* frame = dynamic_cast<CorvaneFrame*>(GetTopWindow());
        Check(frame != nullptr && frame->IsShown(), "the program starts");
        if (frame == nullptr)
            return false;
        session_ = std::make_unique<Session>(frame, uid_, sid_);
        session_->Start(200, wxTIMER_ONE_SHOT);
        return true;
    }
    int OnExit() override {
        session_.reset();
        return CorvaneApp::OnExit();
    }

private:
    std::string uid_;
    std::string sid_;
    std::unique_ptr<Session> session_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: session_test SAMPLE_PLUGIN_DIRECTORY\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path work =
        fs::temp_directory_path() / ("corvane-session-" + std::to_string(getpid()));
    fs::create_directories(work / "snippets" / "C");
    fs::create_directories(work / "plugins");
    fs::create_symlink(fs::path(CORVANE_SOURCE_DIR) / "icons", work / "icons");
    fs::copy_file(fs::path(argv[1]) / "markdown_export.so",
                  work / "plugins" / "markdown_export.so");
    fs::current_path(work);
    std::FILE* file = std::fopen("snippets/C/hello", "w");
    std::fputs("int main(void) { return 0; }\n", file);
    std::fclose(file);

    std::string uid, sid;
    {
        TestDatabase db;
        db.Reset();
        uid = db.AddUser("ann", "pw");
        sid = db.AddSnippet(uid, "Quick sort", "C", "void quick_sort(int *a, int n);", true, true);
    }

    auto prompts = std::make_unique<SessionPrompts>();
    g_prompts = prompts.get();
    Prompts::Install(std::move(prompts));
    int argc_for_toolkit = 1;
    wxApp::SetInstance(new SessionApp(uid, sid));
    const int result = wxEntry(argc_for_toolkit, argv);

    for (const std::string& step : g_done)
        std::printf("done: %s\n", step.c_str());
    for (const std::string& step : g_failures)
        std::printf("FAILED: %s\n", step.c_str());
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(work, ignored);
    if (!g_quit)
        std::printf("FAILED: the session did not get as far as Quit\n");
    return result == 0 && g_failures.empty() && g_quit ? 0 : 1;
}
