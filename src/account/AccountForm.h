#pragma once

#include <wx/string.h>

// What was typed last on the login or registration page. Both pages feed the same values, so
// whatever was typed last on either is what a login or a registration uses.
struct AccountForm {
    wxString user_name;
    wxString password;
    // The state of the last click on a "Remember me" box; it stays until the program ends.
    bool remember_me = false;
};
