#include "clipboard/ClipRecorder.h"

ClipRecorder::ClipRecorder(wxWindow* parent)
    : wxListBox(parent, kWindowId, wxPoint(5, 319), wxSize(200, 150), 0, nullptr, 0) {}
