#pragma once

#include <wx/bitmap.h>
#include <wx/iconbndl.h>

// Pictures compiled into the program, looked up by resource name (case-insensitively): the
// bitmap "SPLASH" (400 x 200) and the icon "aaaa" (32 x 32 and 16 x 16).
namespace resources {

// The bitmap of that name; an invalid bitmap when there is none.
wxBitmap LoadBitmap(const wxString& name);
// All sizes of the icon of that name; empty when there is none.
wxIconBundle LoadIcon(const wxString& name);

} // namespace resources
