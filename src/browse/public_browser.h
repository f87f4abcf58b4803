#pragma once

#include "editor/panel_with_stc.h"

#include <wx/weakref.h>

class Database;
class Interface;
class snippet_stc;
class wxAuiNotebook;
class wxAuiNotebookEvent;
class wxComboBox;
class wxTextCtrl;

// The public snippet search: language, title words and a maximum on the left, a notebook of
// results pages on the right, one new page for every search. It is a page of the workspace
// without an editor of its own; its editor is that of the selected results page.
class public_browser : public panel_with_stc {
public:
    enum { ID_SEARCH = 10000, ID_RESULTS = 10003 };

    // Reads the language list at once.
    public_browser(wxWindow* parent, Interface* owner, Database* connection);

    // The editor of the selected results page; null before a results page was selected.
    snippet_stc* CurrentResultEditor() const { return currentResultEditor; }

    wxAuiNotebook* Results() const { return results_; }
    wxComboBox* LanguageBox() const { return language_box_; }
    wxTextCtrl* TitleBox() const { return title_box_; }
    wxTextCtrl* MaximumBox() const { return maximum_box_; }

    void OnSearch(wxCommandEvent& event);
    void OnResultPageChanged(wxAuiNotebookEvent& event);

private:
    // Tracks the editor, so that a results page closed by the user leaves no dangling pointer.
    wxWeakRef<snippet_stc> currentResultEditor;
    Interface* owner_;
    wxAuiNotebook* results_ = nullptr;
    wxPanel* column_ = nullptr;
    wxTextCtrl* title_box_ = nullptr;
    wxTextCtrl* maximum_box_ = nullptr;
    wxComboBox* language_box_ = nullptr;
    Database* connection_;

    wxDECLARE_EVENT_TABLE();
};
