#include "gui/GuiTestRunner.h"


#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/toplevel.h>

#include <cstdlib>
#include <string>

namespace {

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " "
        << msg.utf8_string();
}

// A scratch directory holding ./icons (from the source tree); the tests make ./snippets.
std::string MakeWorkingDirectory() {
    char templ[] = "/tmp/corvane-gui-XXXXXX";
    const char* dir = mkdtemp(templ);
    if (dir == nullptr || chdir(dir) != 0)
        std::abort();
    const std::string icons = std::string(CORVANE_SOURCE_DIR) + "/icons";
    if (symlink(icons.c_str(), "icons") != 0)
        std::abort();
    return dir;
}

} // namespace

int RunGuiTests(wxAppConsole* app, int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const std::string work = MakeWorkingDirectory();

    wxApp::SetInstance(app);
    int wx_argc = 1;
    if (!wxEntryStart(wx_argc, argv)) {
        fprintf(stderr, "cannot start the toolkit (is DISPLAY set?)\n");
        return 1;
    }
    wxInitAllImageHandlers();
    wxSetAssertHandler(FailOnAssert);
    // Log messages go to stderr: a log window would be one more modal surprise.
    delete wxLog::SetActiveTarget(new wxLogStderr);

    // An active loop that nobody runs: tests dispatch its events themselves (GuiTest::Pump).
    wxGUIEventLoop loop;
    int result;
    {
        wxEventLoopActivator activate(&loop);
        result = RUN_ALL_TESTS();
    }

    const wxWindowList windows = wxTopLevelWindows; // Destroy changes the list
    for (wxWindow* window : windows)
        window->Destroy();
    wxTheApp->ProcessIdle();
    wxTheApp->OnExit();
    wxEntryCleanup();
    wxFileName::Rmdir(work, wxPATH_RMDIR_RECURSIVE);
    return result;
}
