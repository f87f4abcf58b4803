#include "editor/panel_with_stc.h"

panel_with_stc::panel_with_stc(wxWindow* parent)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER) {}
