#pragma once

#include <wx/frame.h>
#include <wx/weakref.h>

#include <memory>
#include <vector>

class wxWindowDisabler;

// The update window: the changelog of the published version, a "Download" button that opens the
// download page in the browser, and "Cancel". It is modal for its whole life: every other window
// of the program is disabled until it closes, and it stays the one in front: it is raised and
// given the focus when shown, and again whenever one of the disabled windows comes to the front
// (as a window manager brings the main window back when a start-up alert closes), so the user is
// never left with a disabled window and nothing to click.
class auto_update : public wxFrame {
public:
    enum { ID_DOWNLOAD = 5999 };

    // Fetches the changelog from the update service (bounded by the HTTP timeouts).
    auto_update();
    // Shows a changelog that was fetched already.
    explicit auto_update(const wxString& changelog);
    ~auto_update() override;

    // Creates a window, makes it modal and shows it; a null `changelog` fetches it.
    static auto_update* Open(const wxString* changelog = nullptr);

    void Download(wxCommandEvent& event);
    void Cancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

private:
    void Build(const wxString& changelog);
    void MakeModal();
    void EndModalAndDestroy();
    // Raises the window above the program's others and gives it the focus.
    void BringToFront();
    void OnOtherWindowActivated(wxActivateEvent& event);

    std::unique_ptr<wxWindowDisabler> disabler_;
    // The windows made inactive, watched for coming to the front.
    std::vector<wxWeakRef<wxTopLevelWindow>> watched_;

    wxDECLARE_EVENT_TABLE();
};
