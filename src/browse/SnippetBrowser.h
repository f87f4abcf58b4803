#pragma once

#include "browse/CloudListing.h"
#include "editor/snippet_info.h"
#include "storage/StoreListing.h"

#include <wx/treectrl.h>

#include <optional>
#include <unordered_map>
#include <vector>

class Interface;

// The tree of snippets: the local store under "Local", the user's cloud snippets grouped by
// language, and (main tree only) the user's favourites. Rebuilt whole by LoadTree.
//
// A rebuild reads the whole store and both lists, but keeps them as bytes (StoreListing,
// CloudListing) and makes the nodes of a branch only when they are first needed: when the branch
// is expanded, or when its children are asked for (GetFirstChild, GetLastChild,
// GetChildrenCount), so that every walk over the tree sees every node. A branch whose nodes are
// not made yet shows its button all the same.
class SnippetBrowser : public wxTreeCtrl {
public:
    enum Mode { kMainTree = 0, kPrivateList = 1, kPublicList = 2 };
    // Popup menu commands.
    enum { ID_OPEN = 1, ID_DELETE = 2 };

    // What the tree holds for a cloud snippet node: the row's sid, title and language (content,
    // uid and public flag stay empty), and whether it is under "Favourites".
    struct NodeRecord {
        snippet_info info;
        bool favourite;
    };

    // Without an owner, the parent (the workspace panel) is the owner.
    SnippetBrowser(wxWindow* parent, Interface* owner = nullptr, int mode = kMainTree);
    ~SnippetBrowser() override;

    void LoadTree();
    bool ScanDirectory(const wxTreeItemId& parent, const wxString& directory);
    void LoadCloudBranches();

    // The record of a cloud snippet node; nothing for any other node.
    std::optional<NodeRecord> RecordFor(const wxTreeItemId& item) const;
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

    // The children of a branch are made before they are handed out.
    wxTreeItemId GetFirstChild(const wxTreeItemId& item, wxTreeItemIdValue& cookie) const override;
    wxTreeItemId GetLastChild(const wxTreeItemId& item) const override;
    size_t GetChildrenCount(const wxTreeItemId& item, bool recursively = true) const override;
    // Every node, made or not.
    unsigned int GetCount() const override;
    // Collapses every branch made so far; the others are collapsed already. (The control's own
    // CollapseAll would make every node first, only to collapse them.)
    void CollapseAll();

    void OnTreeDoubleClick(wxMouseEvent& event);
    void OnTreeContextMenu(wxContextMenuEvent& event);

    int Mode() const { return mode_; }

private:
    // Where a branch node's children come from.
    enum class Source : unsigned char { kStore, kOwn, kFavourites };
    struct Branch {
        Source source;
        // The store's entry; or the list's run, kWholeList for the group node.
        std::uint32_t index;
        bool made; // its child nodes exist
    };
    static constexpr std::uint32_t kWholeList = 0xFFFFFFFF;

    // Appends the rows of a list statement under `group`, one node per run of equal languages.
    void AddGrouped(const wxTreeItemId& group, const wxString& statement, bool stored,
                    bool favourite);
    // Whether the cloud nodes may be acted on: only while the user they were listed for is the one
    // logged in.
    bool ListedForCurrentUser() const;
    // Adds a node that stands for a branch of the store or of a list; its children come later.
    wxTreeItemId AppendBranch(const wxTreeItemId& parent, const wxString& label, Branch branch,
                              bool has_children);
    // Makes the child nodes of `item` unless they exist (and, `deep`, of all below it).
    void MakeChildren(const wxTreeItemId& item, bool deep = false);
    void OnItemExpanding(wxTreeEvent& event);
    // The position of `item` among its parent's children.
    size_t SiblingIndex(const wxTreeItemId& parent, const wxTreeItemId& item) const;
    // The store's entry a node of the Local branch shows; nothing for other nodes and "Local".
    std::optional<StoreListing::Index> StoreEntryOf(const wxTreeItemId& item) const;
    // The labels from the first level below the root down to `item`; with `file_names`, the
    // lossless names that open the files instead of the labels shown.
    std::vector<wxString> NamesFromTop(const wxTreeItemId& item, bool file_names) const;
    bool IsGroupNode(const wxTreeItemId& item) const;
    void CollapseMade(const wxTreeItemId& item);
    void OpenItem(const wxTreeItemId& item);
    void DeleteItem(const wxTreeItemId& item);
    void OnOpen(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);

    int mode_;
    Interface* owner_;
    std::vector<wxTreeItemId> group_nodes_;
    StoreListing store_;
    CloudListing own_;
    CloudListing favourites_;
    // The user the cloud lists were read for; empty when there are none.
    wxString listed_for_;
    // The branch nodes made so far, by their item ids.
    std::unordered_map<void*, Branch> branches_;

    wxDECLARE_EVENT_TABLE();
};
