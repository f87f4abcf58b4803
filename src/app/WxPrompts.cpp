#include "app/WxPrompts.h"

#include "storage/cloud_or_local.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

namespace {
// Dialogs that belong to the main window are parented to it; message boxes have no parent.
wxWindow* MainWindow() { return wxTheApp ? wxTheApp->GetTopWindow() : nullptr; }
} // namespace

void WxPrompts::ShowMessage(const wxString& message, const wxString& caption) {
    wxMessageBox(message, caption, wxOK | wxCENTRE, nullptr);
}

bool WxPrompts::AskYesNo(const wxString& message, const wxString& caption) {
    return wxMessageBox(message, caption, wxYES_NO | wxCENTRE, MainWindow()) == wxYES;
}

std::optional<wxString> WxPrompts::AskSaveFile(const SaveFileRequest& request) {
    wxFileDialog dialog(MainWindow(), request.message, wxEmptyString, wxEmptyString,
                        request.wildcard, wxFD_SAVE);
    dialog.SetDirectory(request.directory);
    dialog.SetFilename(request.file_name);
    if (dialog.ShowModal() != wxID_OK)
        return std::nullopt;
    return dialog.GetPath();
}

SaveDestinationAnswer WxPrompts::AskSaveDestination(bool ask_destination) {
    cloud_or_local dialog(MainWindow(), ask_destination);
    dialog.ShowModal();
    return SaveDestinationAnswer{dialog.Result(), dialog.Title(), dialog.Language()};
}

void WxPrompts::OpenUrl(const wxString& url) {
    // The toolkit hands the address to xdg-open here; its complaints would open a log window.
    wxLogNull quiet;
    wxLaunchDefaultBrowser(url, 0);
}
