#include "browse/SnippetBrowser.h"

#include "app/Interface.h"
#include "app/Platform.h"
#include "app/Prompts.h"
#include "app/TextCodec.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/LocalStore.h"
#include "storage/Statements.h"

#include <wx/menu.h>

#include <string>
#include <string_view>

// The base is the tree control's table: on this toolkit the tree is drawn and driven by its own
// handlers, which must stay in the chain.
wxBEGIN_EVENT_TABLE(SnippetBrowser, wxTreeCtrl)
    EVT_LEFT_DCLICK(SnippetBrowser::OnTreeDoubleClick)
    EVT_CONTEXT_MENU(SnippetBrowser::OnTreeContextMenu)
    EVT_MENU(SnippetBrowser::ID_OPEN, SnippetBrowser::OnOpen)
    EVT_MENU(SnippetBrowser::ID_DELETE, SnippetBrowser::OnDelete)
wxEND_EVENT_TABLE()

SnippetBrowser::SnippetBrowser(wxWindow* parent, Interface* owner, int mode)
    : wxTreeCtrl(parent, wxID_ANY, wxPoint(5, 66), wxSize(200, 220),
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT),
      mode_(mode), owner_(owner ? owner : dynamic_cast<Interface*>(parent)) {
    LoadTree();
}

SnippetBrowser::~SnippetBrowser() = default;

void SnippetBrowser::LoadTree() {
    Freeze();
    records_.clear();
    group_nodes_.clear();
    raw_names_.clear();
    DeleteAllItems();
    const wxTreeItemId root = AddRoot("Snippets");
    // The toolkit selects a new root even when it is hidden; a rebuilt tree has nothing
    // selected, so that a double click on its empty area neither opens nor folds anything.
    Unselect();
    if (mode_ != kPublicList) {
        const wxTreeItemId local = AppendItem(root, "Local");
        group_nodes_.push_back(local);
        ScanDirectory(local, local_store::kRoot);
    }
    LoadCloudBranches();
    Thaw();
}

bool SnippetBrowser::ScanDirectory(const wxTreeItemId& parent, const wxString& directory) {
    local_store::Walk(directory, parent,
                      [this](const wxTreeItemId& under, const local_store::Entry& entry) {
                          const wxTreeItemId item = AppendItem(under, entry.label);
                          if (entry.name != entry.label)
                              raw_names_.emplace(item.GetID(), entry.name);
                          return item;
                      });
    return true;
}

void SnippetBrowser::LoadCloudBranches() {
    Database* db = owner_ ? owner_->Connection() : nullptr;
    const wxString uid = owner_ ? owner_->CurrentUserId() : wxString();
    if (db == nullptr || uid.empty())
        return;
    static const char* const kGroupLabels[] = {"My Cloud", "Private Snippets", "Public Snippets"};
    const wxTreeItemId group = AppendItem(GetRootItem(), kGroupLabels[mode_]);
    group_nodes_.push_back(group);
    AddGrouped(group, statements::ListOwn(uid, mode_), uid, false, false);

    if (mode_ == kMainTree) {
        const wxTreeItemId favourites = AppendItem(GetRootItem(), "Favourites");
        group_nodes_.push_back(favourites);
        AddGrouped(favourites, statements::ListFavourites(uid), uid, true, true);
    }
}

void SnippetBrowser::AddGrouped(const wxTreeItemId& group, const wxString& statement,
                                const wxString& uid, bool stored, bool favourite) {
    // Thousands of rows come through here at each rebuild. wxString has no move, so every copy
    // allocates: the record is filled in place, and texts are swapped in rather than assigned.
    wxString previous_language;
    std::string previous_bytes; // the previous row's language as the server sent it
    wxTreeItemId language_node = group;
    const auto add_row = [&](const DbRow& row) {
        // Equal bytes decode to equal text, so only a change of bytes needs decoding to
        // tell whether the language (as text) changed.
        const std::string_view language_bytes = row.Bytes(0);
        if (language_bytes != previous_bytes) {
            previous_bytes.assign(language_bytes);
            wxString language = row.Text(0);
            if (language != previous_language) {
                language_node = AppendItem(group, text::Displayable(language));
                previous_language.swap(language);
            }
        }
        NodeRecord& record = records_.emplace_back();
        row.Text(1).swap(record.info.title);
        row.Text(2).swap(record.info.sid);
        record.info.language = previous_language;
        record.item = AppendItem(language_node, text::Displayable(record.info.title));
        record.favourite = favourite;
        record.user = uid;
        return true;
    };
    owner_->Connection()->Select(statement, stored ? Fetch::Stored : Fetch::Streamed, add_row);
}

const SnippetBrowser::NodeRecord* SnippetBrowser::RecordFor(const wxTreeItemId& item) const {
    for (const NodeRecord& record : records_) {
        if (record.item == item)
            return &record;
    }
    return nullptr;
}

bool SnippetBrowser::ListedForCurrentUser(const NodeRecord& record) const {
    return owner_ != nullptr && !record.user.empty() && record.user == owner_->CurrentUserId();
}

wxString SnippetBrowser::SelectedSid() const {
    const NodeRecord* record = RecordFor(GetSelection());
    return record && ListedForCurrentUser(*record) ? record->info.sid : wxString();
}

std::vector<wxString> SnippetBrowser::NamesFromTop(const wxTreeItemId& item,
                                                   bool file_names) const {
    std::vector<wxString> names;
    for (wxTreeItemId node = item; node.IsOk() && node != GetRootItem();
         node = GetItemParent(node)) {
        const auto raw = file_names ? raw_names_.find(node.GetID()) : raw_names_.end();
        names.insert(names.begin(), raw != raw_names_.end() ? raw->second : GetItemText(node));
    }
    return names;
}

wxString SnippetBrowser::LocalPath(const wxTreeItemId& item) const {
    return local_store::PathFromNames(NamesFromTop(item, true));
}

snippet_info SnippetBrowser::ReadSelectedLocal() const {
    const wxTreeItemId item = GetSelection();
    snippet_info info;
    if (!item.IsOk())
        return info;
    info.title = GetItemText(item);
    // The language is text for the cloud: the label, which is valid UTF-8 even when the
    // directory's name is not.
    info.language = local_store::LanguageFromNames(NamesFromTop(item, false));
    info.content = local_store::ReadText(LocalPath(item)).value_or(wxString());
    info.uid = owner_ ? owner_->CurrentUserId() : wxString();
    return info;
}

std::optional<snippet_info> SnippetBrowser::SelectedLocalSnippet() const {
    const wxTreeItemId item = GetSelection();
    if (!item.IsOk() || ItemHasChildren(item) || IsGroupNode(item) || RecordFor(item) != nullptr)
        return std::nullopt;
    std::optional<wxString> content = local_store::ReadText(LocalPath(item));
    if (!content)
        return std::nullopt;
    snippet_info info;
    info.title = GetItemText(item);
    info.language = local_store::LanguageFromNames(NamesFromTop(item, false));
    info.content.swap(*content);
    info.uid = owner_ ? owner_->CurrentUserId() : wxString();
    return info;
}

bool SnippetBrowser::IsGroupNode(const wxTreeItemId& item) const {
    for (const wxTreeItemId& group : group_nodes_) {
        if (group == item)
            return true;
    }
    return false;
}

void SnippetBrowser::OnTreeDoubleClick(wxMouseEvent&) { OpenItem(GetSelection()); }

void SnippetBrowser::OpenItem(const wxTreeItemId& item) {
    if (!item.IsOk())
        return;
    if (ItemHasChildren(item)) {
        if (IsExpanded(item))
            Collapse(item);
        else
            Expand(item);
        return;
    }
    // A childless group is no file: opening it would open the store's root.
    if (IsGroupNode(item))
        return;

    if (const NodeRecord* record = RecordFor(item)) {
        // A row listed for somebody else is never shown, whatever the list still holds.
        if (ListedForCurrentUser(*record))
            OpenCloud(record->info.sid, record->info.language, !record->favourite);
        return;
    }
    OpenLocal(GetItemText(item), LocalPath(item));
}

void SnippetBrowser::OpenCloud(const wxString& sid, const wxString& language, bool own) {
    Database* db = owner_->Connection();
    if (db == nullptr || !statements::IsId(sid))
        return; // the cloud is gone
    const auto row = db->FirstRow(statements::OpenSnippet(sid), Fetch::Streamed);
    if (!row || row->size() < 4)
        return;
    snippet_info info;
    info.title = (*row)[0];
    info.content = (*row)[1];
    info.sid = (*row)[2];
    info.is_public = (*row)[3].StartsWith("1");
    info.language = language; // colours the page
    if (mode_ == kMainTree) {
        owner_->OpenCloudSnippet(info, own);
    } else if (snippet_stc* editor = owner_->CurrentEditor()) {
        editor->ColourAs(language);
        editor->SetReadOnly(false);
        editor->SetSnippetText(info.content);
        editor->SetReadOnly(true);
    }
}

void SnippetBrowser::OpenLocal(const wxString& title, const wxString& path) {
    if (local_store::IsSpecialFile(path)) {
        Prompts::Current().ShowMessage("\"" + path +
                                           "\" is not a regular file (it is a pipe, a device or a "
                                           "socket), so it was not opened.",
                                       Prompts::kDefaultCaption);
        return;
    }
    if (mode_ == kMainTree) {
        wxString caption = title;
        wxString local_path = path;
        wxString content;
        wxString sid;
        owner_->OpenSnippetPage(caption, local_path, content, sid, false);
    } else if (snippet_stc* editor = owner_->CurrentEditor()) {
        editor->ColourAs(local_store::LanguageOfPath(path));
        editor->SetReadOnly(false);
        editor->SetSnippetText(local_store::ReadText(path).value_or(wxString()));
        editor->SetReadOnly(true);
    }
}

void SnippetBrowser::OnTreeContextMenu(wxContextMenuEvent&) {
    const wxTreeItemId item = GetSelection();
    if (!item.IsOk() || ItemHasChildren(item))
        return;
    wxMenu menu;
    menu.Append(ID_OPEN, "Open");
    menu.Append(ID_DELETE, "Delete");
    PopupMenu(&menu);
}

void SnippetBrowser::OnOpen(wxCommandEvent&) { OpenItem(GetSelection()); }

void SnippetBrowser::OnDelete(wxCommandEvent&) { DeleteItem(GetSelection()); }

void SnippetBrowser::DeleteItem(const wxTreeItemId& item) {
    if (!item.IsOk() || ItemHasChildren(item) || IsGroupNode(item))
        return;
    Prompts& prompts = Prompts::Current();
    const wxString label = GetItemText(item);
    if (const NodeRecord* record = RecordFor(item)) {
        Database* db = owner_->Connection();
        const wxString uid = owner_->CurrentUserId();
        if (db == nullptr || !statements::IsId(uid) || !statements::IsId(record->info.sid) ||
            !ListedForCurrentUser(*record))
            return;
        const wxString question =
            record->favourite
                ? wxString::Format("Remove \"%s\" from your favourites?", label)
                : wxString::Format("Delete the cloud snippet \"%s\"? This cannot be undone.",
                                   label);
        if (!prompts.AskYesNo(question, "Confirm"))
            return;
        const wxString statement = record->favourite
                                       ? statements::RemoveFavourite(uid, record->info.sid)
                                       : statements::DeleteOwnSnippet(record->info.sid, uid);
        if (!db->Execute(statement)) {
            prompts.ShowMessage("The snippet could not be deleted:\n" + db->LastError(),
                                Prompts::kDefaultCaption);
            return;
        }
    } else {
        const wxString path = LocalPath(item);
        if (!prompts.AskYesNo(
                wxString::Format("Delete the local snippet \"%s\" (%s)?", label, path), "Confirm"))
            return;
        wxString error;
        if (!platform::RemoveFileOrEmptyDirectory(path, &error)) {
            prompts.ShowMessage(wxString::Format("\"%s\" could not be deleted:\n%s", path, error),
                                Prompts::kDefaultCaption);
            return;
        }
    }
    LoadTree();
}
