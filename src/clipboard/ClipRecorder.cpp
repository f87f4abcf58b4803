#include "clipboard/ClipRecorder.h"

#include "app/Prompts.h"

#include <wx/clipbrd.h>

wxBEGIN_EVENT_TABLE(ClipRecorder, wxListBox)
    EVT_LISTBOX_DCLICK(ClipRecorder::kWindowId, ClipRecorder::CopySelectedEntry)
wxEND_EVENT_TABLE()

ClipRecorder::ClipRecorder(wxWindow* parent)
    : wxListBox(parent, kWindowId, wxPoint(5, 319), wxSize(200, 150), 0, nullptr, 0) {}

void ClipRecorder::ClearLog() {
    if (Prompts::Current().AskYesNo(
            "Are you sure you wish to delete everything from the clipboard log?", "Confirm"))
        Clear();
}

void ClipRecorder::CopySelectedEntry(wxCommandEvent&) {
    const int selected = GetSelection();
    if (selected == wxNOT_FOUND)
        return;
    const wxString text = GetString(static_cast<unsigned>(selected));

    // The clipboard is held open while another command of this program uses it.
    if (wxTheClipboard->IsOpened() || !wxTheClipboard->Open()) {
        Prompts::Current().ShowMessage("Failed to open the clipboard!", "Oops!");
        return;
    }
    const bool copied = wxTheClipboard->SetData(new wxTextDataObject(text));
    if (copied) {
        Prompts::Current().ShowMessage(
            "The following data bas heen copied to the clipboard:\n\n" + text, "Success!");
    } else {
        Prompts::Current().ShowMessage("Failed to open the clipboard!", "Oops!");
    }
    wxTheClipboard->Close();
}
