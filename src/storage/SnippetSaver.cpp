#include "storage/SnippetSaver.h"

#include "app/Interface.h"
#include "app/Prompts.h"
#include "browse/SnippetBrowser.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"
#include "storage/Database.h"
#include "storage/LocalStore.h"
#include "storage/RecoveryStore.h"
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
    panel_with_stc* page = workspace_.LoadedPage(static_cast<size_t>(index));
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

bool SnippetSaver::WritePage(panel_with_stc* page, const wxString& path) {
    const wxString text = page->stc->SnippetText();
    // A file read as one byte per character is written back that way, so bytes the user did not
    // edit stay as they were; only characters that encoding cannot hold make it UTF-8.
    local_store::Encoding encoding = page->encoding;
    std::optional<std::string> bytes = local_store::Encode(text, encoding);
    const bool encoding_changed = !bytes.has_value();
    if (encoding_changed) {
        encoding = local_store::Encoding::Utf8;
        bytes = local_store::Encode(text, encoding);
    }
    wxString error;
    if (!bytes || !local_store::WriteBytes(path, *bytes, &error)) {
        ReportFailure("The snippet could not be saved to \"" + path + "\".",
                      bytes ? error : wxString("the text holds characters that cannot be stored"));
        return false;
    }
    page->encoding = encoding;
    page->baseline = local_store::StampWritten(path, *bytes).value_or(local_store::FileStamp());
    workspace_.PageSaved(page);
    if (encoding_changed) {
        Prompts::Current().ShowMessage(
            "\"" + path +
                "\" was saved as UTF-8. It held one byte per character, and the text now has "
                "characters that this encoding cannot hold, so the file's encoding changed.",
            Prompts::kDefaultCaption);
    }
    return true;
}

bool SnippetSaver::MayOverwrite(panel_with_stc* page, int index) {
    if (!page->restored)
        return true;
    bool changed = false;
    wxString what;
    if (!page->path.empty()) {
        changed = local_store::ChangedSince(page->path, page->baseline);
        what = "\"" + page->path + "\" changed on disk";
    } else if (Database* db = workspace_.Connection()) {
        const auto row =
            db->FirstRow(statements::OpenSnippet(page->stc->info.sid), Fetch::Streamed);
        if (!row && !db->LastError().empty()) {
            ReportCloudFailure("Whether somebody changed the snippet meanwhile could not be "
                               "checked: " +
                               db->LastError());
            return false;
        }
        // A row that is gone is said by the save itself.
        changed = row && row->size() > 1 &&
                  recovery::ContentFingerprint((*row)[1]) != page->baseline.fingerprint;
        what = "The cloud snippet \"" + page->stc->info.title +
               "\" was changed, here or on another computer,";
    }
    if (!changed)
        return true;
    if (Prompts::Current().AskYesNo(what + " after this page last read or saved it. Saving now "
                                           "would replace those changes with this page's text."
                                           "\n\nOverwrite the changes? Choose No to save the page "
                                           "somewhere else.",
                                    "Confirm"))
        return true;
    workspace_.Notebook()->SetSelection(static_cast<size_t>(index));
    SaveToCloud();
    return false;
}

void SnippetSaver::SaveSnippet(int index) {
    if (index == -1)
        index = workspace_.Notebook()->GetSelection();
    panel_with_stc* page = SavablePage(index);
    if (page == nullptr)
        return;

    if (!page->path.empty()) {
        if (MayOverwrite(page, index))
            WritePage(page, page->path);
        return;
    }

    // A page that is neither new nor bound to a file or a cloud row (a save whose file dialog
    // was cancelled, a row that no longer exists) has nowhere to go yet: ask, like a new one.
    if (page->kind != "new-snippet" && statements::IsId(page->stc->info.sid)) {
        if (page->owner != workspace_.CurrentUserId()) {
            // The page stays bound to the row unless the user chooses another place, so that its
            // owner can still save it after logging in again.
            Prompts::Current().ShowMessage(
                "The cloud snippet of this page is not yours to save over: it is another user's, "
                "or it was opened while somebody else was logged in. Nothing was saved.\n\n"
                "Choose where to save the text now.",
                Prompts::kDefaultCaption);
        } else {
            if (!MayOverwrite(page, index) || UpdateCloudRow(page))
                return;
            // The row is gone: the text goes wherever the user chooses now.
            page->stc->info.sid.clear();
        }
    }

    workspace_.Notebook()->SetSelection(static_cast<size_t>(index));
    SaveToCloud();
}

bool SnippetSaver::UpdateCloudRow(panel_with_stc* page) {
    Database* db = workspace_.Connection();
    if (db == nullptr) {
        ReportCloudFailure("There is no connection to the database.");
        return true;
    }
    const wxString update =
        statements::UpdateContent(*db, page->stc->info.sid, page->stc->SnippetText());
    bool updated = db->Execute(update);
    // When the reply was lost the row may hold the new text or the old one. Setting the content
    // again is harmless either way, and its reply tells which rows exist.
    if (!updated && db->OutcomeUnknown())
        updated = db->Execute(update);
    if (!updated) {
        ReportCloudFailure(db->LastError());
        return true;
    }
    // The server reports only changed rows unless asked, and a save of unchanged text changes
    // none; the rows it matched tell whether the snippet still exists.
    if (db->MatchedRows().value_or(1) > 0) {
        page->baseline.fingerprint = recovery::ContentFingerprint(page->stc->SnippetText());
        workspace_.PageSaved(page);
        return true;
    }
    Prompts::Current().ShowMessage(
        "The cloud snippet of this page no longer exists: it was deleted, here or on another "
        "computer. Nothing was saved.\n\nChoose where to save the text now.",
        Prompts::kDefaultCaption);
    return false;
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
        if (!InsertCloudRow(page, uid, answer))
            page->kind = previous_kind;
        return;
    }

    // A file that could not be written leaves the page new, as it was before the question.
    if (answer.result == cloud_or_local::ID_LOCALLY && !SaveToFile(answer.language, answer.title))
        page->kind = previous_kind;
}

bool SnippetSaver::InsertCloudRow(panel_with_stc* page, const wxString& uid,
                                  const SaveDestinationAnswer& answer) {
    Database* db = workspace_.Connection();
    if (db == nullptr || !statements::IsId(uid)) {
        ReportCloudFailure("There is no connection to the database.");
        return false;
    }
    const wxString content = page->stc->SnippetText();
    const auto find_row = [&] {
        return db->FirstRow(statements::NewSid(*db, uid, answer.title, answer.language, content),
                            Fetch::Stored);
    };
    wxString sid;
    if (db->Execute(statements::InsertSnippet(*db, uid, answer.title, answer.language, content))) {
        // The INSERT's own reply names the row, so the page is bound to it even if the server
        // goes away right after.
        if (db->InsertId() != 0)
            sid = wxString::Format("%llu", db->InsertId());
    } else if (!db->OutcomeUnknown()) {
        ReportCloudFailure(db->LastError());
        return false;
    } else {
        // The reply was lost with the connection: whether the row exists is found out on a
        // fresh one, so that following the advice to save again never makes a second row.
        const wxString lost = db->LastError();
        const auto row = find_row();
        if (!row && !db->LastError().empty()) {
            ReportCloudFailure("The connection broke while saving (" + lost +
                               "), and the cloud cannot be reached to find out whether the "
                               "snippet arrived (" +
                               db->LastError() +
                               "). Look for it under \"My Cloud\" before you save it again.");
            return false;
        }
        if (!row || row->empty()) {
            ReportCloudFailure("The connection broke while saving (" + lost +
                               "), and the snippet did not reach the cloud.");
            return false;
        }
        sid = (*row)[0];
        Prompts::Current().ShowMessage("The connection broke while saving (" + lost +
                                           "), but the snippet did reach the cloud: it is "
                                           "saved, and this page now belongs to it.",
                                       Prompts::kDefaultCaption);
    }

    workspace_.Tree()->LoadTree();
    page->stc->info.title = answer.title;
    page->stc->info.language = answer.language;
    page->stc->ColourAs(answer.language);
    if (sid.empty()) {
        if (const auto row = find_row(); row && !row->empty())
            sid = (*row)[0];
    }
    if (!sid.empty()) {
        page->stc->info.sid = sid;
        page->owner = uid;
    }
    page->baseline.fingerprint = recovery::ContentFingerprint(content);
    workspace_.PageSaved(page);
    return true;
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
        if (language && !language->Problem().empty())
            Prompts::Current().ShowMessage(language->Problem(), Prompts::kDefaultCaption);

        const std::optional<wxString> chosen = Prompts::Current().AskSaveFile(
            SaveFileRequest{"Save File", language ? language->DialogDirectory() : directory,
                            file_name, "All Files|*.*"});
        if (chosen) {
            if (panel_with_stc* page = SelectedSavablePage()) {
                written = WritePage(page, *chosen);
                if (written) {
                    page->path = *chosen;
                    page->stc->ColourAs(local_store::LanguageOfPath(*chosen));
                    page->stc->info.sid.clear();
                    workspace_.SetPageCaption(
                        static_cast<size_t>(workspace_.Notebook()->GetSelection()),
                        wxFileName(*chosen).GetFullName());
                }
            }
        }
    }
    workspace_.Tree()->LoadTree();
    return written;
}
