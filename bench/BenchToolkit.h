#pragma once

#include "app/Prompts.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>

// Prompts for a benchmark, which nobody answers: a message goes to standard error, every question
// is declined.
class SilentPrompts : public Prompts {
public:
    void ShowMessage(const wxString& message, const wxString&) override {
        std::fprintf(stderr, "message: %s\n", message.utf8_str().data());
    }
    bool AskYesNo(const wxString&, const wxString&) override { return false; }
    std::optional<wxString> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
    SaveDestinationAnswer AskSaveDestination(bool) override { return {}; }
    void OpenUrl(const wxString&) override {}
};

// The toolkit for a benchmark that drives the windows itself: an application object that does
// nothing at start-up, and the toolkit's entry and exit around the benchmark's work. The toolkit's
// messages go to standard error; the program's questions go to SilentPrompts unless the benchmark
// installs prompts of its own.
class BenchToolkit {
public:
    // False, after saying so, when the toolkit cannot start (no display).
    static bool Start(char* program) {
        // The program finds its HTTP helper beside itself; a benchmark is elsewhere.
        setenv("CORVANE_HTTP_HELPER", CORVANE_HTTP_HELPER_PATH, 0);
        wxApp::SetInstance(new NothingApp);
        int argc = 1;
        char* argv[] = {program, nullptr};
        if (!wxEntryStart(argc, argv)) {
            std::fprintf(stderr, "cannot start the toolkit (is DISPLAY set?)\n");
            return false;
        }
        wxTheApp->CallOnInit();
        delete wxLog::SetActiveTarget(new wxLogStderr);
        if (!Prompts::IsInstalled())
            Prompts::Install(std::make_unique<SilentPrompts>());
        return true;
    }
    static void Stop() {
        wxTheApp->ProcessIdle();
        wxTheApp->OnExit();
        wxEntryCleanup();
    }

private:
    class NothingApp : public wxApp {
    public:
        bool OnInit() override { return true; }
    };
};
