// The smallest windowed program of the kind: one frame with a menu bar and a status bar. At the
// first idle moment after the frame is shown (its first paint is done by then) it writes
// "visible" and the CLOCK_MONOTONIC time of that moment in milliseconds to standard output and
// ends, as the real program does under CORVANE_EXIT_WHEN_IDLE. Its launch time is the yardstick
// for the start-up of the real program.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/menu.h>

#include <time.h>

#include <cstdio>

class BareApp : public wxApp {
public:
    bool OnInit() override {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "Bare");
        auto* bar = new wxMenuBar;
        auto* file = new wxMenu;
        file->Append(wxID_NEW);
        file->Append(wxID_OPEN);
        file->Append(wxID_SAVE);
        file->AppendSeparator();
        file->Append(wxID_EXIT);
        bar->Append(file, "&File");
        auto* edit = new wxMenu;
        edit->Append(wxID_CUT);
        edit->Append(wxID_COPY);
        edit->Append(wxID_PASTE);
        bar->Append(edit, "&Edit");
        auto* help = new wxMenu;
        help->Append(wxID_ABOUT);
        bar->Append(help, "&Help");
        frame->SetMenuBar(bar);
        frame->CreateStatusBar();
        frame->Show(true);
        Bind(wxEVT_IDLE, [this](wxIdleEvent&) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("visible %.3f\n", static_cast<double>(now.tv_sec) * 1e3 +
                                              static_cast<double>(now.tv_nsec) / 1e6);
            std::fflush(stdout);
            ExitMainLoop();
        });
        return true;
    }
};

wxIMPLEMENT_APP(BareApp);
