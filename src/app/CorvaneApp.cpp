#include "app/CorvaneApp.h"

#include "app/CorvaneFrame.h"
#include "app/EarlyStart.h"
#include "app/Platform.h"
#include "app/Resources.h"
#include "app/StartScript.h"
#include "app/WxPrompts.h"
#include "update/UpdateCheck.h"

#include <wx/image.h>
#include <wx/splash.h>
#include <wx/weakref.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// Start-up benchmarks set CORVANE_EXIT_WHEN_IDLE (to any value): the program then notes the first
// idle moment after its window is shown (its first paint is done by then), and once the splash
// screen is gone as well (the toolkit deletes it after that first idle event) it writes "visible"
// and the CLOCK_MONOTONIC time of that first moment in milliseconds to standard output and ends
// itself. A run thus times the launch to the visible window, not to the process's end, and a
// benchmark holding the write finds the program settled. As nobody is there to click, a message
// goes to standard error instead of into a box. Unset, the variable costs one lookup at start.
constexpr const char* kExitWhenIdle = "CORVANE_EXIT_WHEN_IDLE";

class UnattendedPrompts : public WxPrompts {
public:
    void ShowMessage(const wxString& message, const wxString& caption) override {
        std::fprintf(stderr, "%s: %s\n", caption.utf8_str().data(), message.utf8_str().data());
    }
};

} // namespace

bool CorvaneApp::OnInit() {
    platform::ReturnLargeBlocksWhenFreed();
    wxInitAllImageHandlers();
    const bool exit_when_idle = std::getenv(kExitWhenIdle) != nullptr;
    // Prompts installed before start-up (a test's scripted answers) stay in force.
    if (!Prompts::IsInstalled()) {
        if (exit_when_idle)
            Prompts::Install(std::make_unique<UnattendedPrompts>());
        else
            Prompts::Install(std::make_unique<WxPrompts>());
    }

    // An existing directory, or one that cannot be made, does not stop start-up.
    platform::MakeDirectory("./snippets");
    // The cloud is reached while the splash screen is built and painted.
    std::unique_ptr<EarlyStart> early = EarlyStart::Begin();

    auto* splash = new wxSplashScreen(resources::LoadBitmap("SPLASH"),
                                      wxSPLASH_CENTRE_ON_SCREEN | wxSPLASH_TIMEOUT, 10000, nullptr,
                                      wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxSIMPLE_BORDER | wxFRAME_NO_TASKBAR | wxSTAY_ON_TOP);
    // The splash may close itself on its timeout while the frame is being built.
    wxWeakRef<wxSplashScreen> splash_alive(splash);
    wxYield();

    auto* frame = new CorvaneFrame(nullptr, "Corvane", early.get());
    frame->SetIcons(resources::LoadIcon("aaaa"));
    frame->Show(true);
    SetTopWindow(frame);

    if (splash_alive)
        splash_alive->Destroy();
    // Benchmarks' steps, taken before the idle moment CORVANE_EXIT_WHEN_IDLE reports.
    if (const char* script = std::getenv(start_script::kVariable))
        start_script::Run(wxString::FromUTF8(script), *frame->Workspace());
    // Begun once the window is drawn, so that its helper process does not compete with the first
    // paint; the answer is awaited off the GUI thread, and the window responds meanwhile.
    wxWeakRef<CorvaneFrame> checked(frame);
    CallAfter([checked] {
        if (checked)
            UpdateCheck::Start(checked);
    });
    if (exit_when_idle) {
        Bind(wxEVT_IDLE, [this, splash_alive,
                          visible_ms = std::optional<double>()](wxIdleEvent& event) mutable {
            if (!visible_ms) {
                timespec now{};
                ::clock_gettime(CLOCK_MONOTONIC, &now);
                visible_ms =
                    static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
            }
            if (splash_alive) {
                event.RequestMore();
                return;
            }
            std::printf("visible %.3f\n", *visible_ms);
            std::fflush(stdout);
            ExitMainLoop();
        });
    }
    return true;
}
