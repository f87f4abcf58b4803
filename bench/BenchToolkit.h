#pragma once

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>

// The toolkit for a benchmark that drives the windows itself: an application object that does
// nothing at start-up, and the toolkit's entry and exit around the benchmark's work. The toolkit's
// messages go to standard error.
class BenchToolkit {
public:
    // False, after saying so, when the toolkit cannot start (no display).
    static bool Start(char* program) {
        wxApp::SetInstance(new NothingApp);
        int argc = 1;
        char* argv[] = {program, nullptr};
        if (!wxEntryStart(argc, argv)) {
            std::fprintf(stderr, "cannot start the toolkit (is DISPLAY set?)\n");
            return false;
        }
        wxTheApp->CallOnInit();
        delete wxLog::SetActiveTarget(new wxLogStderr);
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
