#pragma once

#include "editor/RegexSearch.h"
#include "editor/snippet_stc.h"

#include <wx/dialog.h>
#include <wx/weakref.h>

#include <optional>

class wxBookCtrlEvent;
class wxCheckBox;
class wxNotebook;
class wxTextCtrl;

// The modeless dialog behind Find and Replace: a Find tab (find, count) and a Replace tab (replace,
// replace all, count), each with its own search text and options, acting on one editor through
// the editor component's own text search.
class find_replace_dialog : public wxDialog {
public:
    enum {
        ID_TABS = 5999,
        ID_FIND = 6000,
        ID_COUNT = 6001,
        ID_REPLACE = 6002,
        ID_REPLACE_ALL = 6003,
    };
    static constexpr int kWidth = 380;
    static constexpr int kFindHeight = 150;
    static constexpr int kReplaceHeight = 180;

    // The controls of one tab; `replacement` exists on the Replace tab only.
    struct SearchTab {
        wxTextCtrl* criteria = nullptr;
        wxTextCtrl* replacement = nullptr;
        wxCheckBox* match_case = nullptr;
        wxCheckBox* whole_words = nullptr;
        wxCheckBox* backwards = nullptr;
        wxCheckBox* regular_expressions = nullptr;
    };

    // The dialog is made hidden with its window only; its tabs and controls are built when they
    // are first needed, which keeps them out of the program's start-up.
    explicit find_replace_dialog(wxWindow* parent, bool replace = false);

    // Shows the dialog for `editor` (null when the selected page has none) on the Replace tab or
    // the Find tab, centred on the parent, without blocking it.
    void Open(snippet_stc* editor, bool replace);

    wxNotebook* Tabs();
    const SearchTab& FindTab();
    const SearchTab& ReplaceTab();

    // True while the Replace tab is in view.
    bool replace_mode = false;
    // The editor searched; it clears itself when the editor's page is closed.
    wxWeakRef<snippet_stc> target;

private:
    struct Match {
        int start;
        int end;
    };

    // Builds the tabs and their controls the first time.
    void Build();
    void BuildFindTab(wxWindow* page);
    void BuildReplaceTab(wxWindow* page);
    const SearchTab& TabInView() const;
    int SearchFlags() const;
    // Readies the searches of one button for the tab in view: a regular expression is compiled
    // once, and all its searches together get a number of steps that grows with the text. False,
    // after telling the user, when the expression is not valid.
    bool StartSearches();
    // True, after telling the user, when a regular expression used up its steps.
    bool SearchStopped() const;
    // The first match between `from` and `to` (backwards when `to` < `from`), extending over the
    // text matched by a regular expression, or the search text's length for a plain search.
    std::optional<Match> Search(int from, int to);
    // Selects the next match in the direction the tab in view asks for; the match, if any.
    std::optional<Match> FindNext();

    void SwitchTab(wxBookCtrlEvent& event);
    void FindNextMatch(wxCommandEvent& event);
    void ReplaceNextMatch(wxCommandEvent& event);
    void ReplaceAll(wxCommandEvent& event);
    void CountMatches(wxCommandEvent& event);
    void CloseDialog(wxCommandEvent& event);

    // The regular expression of the button being handled, if it searches for one.
    std::optional<RegexSearch> regex_;
    wxNotebook* tabs_ = nullptr;
    SearchTab find_tab_;
    SearchTab replace_tab_;

    wxDECLARE_EVENT_TABLE();
};
