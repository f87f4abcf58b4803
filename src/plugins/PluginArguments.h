#pragma once

#include "corvane_plugin.h"

#include <wx/string.h>

#include <string>

struct snippet_info;

// The arguments of one call into a plug-in: UTF-8 copies of the user id and of the snippet's
// fields, alive as long as this object, so a plug-in may use them until its entry point returns.
class PluginArguments {
public:
    // The snippet of an editor: its fields, with the live text in place of the opened content.
    PluginArguments(const wxString& user_id, const snippet_info& info, const wxString& live_text);
    // A page without an editor: every text empty, not public.
    explicit PluginArguments(const wxString& user_id);

    const char* UserId() const { return user_id_.c_str(); }
    PluginSnippet Snippet() const;

    void CallInto(CorvanePluginMainFunction entry) const { entry(UserId(), Snippet()); }

private:
    std::string user_id_;
    std::string sid_;
    std::string title_;
    std::string text_;
    std::string uid_;
    std::string language_;
    bool is_public_ = false;
};
