#pragma once

#include "editor/snippet_info.h"

#include <wx/treectrl.h>

#include <vector>

class Database;
class search_results;

// The snippets found by one public search, one node per run of equal languages with the titles
// below. A double click on a title shows that snippet on the page and counts one view.
class search_results_tree : public wxTreeCtrl {
public:
    // Runs the search statement at once and fills the tree with its rows.
    search_results_tree(search_results* page, const wxString& user_id, Database* connection,
                        const wxString& statement);
    ~search_results_tree() override;

    void OnResultDoubleClick(wxMouseEvent& event);

    // Language and title of the snippet last viewed, as its row gave them.
    const wxString& ShownLanguage() const { return shown_language_; }
    const wxString& ShownTitle() const { return shown_title_; }
    // Why the server did not answer the search; empty when it did (with or without rows).
    const wxString& Failure() const { return failure_; }

    // The user whose favourites a view reads (after a login or logout).
    void SetUserId(const wxString& uid) { user_id_ = uid; }

private:
    struct NodeRecord {
        snippet_info info;
        wxTreeItemId item;
    };

    void LoadResults(const wxString& statement);
    const NodeRecord* RecordFor(const wxTreeItemId& item) const;

    wxString shown_language_;
    wxString shown_title_;
    wxString failure_;
    wxString user_id_;
    std::vector<NodeRecord> records_;
    search_results* page_;
    Database* connection_;

    wxDECLARE_EVENT_TABLE();
};
