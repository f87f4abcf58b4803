#pragma once

#include <wx/frame.h>

#include <memory>

class wxWindowDisabler;

// The update window: the changelog of the published version, a "Download" button that opens the
// download page in the browser, and "Cancel". It is modal for its whole life: every other window
// of the program is disabled until it closes.
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

    std::unique_ptr<wxWindowDisabler> disabler_;

    wxDECLARE_EVENT_TABLE();
};
