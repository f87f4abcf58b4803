#include "clipboard/ClipTextFilter.h"

bool ClipTextFilter::IsSecretHint(std::string_view hint_value) {
    // Some owners send the value with its terminating NUL.
    if (!hint_value.empty() && hint_value.back() == '\0')
        hint_value.remove_suffix(1);
    return hint_value == "secret";
}

bool ClipTextFilter::Accept(const wxString& text) {
    if (text.empty() || text == last_text_)
        return false;
    last_text_ = text;
    return true;
}
