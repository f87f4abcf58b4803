#pragma once

#include <wx/listbox.h>

// The list of texts that passed through the system clipboard, oldest first. A double click puts
// an entry back on the clipboard.
class ClipRecorder : public wxListBox {
public:
    static constexpr int kWindowId = 5999;

    explicit ClipRecorder(wxWindow* parent);

    // Asks for confirmation, then removes every entry.
    void ClearLog();

private:
    void CopySelectedEntry(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};
