#pragma once

#include "editor/snippet_info.h"

#include <wx/stc/stc.h>

// The styled-text editor of one snippet, coloured as C/C++ whatever its language, carrying the
// attributes of the snippet it shows.
class snippet_stc : public wxStyledTextCtrl {
public:
    explicit snippet_stc(wxWindow* parent);
    ~snippet_stc() override;

    // The whole text, NULs included: the control's own text accessors stop at the first NUL, so a
    // snippet holding one would be cut short when opened or saved.
    wxString SnippetText();
    void SetSnippetText(const wxString& text);
    void AppendSnippetText(const wxString& text);

    snippet_info info;
};
