#include "clipboard/ClipRecorder.h"

#include "app/Prompts.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include <cstring>

namespace {

// The entry a line of the list holds.
class EntryData : public wxClientData {
public:
    explicit EntryData(const ClipEntry& logged) : entry(logged) {}
    const ClipEntry entry;
};

// A logged text on the clipboard, handed out as the UTF-8 it is kept in: a text of many
// megabytes is neither widened nor converted again each time another program asks for it. The
// toolkit deletes it when the clipboard gets other contents or another owner, so while one is
// alive the clipboard holds its entry.
class EntryOnClipboard : public wxDataObjectSimple {
public:
    explicit EntryOnClipboard(const ClipEntry& logged)
        : wxDataObjectSimple(wxDF_UNICODETEXT), entry(logged) {
        current = this;
    }
    ~EntryOnClipboard() override {
        if (current == this)
            current = nullptr;
    }

    size_t GetDataSize() const override { return entry.Text()->size(); }
    bool GetDataHere(void* buffer) const override {
        std::memcpy(buffer, entry.Text()->data(), entry.Text()->size());
        return true;
    }
    bool SetData(size_t, const void*) override { return false; }

    static inline const EntryOnClipboard* current = nullptr;
    const ClipEntry entry;
};

} // namespace

wxBEGIN_EVENT_TABLE(ClipRecorder, wxListBox)
    EVT_LISTBOX_DCLICK(ClipRecorder::kWindowId, ClipRecorder::CopySelectedEntry)
wxEND_EVENT_TABLE()

ClipRecorder::ClipRecorder(wxWindow* parent)
    : wxListBox(parent, kWindowId, wxPoint(5, 319), wxSize(200, 150), 0, nullptr, 0) {}

void ClipRecorder::AddEntry(const ClipEntry& entry) {
    Append(wxString::FromUTF8(entry.Label()), new EntryData(entry));
}

const ClipEntry& ClipRecorder::Entry(unsigned index) const {
    return static_cast<const EntryData*>(GetClientObject(index))->entry;
}

std::optional<ClipEntry> ClipRecorder::EntryOnTheClipboard() {
    if (EntryOnClipboard::current == nullptr)
        return std::nullopt;
    return EntryOnClipboard::current->entry;
}

void ClipRecorder::ClearLog() {
    if (Prompts::Current().AskYesNo(
            "Are you sure you wish to delete everything from the clipboard log?", "Confirm"))
        Clear();
}

void ClipRecorder::CopySelectedEntry(wxCommandEvent&) {
    const int selected = GetSelection();
    if (selected == wxNOT_FOUND)
        return;
    const ClipEntry& entry = Entry(static_cast<unsigned>(selected));

    // The clipboard is held open while another command of this program uses it.
    if (wxTheClipboard->IsOpened() || !wxTheClipboard->Open()) {
        Prompts::Current().ShowMessage("Failed to open the clipboard!", "Oops!");
        return;
    }
    const bool copied = wxTheClipboard->SetData(new EntryOnClipboard(entry));
    if (copied) {
        // The message shows the text's beginning: a box with a whole long text would take as
        // long to lay out as the list did.
        Prompts::Current().ShowMessage("The following data bas heen copied to the clipboard:\n\n" +
                                           wxString::FromUTF8(entry.Preview()),
                                       "Success!");
    } else {
        Prompts::Current().ShowMessage("Failed to open the clipboard!", "Oops!");
    }
    wxTheClipboard->Close();
}
