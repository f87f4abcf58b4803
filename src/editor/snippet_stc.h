#pragma once

#include "editor/snippet_info.h"

#include <wx/stc/stc.h>

namespace languages {
struct Language;
}

// The styled-text editor of one snippet, coloured as its language (C/C++ until told otherwise),
// carrying the attributes of the snippet it shows.
class snippet_stc : public wxStyledTextCtrl {
public:
    explicit snippet_stc(wxWindow* parent);
    ~snippet_stc() override;

    // Colours the text as the language of that name (a language directory's name, a cloud row's
    // language): its lexer and keywords, in the palette C/C++ uses. C, C++, an empty name and
    // every name the language table does not know get the C/C++ setup every editor starts with.
    void ColourAs(const wxString& language);
    // The name of the language the text is coloured as; empty for the C/C++ setup.
    wxString ColouredAs() const;

    // The whole text, NULs included: the control's own text accessors stop at the first NUL, so a
    // snippet holding one would be cut short when opened or saved.
    wxString SnippetText();
    void SetSnippetText(const wxString& text);
    void AppendSnippetText(const wxString& text);

    snippet_info info;

private:
    void ColourAsCpp();
    // Gives the styles and keyword sets the current colouring set the look of untouched ones.
    void Uncolour();

    const languages::Language* colouring_ = nullptr; // null: the C/C++ setup
};
