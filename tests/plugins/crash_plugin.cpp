// A plug-in that ends the program it runs in, as a faulty one would: it calls exit(3)
// (CRASH_BY_EXIT) or writes through a null pointer. Ctrl-Shift-K runs it.
#include "corvane_plugin.h"

#include <cstdlib>

namespace {
// Read at run time, so that the compiler cannot turn the write into anything else.
int* volatile nowhere = nullptr;
} // namespace

CORVANE_PLUGIN_EXPORT __attribute__((no_sanitize("undefined"))) void
CorvanePluginMain(const char*, PluginSnippet) {
    // Not checked by the sanitizers either: the write must reach the processor and fault.
#ifdef CRASH_BY_EXIT
    std::exit(3);
#else
    *nowhere = 1;
#endif
}

CORVANE_PLUGIN_EXPORT const char* CorvanePluginName(void) { return "Crash"; }

CORVANE_PLUGIN_EXPORT const char* CorvaneKeyboardShortcut(void) { return "Ctrl-Shift-K"; }
