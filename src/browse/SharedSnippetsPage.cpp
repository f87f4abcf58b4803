#include "browse/SharedSnippetsPage.h"

#include "app/Interface.h"
#include "app/Prompts.h"
#include "browse/SnippetBrowser.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/Statements.h"

#include <wx/button.h>
#include <wx/sizer.h>

#include <optional>

namespace {

// Why a share failed, as far as it can be told; `in_doubt` when a statement may have been applied.
wxString NotShared(const Database& db, bool in_doubt) {
    if (in_doubt || db.OutcomeUnknown())
        return "The connection to the cloud broke while the snippet was being shared, so it may or "
               "may not have been published. Look for it in the list on the right once the cloud "
               "can be reached again.";
    switch (db.LastFailure()) {
    case Database::Failure::Unreachable:
        return "The snippet was not shared: the cloud cannot be reached. Please try again later.";
    case Database::Failure::ValueTooLong:
        return "The snippet was not shared: its title or language is longer than the cloud "
               "accepts.\n" +
               db.LastError();
    default:
        return "The snippet was not shared:\n" + db.LastError();
    }
}

} // namespace

SharedSnippetsPage::SharedSnippetsPage(wxWindow* parent, Interface* owner)
    : panel_with_stc(parent), owner_(owner) {
    kind = "manage-shared";
    stc = new snippet_stc(this);
    SetBackgroundColour(wxColour(255, 255, 255, 255));
    left_ = new SnippetBrowser(this, owner, SnippetBrowser::kPrivateList);
    right_ = new SnippetBrowser(this, owner, SnippetBrowser::kPublicList);
    arrow_ = new wxButton(this, ID_SHARE, "---|>", wxDefaultPosition, wxDefaultSize, 0);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(left_, 3, wxEXPAND | wxALL, 0);
    row->Add(arrow_, 1, wxALIGN_CENTER_VERTICAL, 0);
    row->Add(right_, 3, wxEXPAND | wxALL, 0);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(row, 3, wxEXPAND | wxALL, 0);
    column->Add(stc, 5, wxEXPAND | wxALL, 3);
    SetSizer(column);
}

void SharedSnippetsPage::ShareSelected() {
    Prompts& prompts = Prompts::Current();
    Database* db = owner_->Connection();
    const wxString uid = owner_->CurrentUserId();
    // A public row without an owner would belong to nobody.
    if (db == nullptr || !statements::IsId(uid)) {
        prompts.ShowMessage("Log in to share a snippet: it is published under your account.",
                            Prompts::kDefaultCaption);
        return;
    }

    const wxString sid = left_->SelectedSid();
    std::optional<snippet_info> local;
    if (sid.empty()) {
        local = left_->SelectedLocalSnippet();
        if (!local) {
            prompts.ShowMessage("Select a snippet to share in the list on the left: one of your "
                                "private snippets, or a local snippet file that can be read.",
                                Prompts::kDefaultCaption);
            return;
        }
    }

    if (!prompts.AskYesNo("Are you sure you wish to share this snippet?\n\nThis action cannot be "
                          "reversed.",
                          "Confirm"))
        return;

    const wxString statement = !sid.empty() ? statements::ShareExisting(sid)
                                            : statements::ShareNew(*db, uid, local->title,
                                                                   local->language, local->content);
    bool shared = db->Execute(statement);
    const bool in_doubt = !shared && db->OutcomeUnknown();
    // Publishing a row again is harmless, so a reply lost with the connection is asked for again.
    if (in_doubt && !sid.empty())
        shared = db->Execute(statement);
    if (!shared) {
        prompts.ShowMessage(NotShared(*db, in_doubt), Prompts::kDefaultCaption);
        return;
    }
    left_->LoadTree();
    right_->LoadTree();
}

void SharedSnippetsPage::FollowUser() {
    left_->LoadTree();
    right_->LoadTree();
    const bool read_only = stc->GetReadOnly();
    stc->SetReadOnly(false);
    stc->SetSnippetText(wxString());
    // Undo must not bring the text back either.
    stc->EmptyUndoBuffer();
    stc->SetReadOnly(read_only);
}
