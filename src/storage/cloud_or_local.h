#pragma once

#include <wx/dialog.h>

class wxTextCtrl;

// The save-destination dialog: title and language of the snippet, and where to store it.
class cloud_or_local : public wxDialog {
public:
    enum { ID_MY_CLOUD = 5999, ID_LOCALLY = 6000, ID_CANCEL = 6001 };

    // `ask_destination` offers "My Cloud" beside "Locally"; without it the dialog only confirms
    // a local save.
    cloud_or_local(wxWindow* parent, bool ask_destination);

    int Result() const { return result_; }
    wxString Title() const;
    wxString Language() const;

private:
    void OnButton(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    int result_ = ID_CANCEL;
    wxTextCtrl* title_field_;
    wxTextCtrl* language_field_;

    wxDECLARE_EVENT_TABLE();
};
