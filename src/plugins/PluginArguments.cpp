#include "plugins/PluginArguments.h"

#include "app/TextCodec.h"
#include "editor/snippet_info.h"

namespace {
// Texts of the program are always UTF-8-clean; one that is not reaches the plug-in empty.
std::string Utf8(const wxString& text) { return text::ToUtf8(text).value_or(std::string()); }
} // namespace

PluginArguments::PluginArguments(const wxString& user_id, const snippet_info& info,
                                 const wxString& live_text)
    : user_id_(Utf8(user_id)), sid_(Utf8(info.sid)), title_(Utf8(info.title)),
      text_(Utf8(live_text)), uid_(Utf8(info.uid)), language_(Utf8(info.language)),
      is_public_(info.is_public) {}

PluginArguments::PluginArguments(const wxString& user_id) : user_id_(Utf8(user_id)) {}

PluginSnippet PluginArguments::Snippet() const {
    PluginSnippet snippet;
    snippet.sid = sid_.c_str();
    snippet.title = title_.c_str();
    snippet.text = text_.c_str();
    snippet.uid = uid_.c_str();
    snippet.language = language_.c_str();
    snippet.is_public = is_public_ ? 1 : 0;
    return snippet;
}
