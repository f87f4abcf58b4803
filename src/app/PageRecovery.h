#pragma once

#include "storage/RecoveryStore.h"

#include <wx/event.h>
#include <wx/timer.h>

#include <memory>

class Interface;
class panel_with_stc;
class wxAuiNotebookEvent;
class wxStyledTextEvent;

// Keeps the workspace's unsaved pages in the recovery store, so that no typed text is lost: each
// changed page is written about two seconds after the last change (the file work runs off the
// GUI thread) and at quit; the pages come back at the next start; a page closed with unsaved text
// is kept for Reopen Closed Page. It also keeps each tab's unsaved-changes marker up to date.
//
// Restored pages start as tabs without an editor, and each gets its editor and text when it is
// first selected or needed (Load): start-up with many large pages costs about what one costs.
class PageRecovery : public wxEvtHandler {
public:
    static constexpr int kDelayMilliseconds = 2000;

    explicit PageRecovery(Interface& workspace);
    ~PageRecovery() override;

    // Opens the store and the unsaved pages of the last session, saying once what start-up must
    // say (another copy runs here, entries could not be read, the store cannot be used). False
    // when no page was restored.
    bool RestorePages();
    // Writes every page whose text changed since it was last written, and the order of the pages;
    // `at_quit` also writes caret moves and waits until everything is on the disk.
    void WriteNow(bool at_quit);
    // The page's text is now in its file or row: it is no longer unsaved, nor kept.
    void PageSaved(panel_with_stc* page);
    // Brings back the most recently closed page that had unsaved text; false when there is none.
    bool ReopenClosedPage();
    // Gives a restored page that has no editor yet its editor and text. False when its text
    // cannot be read (which is said, and the tab then goes).
    bool Load(panel_with_stc* page);

private:
    void OnModified(wxStyledTextEvent& event);
    void OnSavePoint(wxStyledTextEvent& event);
    void OnPageClose(wxAuiNotebookEvent& event);
    void OnPageChanged(wxAuiNotebookEvent& event);
    // The notebook index of the workspace page whose own editor is `editor`; -1 for any other.
    int PageIndexOf(const wxObject* editor) const;
    // Pages whose text the store keeps: opened or new snippets.
    static bool Kept(const panel_with_stc* page);
    // Queues the page's entry when it changed; its id, or 0 when the page has no unsaved text.
    recovery::EntryId Keep(panel_with_stc* page, size_t index, bool with_caret);
    recovery::PageRecord Snapshot(panel_with_stc* page, size_t index) const;
    // Adds a tab for a kept page, with its editor and text or without (until it is shown); its
    // index.
    size_t AddTab(const recovery::Store::Restored& restored, bool with_text);
    // Builds the page's editor holding the record's text, caret, selection and attributes.
    void Fill(panel_with_stc* page, const recovery::PageRecord& record);
    void ReportWriteFailure();

    Interface& workspace_;
    std::unique_ptr<recovery::Store> store_;
    wxTimer timer_;
    bool failure_reported_ = false;
    bool restoring_ = false;
};
