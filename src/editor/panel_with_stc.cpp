#include "editor/panel_with_stc.h"

#include "editor/snippet_stc.h"

panel_with_stc::panel_with_stc(wxWindow* parent)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER) {}

bool panel_with_stc::HasUnsavedText() const {
    // Only snippet pages count: the shared-snippets page's editor is a preview.
    if (!kind.empty() && kind != "new-snippet")
        return false;
    return restored || (stc != nullptr && stc->GetModify());
}
