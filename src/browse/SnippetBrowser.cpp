#include "browse/SnippetBrowser.h"

#include "app/Interface.h"
#include "app/Platform.h"
#include "app/Prompts.h"
#include "app/TextCodec.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/LocalStore.h"
#include "storage/Statements.h"

#include <wx/image.h>
#include <wx/imaglist.h>
#include <wx/menu.h>
#include <wx/settings.h>

// The base is the tree control's table: on this toolkit the tree is drawn and driven by its own
// handlers, which must stay in the chain.
wxBEGIN_EVENT_TABLE(SnippetBrowser, wxTreeCtrl)
    EVT_LEFT_DCLICK(SnippetBrowser::OnTreeDoubleClick)
    EVT_CONTEXT_MENU(SnippetBrowser::OnTreeContextMenu)
    EVT_MENU(SnippetBrowser::ID_OPEN, SnippetBrowser::OnOpen)
    EVT_MENU(SnippetBrowser::ID_DELETE, SnippetBrowser::OnDelete)
    EVT_TREE_ITEM_EXPANDING(wxID_ANY, SnippetBrowser::OnItemExpanding)
wxEND_EVENT_TABLE()

namespace {

// The expander buttons, drawn here as small triangles in the text colour: the theme's own are
// icons drawn from vector files, whose renderer and its libraries, once loaded, stay resident at
// about 8 MB, more than the whole tree of 20,000 snippets takes. Collapsed, then collapsed and
// selected, expanded, expanded and selected, as the control takes them.
wxImageList* ButtonImages(const wxWindow& tree) {
    const wxSize size = tree.FromDIP(wxSize(16, 16));
    auto* images = new wxImageList(size.x, size.y, false, 4);
    // Dimmed text, as the theme draws its expanders, and the selection's text colour.
    const wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);
    const wxColour back = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const auto mix = [&](unsigned char a, unsigned char b) {
        return static_cast<unsigned char>((a * 2 + b) / 3);
    };
    const wxColour colours[] = {wxColour(mix(text.Red(), back.Red()),
                                         mix(text.Green(), back.Green()),
                                         mix(text.Blue(), back.Blue())),
                                wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT)};
    // A triangle pointing right or down, as long as a third of the side and twice as wide; its
    // edges are smoothed by sampling each pixel at 4 x 4 points.
    const double mid = size.x / 2.0, half = size.x * 5.0 / 16.0;
    const auto inside = [&](double along, double across) {
        along -= mid - half / 2;
        across -= mid;
        return along >= 0 && along <= half && across >= -(half - along) && across <= half - along;
    };
    constexpr int kSamples = 4;
    for (const bool expanded : {false, true}) {
        for (const wxColour& colour : colours) {
            wxImage image(size.x, size.y);
            image.InitAlpha();
            for (int y = 0; y < size.y; ++y) {
                for (int x = 0; x < size.x; ++x) {
                    int covered = 0;
                    for (int sy = 0; sy < kSamples; ++sy) {
                        for (int sx = 0; sx < kSamples; ++sx) {
                            const double px = x + (sx + 0.5) / kSamples;
                            const double py = y + (sy + 0.5) / kSamples;
                            covered += expanded ? inside(py, px) : inside(px, py);
                        }
                    }
                    image.SetRGB(x, y, colour.Red(), colour.Green(), colour.Blue());
                    image.SetAlpha(x, y,
                                   static_cast<unsigned char>(covered * wxIMAGE_ALPHA_OPAQUE /
                                                              (kSamples * kSamples)));
                }
            }
            images->Add(wxBitmap(image));
        }
    }
    return images;
}

} // namespace

SnippetBrowser::SnippetBrowser(wxWindow* parent, Interface* owner, int mode)
    : wxTreeCtrl(parent, wxID_ANY, wxPoint(5, 66), wxSize(200, 220),
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT),
      mode_(mode), owner_(owner ? owner : dynamic_cast<Interface*>(parent)) {
    AssignButtonsImageList(ButtonImages(*this));
    LoadTree();
}

SnippetBrowser::~SnippetBrowser() = default;

void SnippetBrowser::LoadTree() {
    Freeze();
    group_nodes_.clear();
    branches_.clear();
    own_.Clear();
    favourites_.Clear();
    listed_for_.clear();
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
    store_.Read(directory);
    branches_[parent.GetID()] = Branch{Source::kStore, StoreListing::kTop, false};
    SetItemHasChildren(parent, store_.ChildCount(StoreListing::kTop) > 0);
    return true;
}

void SnippetBrowser::LoadCloudBranches() {
    Database* db = owner_ ? owner_->Connection() : nullptr;
    const wxString uid = owner_ ? owner_->CurrentUserId() : wxString();
    if (db == nullptr || uid.empty())
        return;
    listed_for_ = uid;
    static const char* const kGroupLabels[] = {"My Cloud", "Private Snippets", "Public Snippets"};
    const wxTreeItemId group = AppendItem(GetRootItem(), kGroupLabels[mode_]);
    group_nodes_.push_back(group);
    AddGrouped(group, statements::ListOwn(uid, mode_), false, false);

    if (mode_ == kMainTree) {
        const wxTreeItemId favourites = AppendItem(GetRootItem(), "Favourites");
        group_nodes_.push_back(favourites);
        AddGrouped(favourites, statements::ListFavourites(uid), true, true);
    }
}

void SnippetBrowser::AddGrouped(const wxTreeItemId& group, const wxString& statement, bool stored,
                                bool favourite) {
    CloudListing& list = favourite ? favourites_ : own_;
    owner_->Connection()->Select(statement, stored ? Fetch::Stored : Fetch::Streamed,
                                 [&list](const DbRow& row) {
                                     list.Add(row.Bytes(0), row.Bytes(1), row.Bytes(2));
                                     return true;
                                 });
    branches_[group.GetID()] =
        Branch{favourite ? Source::kFavourites : Source::kOwn, kWholeList, false};
    SetItemHasChildren(group, list.RowCount() > 0);
}

wxTreeItemId SnippetBrowser::AppendBranch(const wxTreeItemId& parent, const wxString& label,
                                          Branch branch, bool has_children) {
    const wxTreeItemId item = AppendItem(parent, label);
    if (has_children) {
        SetItemHasChildren(item);
        branches_.emplace(item.GetID(), branch);
    }
    return item;
}

void SnippetBrowser::MakeChildren(const wxTreeItemId& item, bool deep) {
    const auto found = item.IsOk() ? branches_.find(item.GetID()) : branches_.end();
    if (found != branches_.end() && !found->second.made) {
        found->second.made = true;
        // A copy: appending branches may move the table's entries.
        const Branch branch = found->second;
        if (branch.source == Source::kStore) {
            const StoreListing& store = store_;
            const StoreListing::Index first = store.FirstChild(branch.index);
            for (StoreListing::Index entry = first; entry < first + store.ChildCount(branch.index);
                 ++entry)
                AppendBranch(item, store.Label(entry), Branch{Source::kStore, entry, false},
                             store.ChildCount(entry) > 0);
        } else {
            const CloudListing& list = branch.source == Source::kOwn ? own_ : favourites_;
            CloudListing::Index first = 0, count = list.LooseRows();
            if (branch.index != kWholeList) {
                first = list.Runs()[branch.index].first_row;
                count = list.Runs()[branch.index].row_count;
            }
            for (CloudListing::Index row = first; row < first + count; ++row)
                AppendItem(item, text::Displayable(list.Title(row)));
            if (branch.index == kWholeList) {
                for (std::uint32_t run = 0; run < list.Runs().size(); ++run)
                    AppendBranch(item, text::Displayable(list.Language(run)),
                                 Branch{branch.source, run, false}, true);
            }
        }
    }
    if (deep) {
        wxTreeItemIdValue cookie;
        for (wxTreeItemId child = wxTreeCtrl::GetFirstChild(item, cookie); child.IsOk();
             child = wxTreeCtrl::GetNextChild(item, cookie))
            MakeChildren(child, true);
    }
}

void SnippetBrowser::OnItemExpanding(wxTreeEvent& event) {
    MakeChildren(event.GetItem());
    event.Skip();
}

// Asking for children is no change of the tree as its users see it: they were there all along.
wxTreeItemId SnippetBrowser::GetFirstChild(const wxTreeItemId& item,
                                           wxTreeItemIdValue& cookie) const {
    const_cast<SnippetBrowser*>(this)->MakeChildren(item);
    return wxTreeCtrl::GetFirstChild(item, cookie);
}

wxTreeItemId SnippetBrowser::GetLastChild(const wxTreeItemId& item) const {
    const_cast<SnippetBrowser*>(this)->MakeChildren(item);
    return wxTreeCtrl::GetLastChild(item);
}

size_t SnippetBrowser::GetChildrenCount(const wxTreeItemId& item, bool recursively) const {
    const_cast<SnippetBrowser*>(this)->MakeChildren(item, recursively);
    return wxTreeCtrl::GetChildrenCount(item, recursively);
}

unsigned int SnippetBrowser::GetCount() const {
    size_t count = group_nodes_.size() + store_.Size() - 1;
    for (const CloudListing* list : {&own_, &favourites_})
        count += list->RowCount() + list->Runs().size();
    return static_cast<unsigned int>(count);
}

void SnippetBrowser::CollapseAll() {
    Freeze();
    CollapseMade(GetRootItem());
    Thaw();
}

void SnippetBrowser::CollapseMade(const wxTreeItemId& item) {
    if (!item.IsOk())
        return;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = wxTreeCtrl::GetFirstChild(item, cookie); child.IsOk();
         child = wxTreeCtrl::GetNextChild(item, cookie))
        CollapseMade(child);
    if (item != GetRootItem())
        Collapse(item);
}

size_t SnippetBrowser::SiblingIndex(const wxTreeItemId& parent, const wxTreeItemId& item) const {
    size_t index = 0;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = wxTreeCtrl::GetFirstChild(parent, cookie);
         child.IsOk() && child != item; child = wxTreeCtrl::GetNextChild(parent, cookie))
        ++index;
    return index;
}

std::optional<SnippetBrowser::NodeRecord>
SnippetBrowser::RecordFor(const wxTreeItemId& item) const {
    if (!item.IsOk() || item == GetRootItem() || branches_.count(item.GetID()) != 0)
        return std::nullopt;
    const auto parent = branches_.find(GetItemParent(item).GetID());
    if (parent == branches_.end() || parent->second.source == Source::kStore)
        return std::nullopt;
    const Branch& branch = parent->second;
    const CloudListing& list = branch.source == Source::kOwn ? own_ : favourites_;
    auto row = static_cast<CloudListing::Index>(SiblingIndex(GetItemParent(item), item));
    NodeRecord record;
    if (branch.index != kWholeList) {
        row += list.Runs()[branch.index].first_row;
        record.info.language = list.Language(branch.index);
    }
    record.info.sid = list.Sid(row);
    record.info.title = list.Title(row);
    record.favourite = branch.source == Source::kFavourites;
    return record;
}

bool SnippetBrowser::ListedForCurrentUser() const {
    return owner_ != nullptr && !listed_for_.empty() && listed_for_ == owner_->CurrentUserId();
}

wxString SnippetBrowser::SelectedSid() const {
    const std::optional<NodeRecord> record = RecordFor(GetSelection());
    return record && ListedForCurrentUser() ? record->info.sid : wxString();
}

std::optional<StoreListing::Index> SnippetBrowser::StoreEntryOf(const wxTreeItemId& item) const {
    if (!item.IsOk() || item == GetRootItem())
        return std::nullopt;
    const auto own = branches_.find(item.GetID());
    if (own != branches_.end()) {
        if (own->second.source != Source::kStore || own->second.index == StoreListing::kTop)
            return std::nullopt;
        return own->second.index;
    }
    const wxTreeItemId parent = GetItemParent(item);
    const auto found = branches_.find(parent.GetID());
    if (found == branches_.end() || found->second.source != Source::kStore)
        return std::nullopt;
    return store_.FirstChild(found->second.index) +
           static_cast<StoreListing::Index>(SiblingIndex(parent, item));
}

std::vector<wxString> SnippetBrowser::NamesFromTop(const wxTreeItemId& item,
                                                   bool file_names) const {
    std::vector<wxString> names;
    for (wxTreeItemId node = item; node.IsOk() && node != GetRootItem();
         node = GetItemParent(node)) {
        const std::optional<StoreListing::Index> entry =
            file_names ? StoreEntryOf(node) : std::nullopt;
        names.insert(names.begin(), entry ? store_.FileName(*entry) : GetItemText(node));
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
    if (!item.IsOk() || ItemHasChildren(item) || IsGroupNode(item) || RecordFor(item))
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

    if (const std::optional<NodeRecord> record = RecordFor(item)) {
        // A row listed for somebody else is never shown, whatever the list still holds.
        if (ListedForCurrentUser())
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
    if (const std::optional<NodeRecord> record = RecordFor(item)) {
        Database* db = owner_->Connection();
        const wxString uid = owner_->CurrentUserId();
        if (db == nullptr || !statements::IsId(uid) || !statements::IsId(record->info.sid) ||
            !ListedForCurrentUser())
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
