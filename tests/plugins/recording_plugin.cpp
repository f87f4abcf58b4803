// A plug-in that records every call of its entry point. Built several times: PLUGIN_TAG tells the
// copies apart; PLUGIN_NAME and PLUGIN_SHORTCUT add the optional exports.
#include "RecordingPlugin.h"

#include "corvane_plugin.h"

#include <vector>

namespace {
std::vector<RecordedCall> calls;

std::string Copy(const char* text) { return text ? text : ""; }
} // namespace

CORVANE_PLUGIN_EXPORT void CorvanePluginMain(const char* user_id, PluginSnippet snippet) {
    RecordedCall call;
    call.tag = PLUGIN_TAG;
    call.any_null = !user_id || !snippet.sid || !snippet.title || !snippet.text || !snippet.uid ||
                    !snippet.language;
    call.user_id = Copy(user_id);
    call.sid = Copy(snippet.sid);
    call.title = Copy(snippet.title);
    call.text = Copy(snippet.text);
    call.uid = Copy(snippet.uid);
    call.language = Copy(snippet.language);
    call.is_public = snippet.is_public;
    calls.push_back(call);
}

#ifdef PLUGIN_NAME
CORVANE_PLUGIN_EXPORT const char* CorvanePluginName(void) { return PLUGIN_NAME; }
#endif

#ifdef PLUGIN_SHORTCUT
CORVANE_PLUGIN_EXPORT const char* CorvaneKeyboardShortcut(void) { return PLUGIN_SHORTCUT; }
#endif

extern "C" __attribute__((visibility("default"))) int RecordedCallCount() {
    return static_cast<int>(calls.size());
}

extern "C" __attribute__((visibility("default"))) const RecordedCall* RecordedCallAt(int i) {
    return &calls.at(static_cast<size_t>(i));
}
