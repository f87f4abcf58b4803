#include "clipboard/ClipTextFilter.h"

bool ClipTextFilter::IsSecretHint(std::string_view hint_value) {
    // Some owners send the value with its terminating NUL.
    if (!hint_value.empty() && hint_value.back() == '\0')
        hint_value.remove_suffix(1);
    return hint_value == "secret";
}

bool ClipTextFilter::IsNew(std::string_view text) const {
    return !text.empty() && text != LastText();
}
