#pragma once

#include <wx/app.h>

// Prepares the working directory, shows the splash screen while the main window is built, and
// shows the main window.
class CorvaneApp : public wxApp {
public:
    bool OnInit() override;
};
