#include "update/auto_update.h"

#include "app/Prompts.h"
#include "update/VersionCheck.h"

#include <wx/button.h>
#include <wx/font.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

wxBEGIN_EVENT_TABLE(auto_update, wxFrame)
    EVT_BUTTON(auto_update::ID_DOWNLOAD, auto_update::Download)
    EVT_BUTTON(wxID_CANCEL, auto_update::Cancel)
    EVT_CLOSE(auto_update::OnClose)
wxEND_EVENT_TABLE()

namespace {
constexpr long kStyle = wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxCLIP_CHILDREN;
}

auto_update::auto_update()
    : wxFrame(nullptr, wxID_ANY, "Corvane -- Update!", wxDefaultPosition, wxSize(500, 270),
              kStyle) {
    Centre();
    Build(update::FetchChangelog());
}

auto_update::auto_update(const wxString& changelog)
    : wxFrame(nullptr, wxID_ANY, "Corvane -- Update!", wxDefaultPosition, wxSize(500, 270),
              kStyle) {
    Centre();
    Build(changelog);
}

auto_update::~auto_update() {
    for (const wxWeakRef<wxTopLevelWindow>& window : watched_) {
        if (window)
            window->Unbind(wxEVT_ACTIVATE, &auto_update::OnOtherWindowActivated, this);
    }
}

auto_update* auto_update::Open(const wxString* changelog) {
    auto* window = changelog ? new auto_update(*changelog) : new auto_update();
    window->MakeModal();
    window->Show(true);
    // Shown while another window of the program has the focus (a start-up alert, the main
    // window), a new window may open behind it.
    window->BringToFront();
    return window;
}

void auto_update::BringToFront() {
    Raise();
    SetFocus();
}

void auto_update::OnOtherWindowActivated(wxActivateEvent& event) {
    event.Skip();
    if (event.GetActive() && disabler_)
        CallAfter(&auto_update::BringToFront);
}

void auto_update::Build(const wxString& changelog) {
    SetBackgroundColour(wxColour(240, 240, 240));
    auto* text = new wxTextCtrl(this, wxID_ANY, changelog, wxPoint(5, 5), wxSize(485, 200),
                                wxTE_MULTILINE | wxTE_READONLY);
    text->SetFont(
        wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, ""));
    new wxButton(this, ID_DOWNLOAD, "Download", wxPoint(325, 210));
    new wxButton(this, wxID_CANCEL, "Cancel", wxPoint(415, 210));
}

void auto_update::MakeModal() {
    disabler_ = std::make_unique<wxWindowDisabler>(this);
    for (wxWindow* window : wxTopLevelWindows) {
        auto* other = dynamic_cast<wxTopLevelWindow*>(window);
        if (other == nullptr || other == this)
            continue;
        other->Bind(wxEVT_ACTIVATE, &auto_update::OnOtherWindowActivated, this);
        watched_.emplace_back(other);
    }
}

void auto_update::EndModalAndDestroy() {
    disabler_.reset();
    Destroy();
}

void auto_update::Download(wxCommandEvent&) {
    Prompts::Current().OpenUrl(wxString::FromUTF8(update::DownloadUrl()));
    EndModalAndDestroy();
}

void auto_update::Cancel(wxCommandEvent&) { EndModalAndDestroy(); }

void auto_update::OnClose(wxCloseEvent&) { EndModalAndDestroy(); }
