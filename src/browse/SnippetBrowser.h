#pragma once

#include "editor/snippet_info.h"

#include <wx/treectrl.h>

#include <optional>
#include <unordered_map>
#include <vector>

class Interface;

// The tree of snippets: the local store under "Local", the user's cloud snippets grouped by
// language, and (main tree only) the user's favourites. Rebuilt whole by LoadTree.
class SnippetBrowser : public wxTreeCtrl {
public:
    enum Mode { kMainTree = 0, kPrivateList = 1, kPublicList = 2 };
    // Popup menu commands.
    enum { ID_OPEN = 1, ID_DELETE = 2 };

    // Without an owner, the parent (the workspace panel) is the owner.
    SnippetBrowser(wxWindow* parent, Interface* owner = nullptr, int mode = kMainTree);
    ~SnippetBrowser() override;

    void LoadTree();
    bool ScanDirectory(const wxTreeItemId& parent, const wxString& directory);
    void LoadCloudBranches();

    // The sid of the selected cloud snippet; empty when the selection is not one, or was listed
    // for another user than the one logged in now.
    wxString SelectedSid() const;
    // The selected local snippet as a record; empty content when it cannot be read as a file.
    snippet_info ReadSelectedLocal() const;
    // The same, or nothing when the selection is no readable file of the local store (nothing
    // selected, a group, a folder, a cloud snippet, a file gone or unreadable).
    std::optional<snippet_info> SelectedLocalSnippet() const;

    // The local path a node of the Local branch stands for.
    wxString LocalPath(const wxTreeItemId& item) const;

    // Open a snippet as a double click on its node does: a cloud snippet by its sid (asking the
    // server for it again), a local file by its title and path.
    // `own`: the row is the user's own, not one of their favourites.
    void OpenCloud(const wxString& sid, const wxString& language, bool own);
    void OpenLocal(const wxString& title, const wxString& path);

    void OnTreeDoubleClick(wxMouseEvent& event);
    void OnTreeContextMenu(wxContextMenuEvent& event);

    int Mode() const { return mode_; }

private:
    struct NodeRecord {
        snippet_info info;
        wxTreeItemId item;
        bool favourite; // under "Favourites" rather than the user's own group
        wxString user;  // the user whose lists the node came from
    };

    // Appends the rows of a list statement made for `uid` under `group`, one node per run of
    // equal languages.
    void AddGrouped(const wxTreeItemId& group, const wxString& statement, const wxString& uid,
                    bool stored, bool favourite);
    const NodeRecord* RecordFor(const wxTreeItemId& item) const;
    // Whether a record may be acted on: only the logged-in user's own lists are.
    bool ListedForCurrentUser(const NodeRecord& record) const;
    // The labels from the first level below the root down to `item`; with `file_names`, the
    // lossless names that open the files instead of the labels shown.
    std::vector<wxString> NamesFromTop(const wxTreeItemId& item, bool file_names) const;
    bool IsGroupNode(const wxTreeItemId& item) const;
    void OpenItem(const wxTreeItemId& item);
    void DeleteItem(const wxTreeItemId& item);
    void OnOpen(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);

    std::vector<NodeRecord> records_;
    int mode_;
    Interface* owner_;
    std::vector<wxTreeItemId> group_nodes_;
    // File names that are not valid UTF-8 show with U+FFFD; these keep the names that open them.
    std::unordered_map<void*, wxString> raw_names_;

    wxDECLARE_EVENT_TABLE();
};
