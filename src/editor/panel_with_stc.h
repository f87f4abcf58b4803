#pragma once

#include "storage/LocalStore.h"

#include <wx/panel.h>

#include <optional>

class snippet_stc;

// A notebook page: a snippet's editor page, or a form page (login, registration) without editor.
class panel_with_stc : public wxPanel {
public:
    explicit panel_with_stc(wxWindow* parent);

    snippet_stc* stc = nullptr; // the page's editor, a child of the page; null on form pages
    wxString kind; // "", "new-snippet", "login", "register", "manage-shared", "public-browser"
    wxString path; // the local file the page was loaded from or last saved to
    // How that file's bytes were read, so that saving writes them back the same way.
    local_store::Encoding encoding = local_store::Encoding::Utf8;

    // For a page bound to a cloud row: the user it was opened or stored for, whose row it is;
    // nothing for another user's row (a favourite). Save writes over the row only while that user
    // is logged in, so a page left open across a logout or a change of user never writes over a
    // row of somebody else.
    std::optional<wxString> owner;
    // What the page's file (or, for a cloud page, its row's content: the fingerprint only) held
    // when the page last loaded or saved it.
    local_store::FileStamp baseline;
    // Brought back from the recovery store and not saved since: the text is unsaved whatever the
    // editor's undo history says, and Save first checks that the file or row did not change.
    // Such a page has no editor until it is first shown (Interface::LoadedPage).
    bool restored = false;
    // The tab shows the caption behind the unsaved-changes marker.
    bool caption_marked = false;
    // The page's entry in the recovery store (0: none), kept by PageRecovery: whether the text
    // changed since it was written, and the caret and anchor written with it.
    struct RecoveryState {
        unsigned long long entry = 0;
        bool stale = false;
        long long caret = -1;
        long long anchor = -1;
    } recovery;

    // A snippet page (opened or new) whose text differs from what it last loaded or saved.
    bool HasUnsavedText() const;
};
