#include "app/CorvaneApp.h"

#include "app/CorvaneFrame.h"
#include "app/Platform.h"
#include "app/Resources.h"
#include "app/WxPrompts.h"

#include <wx/image.h>
#include <wx/splash.h>
#include <wx/weakref.h>

bool CorvaneApp::OnInit() {
    wxInitAllImageHandlers();
    Prompts::Install(std::make_unique<WxPrompts>());

    // An existing directory, or one that cannot be made, does not stop start-up.
    platform::MakeDirectory("./snippets");

    auto* splash = new wxSplashScreen(resources::LoadBitmap("SPLASH"),
                                      wxSPLASH_CENTRE_ON_SCREEN | wxSPLASH_TIMEOUT, 10000, nullptr,
                                      wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxSIMPLE_BORDER | wxFRAME_NO_TASKBAR | wxSTAY_ON_TOP);
    // The splash may close itself on its timeout while the frame is being built.
    wxWeakRef<wxSplashScreen> splash_alive(splash);
    wxYield();

    auto* frame = new CorvaneFrame(nullptr, "Corvane");
    frame->SetIcons(resources::LoadIcon("aaaa"));
    frame->Show(true);
    SetTopWindow(frame);

    if (splash_alive)
        splash_alive->Destroy();
    return true;
}
