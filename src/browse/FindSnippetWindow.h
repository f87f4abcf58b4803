#pragma once

#include "browse/SnippetSearch.h"

#include <wx/dialog.h>
#include <wx/weakref.h>

#include <memory>
#include <vector>

class Interface;
class wxDataViewEvent;
class wxDataViewListCtrl;
class wxStaticText;
class wxTextCtrl;

// The Find Snippet window: a field for the query and the snippets found below it, updated as the
// user types, from the local store and (logged in) the user's cloud snippets and favourites.
// Up and Down move through the results while the field keeps the keyboard, Enter or a double
// click opens the selected snippet as the snippet tree would, Esc closes. Closing only hides the
// window, so it opens again with the last query.
class FindSnippetWindow : public wxDialog {
public:
    enum { ID_QUERY = 6000, ID_RESULTS = 6001 };

    FindSnippetWindow(wxWindow* parent, Interface* workspace);
    ~FindSnippetWindow() override;

    // Shows the window with the keyboard in the field and its text selected, and searches again
    // (the store or the cloud may have changed since).
    void Open();

    wxTextCtrl* QueryField() const { return query_; }
    wxDataViewListCtrl* ResultList() const { return list_; }
    wxStaticText* StatusLine() const { return status_; }
    // The rows in the list, in its order, and the search they came from.
    const std::vector<FoundSnippet>& Rows() const { return rows_; }
    unsigned long long ShownGeneration() const { return shown_; }
    bool ShowsComplete() const { return complete_; }
    // The newest search started.
    unsigned long long Generation() const { return submitted_; }

private:
    void StartSearch();
    void ShowResults(const SnippetSearch::Results& results);
    void OpenRow(int row);
    void MoveSelection(int by);
    void Dismiss();

    void OnQueryText(wxCommandEvent& event);
    void OnQueryEnter(wxCommandEvent& event);
    void OnQueryKey(wxKeyEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnActivated(wxDataViewEvent& event);
    void OnClose(wxCloseEvent& event);

    Interface* workspace_;
    wxTextCtrl* query_ = nullptr;
    wxDataViewListCtrl* list_ = nullptr;
    wxStaticText* status_ = nullptr;
    std::vector<FoundSnippet> rows_;
    // The user whose cloud snippets the last search looked for.
    wxString searched_uid_;
    unsigned long long submitted_ = 0;
    unsigned long long shown_ = 0;
    bool complete_ = false;
    bool prepared_ = false;
    // The user moved the selection since the query changed.
    bool moved_ = false;
    // Where the keyboard was before the window opened; it goes back there on Esc.
    wxWeakRef<wxWindow> previous_focus_;
    // Last: stopped (and its deliveries with it) before the controls go.
    std::unique_ptr<SnippetSearch> search_;

    wxDECLARE_EVENT_TABLE();
};
