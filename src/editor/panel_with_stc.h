#pragma once

#include "storage/LocalStore.h"

#include <wx/panel.h>

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
};
