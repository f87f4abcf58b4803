#include "storage/cloud_or_local.h"

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

wxBEGIN_EVENT_TABLE(cloud_or_local, wxDialog)
    EVT_BUTTON(cloud_or_local::ID_MY_CLOUD, cloud_or_local::OnButton)
    EVT_BUTTON(cloud_or_local::ID_LOCALLY, cloud_or_local::OnButton)
    EVT_BUTTON(cloud_or_local::ID_CANCEL, cloud_or_local::OnButton)
    EVT_CLOSE(cloud_or_local::OnClose)
wxEND_EVENT_TABLE()

cloud_or_local::cloud_or_local(wxWindow* parent, bool ask_destination)
    : wxDialog(parent, wxID_ANY, "Save", wxDefaultPosition, wxSize(280, 120),
               wxDEFAULT_DIALOG_STYLE) {
    SetBackgroundColour(*wxWHITE);
    auto* prompt = new wxStaticText(this, wxID_ANY,
                                    ask_destination ? "Where would you like to store this snippet?"
                                                    : "Confirm save:",
                                    wxPoint(10, 5));
    prompt->SetFont(wxFont(10, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
    new wxStaticText(this, wxID_ANY, "Title:", wxPoint(10, 30));
    title_field_ = new wxTextCtrl(this, wxID_ANY, "New Snippet", wxPoint(35, 27), wxSize(120, 23));
    new wxStaticText(this, wxID_ANY, "Language:", wxPoint(160, 30));
    language_field_ = new wxTextCtrl(this, wxID_ANY, "", wxPoint(211, 27), wxSize(50, 23));
    if (ask_destination)
        new wxButton(this, ID_MY_CLOUD, "My Cloud", wxPoint(8, 60));
    new wxButton(this, ID_LOCALLY, ask_destination ? "Locally" : "Save", wxPoint(97, 60));
    new wxButton(this, ID_CANCEL, "Cancel", wxPoint(186, 60));
}

wxString cloud_or_local::Title() const { return title_field_->GetValue(); }

wxString cloud_or_local::Language() const { return language_field_->GetValue(); }

void cloud_or_local::OnButton(wxCommandEvent& event) {
    result_ = event.GetId();
    if (IsModal())
        EndModal(result_);
    else
        Hide();
}

void cloud_or_local::OnClose(wxCloseEvent&) {
    // The close box counts as Cancel.
    result_ = ID_CANCEL;
    if (IsModal())
        EndModal(result_);
    else
        Hide();
}
