#include "clipboard/ClipTextFilter.h"

bool ClipTextFilter::IsSecretHint(std::string_view hint_value) {
    // Some owners send the value with its terminating NUL.
    if (!hint_value.empty() && hint_value.back() == '\0')
        hint_value.remove_suffix(1);
    return hint_value == "secret";
}

bool ClipTextFilter::IsNew(std::string_view text) const {
    // The log's own copy of the last text is the same without comparing its bytes.
    if (last_text_ && text.data() == last_text_->data() && text.size() == last_text_->size())
        return false;
    return !text.empty() && text != LastText();
}
