#pragma once

#include "editor/snippet_info.h"

#include <wx/stc/stc.h>

// The styled-text editor of one snippet, coloured as C/C++ whatever its language, carrying the
// attributes of the snippet it shows.
class snippet_stc : public wxStyledTextCtrl {
public:
    explicit snippet_stc(wxWindow* parent);
    ~snippet_stc() override;

    snippet_info info;
};
