// A library with a plug-in name but no entry point: it is not a plug-in, and its name must never
// be asked for.
#include "corvane_plugin.h"

namespace {
int name_calls = 0;
}

CORVANE_PLUGIN_EXPORT const char* CorvanePluginName(void) {
    ++name_calls;
    return "Never Shown";
}

extern "C" __attribute__((visibility("default"))) int NameCalls() { return name_calls; }
