#pragma once

#include <wx/string.h>

// The attributes of one snippet, as editors, trees, saving, sharing and plug-ins pass it around.
struct snippet_info {
    wxString sid; // decimal id of the cloud row; empty when the snippet is not in the cloud
    wxString title;
    wxString content; // the text the page was opened with (the live text is the editor's)
    wxString uid;     // the owner's id; only a local snippet read for sharing carries it
    wxString language;
    bool is_public = false;
};
