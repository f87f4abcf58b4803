#pragma once

#include "clipboard/ClipEntry.h"

#include <wx/listbox.h>

#include <optional>

// The list of texts that passed through the system clipboard, oldest first. Each line shows the
// beginning of its text; a double click puts the whole text back on the clipboard.
class ClipRecorder : public wxListBox {
public:
    static constexpr int kWindowId = 5999;

    explicit ClipRecorder(wxWindow* parent);

    // Appends a logged text at the end.
    void AddEntry(const ClipEntry& entry);
    // The logged text of line `index`.
    const ClipEntry& Entry(unsigned index) const;
    // The entry a double click put on the clipboard, while the clipboard still holds it.
    static std::optional<ClipEntry> EntryOnTheClipboard();

    // Asks for confirmation, then removes every entry.
    void ClearLog();

private:
    void CopySelectedEntry(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};
