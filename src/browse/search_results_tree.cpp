#include "browse/search_results_tree.h"

#include "app/TextCodec.h"
#include "browse/SearchTexts.h"
#include "browse/search_results.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/Statements.h"

// The tree control's own handlers stay in the chain, as in the snippet tree.
wxBEGIN_EVENT_TABLE(search_results_tree, wxTreeCtrl)
    EVT_LEFT_DCLICK(search_results_tree::OnResultDoubleClick)
wxEND_EVENT_TABLE()

search_results_tree::search_results_tree(search_results* page, const wxString& user_id,
                                         Database* connection, const wxString& statement)
    : wxTreeCtrl(page, wxID_ANY, wxPoint(5, 66), wxSize(200, 220),
                 wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT),
      user_id_(user_id), page_(page), connection_(connection) {
    LoadResults(statement);
}

search_results_tree::~search_results_tree() = default;

void search_results_tree::LoadResults(const wxString& statement) {
    const wxTreeItemId root = AddRoot("Snippets");
    // A hidden root that is selected would make a double click on the empty area act on it.
    Unselect();
    if (connection_ == nullptr)
        return;
    wxString previous_language;
    wxTreeItemId language_node = root;
    const bool found = connection_->Select(statement, Fetch::Stored, [&](const DbRow& row) {
        NodeRecord& record = records_.emplace_back();
        row.Text(0).swap(record.info.language);
        row.Text(1).swap(record.info.title);
        row.Text(2).swap(record.info.content);
        row.Text(3).swap(record.info.sid);
        if (record.info.language != previous_language) {
            language_node = AppendItem(root, text::Displayable(record.info.language));
            previous_language = record.info.language;
        }
        record.item = AppendItem(language_node, text::Displayable(record.info.title));
        return true;
    });
    if (!found)
        failure_ = connection_->LastError();
}

const search_results_tree::NodeRecord*
search_results_tree::RecordFor(const wxTreeItemId& item) const {
    for (const NodeRecord& record : records_) {
        if (record.item == item)
            return &record;
    }
    return nullptr;
}

void search_results_tree::OnResultDoubleClick(wxMouseEvent&) {
    const wxTreeItemId item = GetSelection();
    if (!item.IsOk())
        return;
    const NodeRecord* record = RecordFor(item);
    if (record == nullptr) {
        // A language node folds and unfolds, as a double click on a branch usually does.
        if (ItemHasChildren(item)) {
            if (IsExpanded(item))
                Collapse(item);
            else
                Expand(item);
        }
        return;
    }
    const wxString& sid = record->info.sid;
    page_->Editor()->ColourAs(record->info.language);
    page_->ShowContent(record->info.content);
    // A download names the text on view after its own row, also when that row is gone since.
    shown_language_ = record->info.language;
    shown_title_ = record->info.title;

    if (connection_ == nullptr || !statements::IsId(sid))
        return;
    const auto details = connection_->FirstRow(statements::SnippetDetails(sid), Fetch::Stored);
    // A snippet deleted since the search: its text shows, the rest of the page is unchanged.
    if (!details || details->size() < 4)
        return;
    const wxString& title = (*details)[0];
    const wxString& language = (*details)[1];
    page_->ShowInformation(
        search_texts::InformationLabel(title, language, (*details)[2], (*details)[3]));
    connection_->Execute(statements::CountView(sid));

    if (!user_id_.empty() && statements::IsId(user_id_))
        page_->ShowFavourite(page_->ReadFavourite(sid));
    page_->SetShownSid(sid);
}
