#include "browse/FindSnippetWindow.h"

#include "app/Interface.h"
#include "app/PlatformWindow.h"
#include "browse/SnippetBrowser.h"
#include "storage/DbSettings.h"
#include "storage/LocalStore.h"

#include <wx/dataview.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <optional>

namespace {

// The text as Pango markup shows it literally.
wxString EscapeMarkup(const wxString& text) {
    wxString escaped;
    for (const wxUniChar c : text) {
        switch (c.GetValue()) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// The line of a content match with the match in bold.
wxString LineMarkup(const LineExcerpt& line) {
    return EscapeMarkup(line.text.Mid(0, line.match_start)) + "<b>" +
           EscapeMarkup(line.text.Mid(line.match_start, line.match_length)) + "</b>" +
           EscapeMarkup(line.text.Mid(line.match_start + line.match_length));
}

bool SameSnippet(const FoundSnippet& a, const FoundSnippet& b) {
    return a.place == b.place && a.path == b.path && a.sid == b.sid;
}

constexpr unsigned long kQueryLength = 256;

// How long a search of the cloud may wait for the server's answer before it is given up.
constexpr unsigned kCloudTimeoutSeconds = 10;

} // namespace

wxBEGIN_EVENT_TABLE(FindSnippetWindow, wxDialog)
    EVT_TEXT(FindSnippetWindow::ID_QUERY, FindSnippetWindow::OnQueryText)
    EVT_TEXT_ENTER(FindSnippetWindow::ID_QUERY, FindSnippetWindow::OnQueryEnter)
    EVT_CHAR_HOOK(FindSnippetWindow::OnCharHook)
    EVT_DATAVIEW_ITEM_ACTIVATED(FindSnippetWindow::ID_RESULTS, FindSnippetWindow::OnActivated)
    EVT_CLOSE(FindSnippetWindow::OnClose)
wxEND_EVENT_TABLE()

FindSnippetWindow::FindSnippetWindow(wxWindow* parent, Interface* workspace)
    : wxDialog(parent, wxID_ANY, "Find Snippet", wxDefaultPosition, wxSize(720, 420),
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      workspace_(workspace) {
    query_ = new wxTextCtrl(this, ID_QUERY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                            wxTE_PROCESS_ENTER);
    query_->SetHint("Words of a title or of a snippet's text");
    // A query is a few words; a pasted page would only make long statements for the server.
    query_->SetMaxLength(kQueryLength);
    query_->Bind(wxEVT_KEY_DOWN, &FindSnippetWindow::OnQueryKey, this);

    list_ = new wxDataViewListCtrl(this, ID_RESULTS, wxDefaultPosition, wxDefaultSize,
                                   wxDV_SINGLE | wxDV_ROW_LINES);
    list_->AppendTextColumn("Where", wxDATAVIEW_CELL_INERT, 90);
    list_->AppendTextColumn("Language", wxDATAVIEW_CELL_INERT, 100);
    list_->AppendTextColumn("Title", wxDATAVIEW_CELL_INERT, 200);
    auto* line = new wxDataViewTextRenderer("string", wxDATAVIEW_CELL_INERT);
    line->EnableMarkup();
    list_->AppendColumn(new wxDataViewColumn("Line", line, 3, 300), "string");

    status_ = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                               wxST_ELLIPSIZE_END | wxST_NO_AUTORESIZE);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(query_, 0, wxEXPAND | wxALL, 5);
    sizer->Add(list_, 1, wxEXPAND | wxLEFT | wxRIGHT, 5);
    sizer->Add(status_, 0, wxEXPAND | wxALL, 5);
    SetSizer(sizer);
    platform::TakeKeyboardWhenShown(this);

    // The program's connection belongs to the window thread; the search asks the server over one
    // of its own, and only when the program could reach the cloud at start-up.
    std::optional<DbSettings> cloud;
    if (workspace_->Connection() != nullptr) {
        cloud = DbSettings::FromBuild();
        cloud->read_write_timeout_seconds = kCloudTimeoutSeconds;
    }
    search_ = std::make_unique<SnippetSearch>(
        local_store::kRoot, std::move(cloud), [this](SnippetSearch::Results results) {
            CallAfter([this, results = std::move(results)] { ShowResults(results); });
        });
}

FindSnippetWindow::~FindSnippetWindow() = default;

void FindSnippetWindow::Open() {
    wxWindow* focus = wxWindow::FindFocus();
    if (focus == nullptr || wxGetTopLevelParent(focus) != this)
        previous_focus_ = focus;
    if (!IsShown()) {
        CentreOnParent();
        Show();
    }
    Raise();
    query_->SetFocus();
    query_->SelectAll();
    if (!prepared_) {
        prepared_ = true;
        search_->Prepare();
    }
    StartSearch();
}

void FindSnippetWindow::StartSearch() {
    moved_ = false;
    searched_uid_ = workspace_->CurrentUserId();
    submitted_ = search_->Search(query_->GetValue(), searched_uid_);
}

void FindSnippetWindow::ShowResults(const SnippetSearch::Results& results) {
    // A search that a newer one replaced shows nothing, however late it comes.
    if (results.generation != submitted_)
        return;
    // A row the user moved to stays selected when more rows come for the same query; otherwise
    // the best row is.
    const int selected = list_->GetSelectedRow();
    std::optional<FoundSnippet> kept;
    if (moved_ && selected != wxNOT_FOUND && static_cast<size_t>(selected) < rows_.size() &&
        shown_ == results.generation)
        kept = rows_[static_cast<size_t>(selected)];

    rows_ = results.rows;
    shown_ = results.generation;
    complete_ = results.Complete();
    list_->Freeze();
    list_->DeleteAllItems();
    int select = rows_.empty() ? wxNOT_FOUND : 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        const FoundSnippet& row = rows_[i];
        wxVector<wxVariant> values;
        values.push_back(PlaceLabel(row.place));
        values.push_back(row.language);
        values.push_back(row.title);
        values.push_back(row.line.text.empty() ? wxString() : LineMarkup(row.line));
        list_->AppendItem(values);
        if (kept && SameSnippet(*kept, row))
            select = static_cast<int>(i);
    }
    if (select != wxNOT_FOUND) {
        list_->SelectRow(static_cast<unsigned>(select));
        list_->EnsureVisible(list_->RowToItem(select));
    }
    list_->Thaw();

    wxString status;
    if (results.cloud_failed) {
        wxString reason = results.cloud_error;
        reason.Replace("\n", " ");
        status = "The cloud could not be searched (" + reason + "); local snippets are shown.";
    } else if (results.cloud_pending) {
        status = "Searching the cloud...";
    } else if (!complete_) {
        status = "Searching...";
    } else if (rows_.empty() && !query_->GetValue().Strip(wxString::both).empty()) {
        status = "No snippet matches.";
    }
    status_->SetLabelText(status);
}

void FindSnippetWindow::MoveSelection(int by) {
    const int count = list_->GetItemCount();
    if (count == 0)
        return;
    const int selected = list_->GetSelectedRow();
    const int row = selected == wxNOT_FOUND ? 0 : std::max(0, std::min(count - 1, selected + by));
    moved_ = true;
    list_->SelectRow(static_cast<unsigned>(row));
    list_->EnsureVisible(list_->RowToItem(row));
}

void FindSnippetWindow::OpenRow(int row) {
    if (row == wxNOT_FOUND || static_cast<size_t>(row) >= rows_.size())
        return;
    // A copy: opening may deliver newer results, which replace the rows.
    const FoundSnippet found = rows_[static_cast<size_t>(row)];
    // Cloud rows found for a user who has logged out since are not opened: they are searched for
    // again, for whoever is logged in now.
    if (found.place != SnippetPlace::Local && searched_uid_ != workspace_->CurrentUserId()) {
        StartSearch();
        return;
    }
    Hide();
    SnippetBrowser* tree = workspace_->Tree();
    if (found.place == SnippetPlace::Local)
        tree->OpenLocal(found.title, found.path);
    else
        tree->OpenCloud(found.sid, found.language, found.place == SnippetPlace::MyCloud);
    workspace_->FocusCurrentEditor();
}

void FindSnippetWindow::Dismiss() {
    Hide();
    if (previous_focus_)
        previous_focus_->SetFocus();
}

void FindSnippetWindow::OnQueryText(wxCommandEvent&) { StartSearch(); }

void FindSnippetWindow::OnQueryEnter(wxCommandEvent&) { OpenRow(list_->GetSelectedRow()); }

void FindSnippetWindow::OnQueryKey(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_UP:
    case WXK_NUMPAD_UP:
        MoveSelection(-1);
        break;
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN:
        MoveSelection(1);
        break;
    case WXK_PAGEUP:
        MoveSelection(-10);
        break;
    case WXK_PAGEDOWN:
        MoveSelection(10);
        break;
    default:
        event.Skip();
    }
}

void FindSnippetWindow::OnCharHook(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE)
        Dismiss();
    else
        event.Skip();
}

void FindSnippetWindow::OnActivated(wxDataViewEvent& event) {
    OpenRow(list_->ItemToRow(event.GetItem()));
}

void FindSnippetWindow::OnClose(wxCloseEvent& event) {
    // Kept for the next time, with its query, unless the program is ending.
    if (event.CanVeto()) {
        event.Veto();
        Dismiss();
    } else {
        Destroy();
    }
}
