#pragma once

#include <wx/listbox.h>

// The list of texts that passed through the system clipboard, oldest first.
class ClipRecorder : public wxListBox {
public:
    static constexpr int kWindowId = 5999;

    explicit ClipRecorder(wxWindow* parent);
};
