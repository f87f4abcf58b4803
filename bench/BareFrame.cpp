// The smallest windowed program: one empty frame, ended at the first idle moment after it is
// shown. Its launch time is the yardstick for the start-up of the real program.
#include <wx/app.h>
#include <wx/frame.h>

class BareApp : public wxApp {
public:
    bool OnInit() override {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "Bare");
        frame->Show(true);
        Bind(wxEVT_IDLE, [this](wxIdleEvent&) { ExitMainLoop(); });
        return true;
    }
};

wxIMPLEMENT_APP(BareApp);
