#include "storage/SnippetSaver.h"

#include "app/Interface.h"
#include "app/Prompts.h"
#include "browse/SnippetBrowser.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/LocalStore.h"
#include "storage/SaveDirectory.h"
#include "storage/Statements.h"
#include "storage/cloud_or_local.h"

#include <wx/aui/auibook.h>
#include <wx/filename.h>

#include <optional>

panel_with_stc* SnippetSaver::SavablePage(int index) const {
    wxAuiNotebook* notebook = workspace_.Notebook();
    if (index < 0 || static_cast<size_t>(index) >= notebook->GetPageCount())
        return nullptr;
    panel_with_stc* page = workspace_.EditorPage(static_cast<size_t>(index));
    if (page == nullptr || page->stc == nullptr)
        return nullptr; // the public search page and the login and registration forms
    return page;
}

panel_with_stc* SnippetSaver::SelectedSavablePage() const {
    return SavablePage(workspace_.Notebook()->GetSelection());
}

void SnippetSaver::ReportFailure(const wxString& what, const wxString& why) const {
    Prompts::Current().ShowMessage(what + "\n\n" + why +
                                       "\n\nThe text is still in its page: you can save it again.",
                                   Prompts::kDefaultCaption);
}

void SnippetSaver::ReportCloudFailure(const wxString& why) const {
    ReportFailure("The snippet could not be saved to the cloud.", why);
}

void SnippetSaver::SaveSnippet(int index) {
    if (index == -1)
        index = workspace_.Notebook()->GetSelection();
    panel_with_stc* page = SavablePage(index);
    if (page == nullptr)
        return;

    if (!page->path.empty()) {
        wxString error;
        if (!local_store::WriteText(page->path, page->stc->SnippetText(), &error))
            ReportFailure("The snippet could not be saved to \"" + page->path + "\".", error);
        return;
    }

    // A page that is neither new nor bound to a file or a cloud row (a save whose file dialog
    // was cancelled, a sid that could not be found) has nowhere to go yet: ask, like a new one.
    const wxString& sid = page->stc->info.sid;
    if (page->kind != "new-snippet" && statements::IsId(sid)) {
        Database* db = workspace_.Connection();
        if (db == nullptr) {
            ReportCloudFailure("There is no connection to the database.");
            return;
        }
        if (!db->Execute(statements::UpdateContent(*db, sid, page->stc->SnippetText())))
            ReportCloudFailure(db->LastError());
        return;
    }

    workspace_.Notebook()->SetSelection(static_cast<size_t>(index));
    SaveToCloud();
}

void SnippetSaver::SaveToCloud() {
    panel_with_stc* page = SelectedSavablePage();
    if (page == nullptr)
        return;
    const wxString uid = workspace_.CurrentUserId();
    const SaveDestinationAnswer answer = Prompts::Current().AskSaveDestination(!uid.empty());
    if (answer.result == cloud_or_local::ID_CANCEL)
        return;

    // A new page stops being new once it has a destination. Other kinds (the shared-snippets
    // page) name their page and stay.
    const wxString previous_kind = page->kind;
    if (page->kind == "new-snippet")
        page->kind.clear();

    if (answer.result == cloud_or_local::ID_MY_CLOUD) {
        Database* db = workspace_.Connection();
        if (db == nullptr || !statements::IsId(uid)) {
            page->kind = previous_kind;
            ReportCloudFailure("There is no connection to the database.");
            return;
        }
        const wxString content = page->stc->SnippetText();
        if (!db->Execute(
                statements::InsertSnippet(*db, uid, answer.title, answer.language, content))) {
            page->kind = previous_kind;
            ReportCloudFailure(db->LastError());
            return;
        }
        workspace_.Tree()->LoadTree();
        page->stc->info.title = answer.title;
        page->stc->info.language = answer.language;
        if (const auto row =
                db->FirstRow(statements::NewSid(*db, uid, answer.title, answer.language, content),
                             Fetch::Stored)) {
            if (!row->empty())
                page->stc->info.sid = (*row)[0];
        }
        return;
    }

    // A file that could not be written leaves the page new, as it was before the question.
    if (answer.result == cloud_or_local::ID_LOCALLY && !SaveToFile(answer.language, answer.title))
        page->kind = previous_kind;
}

bool SnippetSaver::SaveToFile(const wxString& subdirectory, const wxString& file_name) {
    const wxString directory = local_store::LanguageDirectory(subdirectory);
    bool written = true;
    {
        // A language directory made for this save survives only when it then holds a file: a
        // cancelled save leaves none, and a directory that existed before is never removed.
        std::optional<SaveDirectory> language;
        if (!subdirectory.empty())
            language.emplace(directory);

        const std::optional<wxString> chosen = Prompts::Current().AskSaveFile(
            SaveFileRequest{"Save File", directory, file_name, "All Files|*.*"});
        if (chosen) {
            if (panel_with_stc* page = SelectedSavablePage()) {
                wxString error;
                if (local_store::WriteText(*chosen, page->stc->SnippetText(), &error)) {
                    page->path = *chosen;
                    page->stc->info.sid.clear();
                    wxAuiNotebook* notebook = workspace_.Notebook();
                    notebook->SetPageText(static_cast<size_t>(notebook->GetSelection()),
                                          wxFileName(*chosen).GetFullName());
                } else {
                    written = false;
                    ReportFailure("The snippet could not be saved to \"" + *chosen + "\".", error);
                }
            }
        }
    }
    workspace_.Tree()->LoadTree();
    return written;
}
