#include "app/PageRecovery.h"

#include "app/CaptionNumbering.h"
#include "app/Interface.h"
#include "app/Prompts.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/aui/auibook.h>
#include <wx/sizer.h>
#include <wx/weakref.h>

#include <algorithm>

namespace {

wxString SetAsideMessage(size_t count, const wxString& where) {
    if (count == 1) {
        return "An unsaved page kept from the last session could not be read, so it was not "
               "restored. Its file was set aside, unchanged, in \"" +
               where + "\".";
    }
    return wxString::Format("%zu unsaved pages kept from the last session could not be read, so "
                            "they were not restored. Their files were set aside, unchanged, in "
                            "\"%s\".",
                            count, where);
}

} // namespace

PageRecovery::PageRecovery(Interface& workspace) : workspace_(workspace) {
    wxAuiNotebook* notebook = workspace_.Notebook();
    notebook->Bind(wxEVT_STC_MODIFIED, &PageRecovery::OnModified, this);
    notebook->Bind(wxEVT_STC_SAVEPOINTLEFT, &PageRecovery::OnSavePoint, this);
    notebook->Bind(wxEVT_STC_SAVEPOINTREACHED, &PageRecovery::OnSavePoint, this);
    notebook->Bind(wxEVT_AUINOTEBOOK_PAGE_CLOSE, &PageRecovery::OnPageClose, this);
    notebook->Bind(wxEVT_AUINOTEBOOK_PAGE_CHANGED, &PageRecovery::OnPageChanged, this);
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { WriteNow(false); });
}

PageRecovery::~PageRecovery() { timer_.Stop(); }

bool PageRecovery::Kept(const panel_with_stc* page) {
    return page != nullptr && (page->stc != nullptr || page->restored) &&
           (page->kind.empty() || page->kind == "new-snippet");
}

int PageRecovery::PageIndexOf(const wxObject* editor) const {
    wxAuiNotebook* notebook = workspace_.Notebook();
    for (size_t i = 0; i < notebook->GetPageCount(); ++i) {
        const panel_with_stc* page = workspace_.EditorPage(i);
        if (page != nullptr && page->stc != nullptr && page->stc == editor)
            return static_cast<int>(i);
    }
    return -1;
}

void PageRecovery::OnModified(wxStyledTextEvent& event) {
    event.Skip();
    if ((event.GetModificationType() & (wxSTC_MOD_INSERTTEXT | wxSTC_MOD_DELETETEXT)) == 0)
        return;
    const int index = PageIndexOf(event.GetEventObject());
    if (index < 0)
        return;
    workspace_.EditorPage(static_cast<size_t>(index))->recovery.stale = true;
    // Written once the typing pauses, not at every keystroke.
    timer_.StartOnce(kDelayMilliseconds);
}

void PageRecovery::OnSavePoint(wxStyledTextEvent& event) {
    event.Skip();
    const int index = PageIndexOf(event.GetEventObject());
    if (index < 0)
        return;
    workspace_.RefreshCaption(static_cast<size_t>(index));
    // Undone back to the saved text: the page's entry goes at once.
    if (event.GetEventType() == wxEVT_STC_SAVEPOINTREACHED)
        WriteNow(false);
}

void PageRecovery::OnPageClose(wxAuiNotebookEvent& event) {
    event.Skip();
    const int index = event.GetSelection();
    panel_with_stc* page = index < 0 ? nullptr : workspace_.EditorPage(static_cast<size_t>(index));
    if (store_ == nullptr || !Kept(page))
        return;
    const recovery::EntryId id = Keep(page, static_cast<size_t>(index), true);
    if (id == 0)
        return;
    store_->Close(id);
    page->recovery.entry = 0;
}

recovery::PageRecord PageRecovery::Snapshot(panel_with_stc* page, size_t index) const {
    snippet_stc* editor = page->stc;
    recovery::PageRecord record;
    record.caption = workspace_.PageCaption(index);
    record.kind = page->kind;
    record.path = page->path;
    record.owner = page->owner;
    record.sid = editor->info.sid;
    record.title = editor->info.title;
    record.language = editor->info.language;
    record.colouring = editor->ColouredAs();
    record.encoding = page->encoding;
    record.read_only = editor->info.is_public;
    record.caret = editor->GetCurrentPos();
    record.anchor = editor->GetAnchor();
    record.baseline = page->baseline;
    // The document's own bytes, copied once: cheap even for a page of many megabytes.
    record.text.assign(editor->GetCharacterPointer(), static_cast<size_t>(editor->GetLength()));
    return record;
}

recovery::EntryId PageRecovery::Keep(panel_with_stc* page, size_t index, bool with_caret) {
    panel_with_stc::RecoveryState& state = page->recovery;
    if (!page->HasUnsavedText()) {
        state.entry = 0;
        return 0;
    }
    if (page->stc == nullptr)
        return state.entry; // not shown yet: its entry is as it was
    if (state.entry == 0) {
        state.entry = store_->NewId();
        state.stale = true;
    }
    const long long caret = page->stc->GetCurrentPos();
    const long long anchor = page->stc->GetAnchor();
    if (state.stale || (with_caret && (caret != state.caret || anchor != state.anchor))) {
        store_->Put(state.entry, Snapshot(page, index));
        state.stale = false;
        state.caret = caret;
        state.anchor = anchor;
    }
    return state.entry;
}

void PageRecovery::WriteNow(bool at_quit) {
    timer_.Stop();
    if (store_ == nullptr)
        return;
    wxAuiNotebook* notebook = workspace_.Notebook();
    const int selected = notebook->GetSelection();
    std::vector<recovery::EntryId> open;
    recovery::EntryId selected_id = 0;
    for (size_t i = 0; i < notebook->GetPageCount(); ++i) {
        panel_with_stc* page = workspace_.EditorPage(i);
        if (!Kept(page))
            continue;
        if (const recovery::EntryId id = Keep(page, i, at_quit)) {
            open.push_back(id);
            if (static_cast<int>(i) == selected)
                selected_id = id;
        }
    }
    store_->SetOpen(open, selected_id);
    if (at_quit)
        store_->Flush();
    ReportWriteFailure();
}

void PageRecovery::ReportWriteFailure() {
    const std::optional<wxString> error = store_->TakeError();
    if (!error || failure_reported_)
        return;
    // Said once: the next writes are tried all the same, and may well succeed.
    failure_reported_ = true;
    Prompts::Current().ShowMessage("Unsaved pages could not be kept for recovery (" + *error +
                                       "). If the program ends now, their latest text may be "
                                       "lost: save your pages to keep them.",
                                   Prompts::kDefaultCaption);
}

void PageRecovery::PageSaved(panel_with_stc* page) {
    page->restored = false;
    page->stc->SetSavePoint();
    const int index = PageIndexOf(page->stc);
    if (index >= 0)
        workspace_.RefreshCaption(static_cast<size_t>(index));
    WriteNow(false);
}

size_t PageRecovery::AddTab(const recovery::Store::Restored& restored, bool with_text) {
    const recovery::PageRecord& record = restored.record;
    auto* page = new panel_with_stc(workspace_.Notebook());
    page->kind = record.kind;
    page->path = record.path;
    page->owner = record.owner;
    page->encoding = record.encoding;
    page->baseline = record.baseline;
    page->restored = true;
    page->caption_marked = true;
    page->recovery = {restored.id, false, record.caret, record.anchor};
    if (with_text)
        Fill(page, record);
    workspace_.Notebook()->AddPage(page, MarkedCaption(record.caption), false);
    return workspace_.Notebook()->GetPageIndex(page);
}

void PageRecovery::Fill(panel_with_stc* page, const recovery::PageRecord& record) {
    auto* editor = new snippet_stc(page);
    // Before the text arrives, so that it is styled once.
    editor->ColourAs(record.colouring);
    editor->info.sid = record.sid;
    editor->info.title = record.title;
    editor->info.language = record.language;
    // Straight into the document: the bytes are the editor's own, no conversion needed. Without
    // change notices meanwhile, for which the toolkit would convert the whole text once more.
    const int notices = editor->GetModEventMask();
    editor->SetModEventMask(0);
    editor->AppendTextRaw(record.text.data(), static_cast<int>(record.text.size()));
    editor->SetModEventMask(notices);
    // Undo cannot take the restored text away; the page stays unsaved until it is saved.
    editor->EmptyUndoBuffer();
    const long long length = editor->GetLength();
    editor->SetCurrentPos(static_cast<int>(std::clamp(record.caret, 0LL, length)));
    editor->SetAnchor(static_cast<int>(std::clamp(record.anchor, 0LL, length)));
    editor->EnsureCaretVisible();
    // Coloured before the first paint: styled while painting, the lines beyond the painted area
    // would make the control paint the whole page again, many times over for a large page.
    const int last_line = editor->GetFirstVisibleLine() + editor->LinesOnScreen() + 200;
    editor->Colourise(0,
                      editor->GetLineEndPosition(std::min(last_line, editor->GetLineCount() - 1)));
    if (record.read_only) {
        editor->info.is_public = true;
        editor->SetReadOnly(true);
    }
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(editor, 1, wxEXPAND | wxALL, 3);
    page->SetSizer(sizer);
    page->stc = editor;
    page->Layout();
}

bool PageRecovery::Load(panel_with_stc* page) {
    if (page->stc != nullptr || !page->restored || store_ == nullptr)
        return true;
    bool damaged = false;
    const std::optional<recovery::PageRecord> record = store_->Read(page->recovery.entry, &damaged);
    if (record) {
        Fill(page, *record);
        return true;
    }
    // The tab goes once the event that asked for the page is over.
    page->restored = false;
    page->recovery.entry = 0;
    wxWeakRef<panel_with_stc> gone(page);
    CallAfter([this, gone] {
        wxAuiNotebook* notebook = workspace_.Notebook();
        if (gone)
            notebook->DeletePage(notebook->GetPageIndex(gone.get()));
        if (notebook->GetSelection() != wxNOT_FOUND)
            workspace_.LoadedPage(static_cast<size_t>(notebook->GetSelection()));
    });
    Prompts::Current().ShowMessage(SetAsideMessage(1, store_->DamagedDirectory()),
                                   Prompts::kDefaultCaption);
    return false;
}

void PageRecovery::OnPageChanged(wxAuiNotebookEvent& event) {
    event.Skip();
    const int index = event.GetSelection();
    if (!restoring_ && index >= 0) {
        if (panel_with_stc* page = workspace_.EditorPage(static_cast<size_t>(index)))
            Load(page);
    }
}

bool PageRecovery::RestorePages() {
    recovery::Store::Opened opened = recovery::Store::Open();
    store_ = std::move(opened.store);
    wxAuiNotebook* notebook = workspace_.Notebook();
    // The page selected at the end of the last session, else the last one.
    std::optional<size_t> selected;
    std::optional<size_t> last;
    restoring_ = true;
    for (const recovery::Store::Restored& restored : opened.pages) {
        last = AddTab(restored, false);
        if (restored.id == opened.selected)
            selected = last;
        // Tabs without pictures are all as high as the first: the notebook would otherwise measure
        // every tab again for each page added.
        if (*last == 0)
            notebook->SetTabCtrlHeight(notebook->GetTabCtrlHeight());
    }
    // Measured once more, as the notebook measures its tabs from now on.
    if (last)
        notebook->SetTabCtrlHeight(-1);
    restoring_ = false;
    if (!selected)
        selected = last;
    // Only the page in view gets its editor now.
    if (selected) {
        notebook->SetSelection(*selected);
        Load(workspace_.EditorPage(*selected));
    }

    Prompts& prompts = Prompts::Current();
    if (!opened.problem.empty()) {
        prompts.ShowMessage("Unsaved pages cannot be kept for recovery in this folder (" +
                                opened.problem +
                                "). If the program ends, their text is lost: save your pages to "
                                "keep them.",
                            Prompts::kDefaultCaption);
    } else if (opened.another_copy) {
        prompts.ShowMessage(
            "Another copy of Corvane is running in this folder and has the unsaved pages kept "
            "from the last session, so this window starts without them. The unsaved pages of "
            "this window are kept apart from that copy's; they come back the next time Corvane "
            "starts here while no other copy runs.",
            Prompts::kDefaultCaption);
    }
    if (opened.set_aside > 0 && store_ != nullptr)
        prompts.ShowMessage(SetAsideMessage(opened.set_aside, store_->DamagedDirectory()),
                            Prompts::kDefaultCaption);
    return !opened.pages.empty();
}

bool PageRecovery::ReopenClosedPage() {
    if (store_ == nullptr)
        return false;
    bool damaged = false;
    const std::optional<recovery::Store::Restored> restored = store_->Reopen(&damaged);
    if (damaged) {
        Prompts::Current().ShowMessage(
            "The closed page could not be read, so it was not reopened. Its file was set aside, "
            "unchanged, in \"" +
                store_->DamagedDirectory() + "\".",
            Prompts::kDefaultCaption);
    }
    if (!restored)
        return false;
    workspace_.Notebook()->SetSelection(AddTab(*restored, true));
    return true;
}
