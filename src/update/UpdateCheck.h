#pragma once

#include <wx/string.h>

#include <memory>

class CorvaneFrame;

// The version check of each start. The service is asked on a worker thread, so that a slow or
// silent service never holds up the main window; when another version has been published, the
// update window opens and then the "Update Available!" menu is added, both on the GUI thread.
// Closing the frame while the request is under way ends it early and announces nothing.
class UpdateCheck {
public:
    // Starts the check for a frame that is already shown.
    static std::shared_ptr<UpdateCheck> Start(CorvaneFrame* frame);

    // GUI thread: the answer has been dealt with (whether or not it announced an update).
    bool Done() const { return done_; }
    // GUI thread: an update window was opened and the menu added.
    bool Announced() const { return announced_; }

private:
    struct Shared;

    UpdateCheck() = default;
    void Finish(CorvaneFrame* frame, bool another, const wxString& changelog);

    bool done_ = false;
    bool announced_ = false;
};
