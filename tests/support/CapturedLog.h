#pragma once

#include <wx/log.h>

#include <vector>

// Collects the errors and warnings the toolkit logs while it lives, so that nothing reaches a
// dialog; the previous log target comes back afterwards.
class CapturedLog : public wxLog {
public:
    CapturedLog() : previous_(wxLog::SetActiveTarget(this)) {}
    ~CapturedLog() override { wxLog::SetActiveTarget(previous_); }

    std::vector<wxString> messages;

protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& text) override {
        if (level <= wxLOG_Warning)
            messages.push_back(text);
    }

private:
    wxLog* previous_;
};
