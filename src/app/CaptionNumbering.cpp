#include "app/CaptionNumbering.h"

wxString NumberedCaption(const wxString& title, const std::vector<wxString>& captions) {
    int count = 1;
    for (const wxString& caption : captions) {
        if (caption.StartsWith(title))
            ++count;
    }
    if (count < 2)
        return title;
    return wxString::Format("%s %d", title, count);
}

wxString MarkedCaption(const wxString& caption) { return "*" + caption; }

wxString UnmarkedCaption(const wxString& shown) {
    return shown.StartsWith("*") ? shown.Mid(1) : shown;
}
