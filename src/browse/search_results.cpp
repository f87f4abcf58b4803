#include "browse/search_results.h"

#include "app/Interface.h"
#include "app/Prompts.h"
#include "browse/SearchTexts.h"
#include "browse/SnippetBrowser.h"
#include "browse/search_results_tree.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/LocalStore.h"
#include "storage/SaveDirectory.h"
#include "storage/Statements.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

wxBEGIN_EVENT_TABLE(search_results, wxPanel)
    EVT_BUTTON(search_results::ID_DOWNLOAD, search_results::OnDownload)
    EVT_CHECKBOX(search_results::ID_FAVOURITE, search_results::OnFavouriteToggled)
wxEND_EVENT_TABLE()

search_results::search_results(wxWindow* parent, Interface* owner, Database* connection,
                               const wxString& statement)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER),
      user_id_(owner->CurrentUserId()), owner_(owner), connection_(connection) {
    editor_ = new snippet_stc(this);
    tree_ = new search_results_tree(this, user_id_, connection_, statement);

    information_ = new wxStaticText(this, wxID_ANY, wxEmptyString);
    download_ = new wxButton(this, ID_DOWNLOAD, "Download");
    download_->Disable();
    information_bar_ = new wxBoxSizer(wxHORIZONTAL);
    // A search the server refused says so where the viewed snippet's details would show.
    if (!tree_->Failure().empty())
        ShowInformation(search_texts::SearchFailedLabel(tree_->Failure()));
    information_bar_->Add(information_, 20, wxALIGN_CENTER_VERTICAL, 2);
    information_bar_->Add(15, 15, 0, 0, 0);
    information_bar_->Add(download_, 0, wxALIGN_CENTER_VERTICAL, 2);
    information_bar_->Add(15, 15, 0, 0, 0);
    if (!user_id_.empty())
        AddFavouriteBox();

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(tree_, 3, wxEXPAND | wxALL, 0);
    column->Add(information_bar_, 1, wxEXPAND | wxALL, 2);
    column->Add(editor_, 5, wxEXPAND | wxALL, 0);
    SetSizer(column);
}

void search_results::AddFavouriteBox() {
    favourite_ = new wxCheckBox(this, ID_FAVOURITE, "Favourited");
    favourite_->Disable();
    information_bar_->Add(favourite_, 0, wxALIGN_CENTER_VERTICAL, 2);
}

void search_results::FollowUser(const wxString& uid) {
    user_id_ = uid;
    tree_->SetUserId(uid);
    if (uid.empty() && favourite_ != nullptr) {
        information_bar_->Detach(favourite_);
        favourite_->Destroy();
        favourite_ = nullptr;
    } else if (!uid.empty()) {
        if (favourite_ == nullptr)
            AddFavouriteBox();
        // Before any view the box stays disabled, as on a new page.
        if (!shown_sid_.empty())
            ShowFavourite(ReadFavourite(shown_sid_));
    }
    Layout();
}

std::optional<bool> search_results::ReadFavourite(const wxString& sid) {
    if (connection_ == nullptr || !statements::IsId(user_id_) || !statements::IsId(sid))
        return std::nullopt;
    bool favourite = false;
    if (!connection_->Select(statements::IsFavourite(sid, user_id_), Fetch::Stored,
                             [&favourite](const DbRow&) {
                                 favourite = true;
                                 return false;
                             }))
        return std::nullopt;
    return favourite;
}

void search_results::ShowContent(const wxString& content) { editor_->SetSnippetText(content); }

void search_results::ShowInformation(const wxString& label) {
    // Titles and languages are other users' texts: an "&" in them is shown, not taken as a
    // mnemonic.
    information_->SetLabelText(label);
    Layout();
}

void search_results::ShowFavourite(std::optional<bool> favourite) {
    if (favourite_ == nullptr)
        return;
    favourite_->SetValue(favourite.value_or(false));
    favourite_->Enable(favourite.has_value());
}

void search_results::SetShownSid(const wxString& sid) {
    shown_sid_ = sid;
    download_->Enable();
}

void search_results::OnDownload(wxCommandEvent&) {
    if (shown_sid_.empty())
        return;
    Prompts& prompts = Prompts::Current();
    const wxString text = editor_->SnippetText();
    bool written = false;
    {
        // The language and title come from somebody else's row: made safe, they name nothing
        // outside the downloads directory. Only the directories this download creates are
        // removed again, and only when they stay empty.
        SaveDirectory downloads(local_store::kDownloads);
        SaveDirectory language(search_texts::DownloadDirectory(tree_->ShownLanguage()));
        if (!language.Problem().empty())
            prompts.ShowMessage(language.Problem(), Prompts::kDefaultCaption);
        const std::optional<wxString> chosen = prompts.AskSaveFile(
            SaveFileRequest{"Save File", language.DialogDirectory(),
                            search_texts::DownloadFileName(tree_->ShownTitle()), "All Files|*.*"});
        if (!chosen)
            return;
        wxString error;
        written = local_store::WriteText(*chosen, text, &error);
        if (!written)
            prompts.ShowMessage("The snippet could not be downloaded to \"" + *chosen + "\":\n" +
                                    error,
                                Prompts::kDefaultCaption);
    }
    // After the empty directories are gone, so that the tree does not show them.
    if (written)
        owner_->Tree()->LoadTree();
}

void search_results::OnFavouriteToggled(wxCommandEvent&) {
    if (favourite_ == nullptr || connection_ == nullptr || !statements::IsId(user_id_) ||
        !statements::IsId(shown_sid_))
        return;
    const bool wanted = favourite_->GetValue();
    if (!connection_->Execute(wanted ? statements::AddFavourite(user_id_, shown_sid_)
                                     : statements::RemoveFavourite(user_id_, shown_sid_))) {
        const wxString error = connection_->LastError();
        const bool unknown = connection_->OutcomeUnknown();
        // A refusal may come from a change made elsewhere meanwhile, and a lost reply leaves the
        // change in doubt: the server tells what holds now, when it can be reached. A statement
        // that never arrived changed nothing.
        std::optional<bool> marked;
        if (unknown || connection_->LastFailure() != Database::Failure::Unreachable)
            marked = ReadFavourite(shown_sid_);
        if (!marked && !unknown)
            marked = !wanted;
        if (marked != wanted) {
            ShowFavourite(marked);
            wxString message = wanted ? "The snippet could not be added to your favourites:\n"
                                      : "The snippet could not be removed from your favourites:\n";
            message += error;
            if (!marked)
                message += "\n\nWhether it is among your favourites cannot be told until the "
                           "cloud can be reached again.";
            Prompts::Current().ShowMessage(message, Prompts::kDefaultCaption);
            return;
        }
    }
    owner_->Tree()->LoadTree();
}
