/*
 * Corvane plug-in interface.
 *
 * A plug-in is a shared library placed anywhere below the directory ./plugins/ beside the
 * program (its file name must contain ".so"). It adds one command to the program's "Plugins" menu.
 * When the user chooses the command, the program calls CorvanePluginMain on its GUI thread with
 * the logged-in user's id and a copy of the snippet shown in the selected editor.
 *
 * Exports, looked up by these exact names (C linkage, C calling convention):
 *
 *   CorvanePluginMain        required; called each time the command is chosen.
 *   CorvanePluginName        optional; the menu label, asked once when the library is loaded.
 *                            Without it the label is the file's path below ./plugins/ without
 *                            its extension ("tools/upper" for ./plugins/tools/upper.so).
 *   CorvaneKeyboardShortcut  optional; an accelerator in menu notation ("Ctrl-U", "Ctrl-Shift-M",
 *                            "F5"), asked once when the library is loaded.
 *
 * All texts are NUL-terminated UTF-8. The texts passed to CorvanePluginMain stay valid until it
 * returns; copy what you need to keep. The strings returned by the two optional exports are copied
 * at once and never freed: return string literals or storage that the plug-in owns.
 *
 * Libraries are never unloaded while the program runs.
 */
#ifndef CORVANE_PLUGIN_H
#define CORVANE_PLUGIN_H

#ifdef __cplusplus
#define CORVANE_PLUGIN_EXTERN_C extern "C"
#else
#define CORVANE_PLUGIN_EXTERN_C
#endif

/* Put in front of each exported function: C linkage, visible from outside the library. */
#define CORVANE_PLUGIN_EXPORT CORVANE_PLUGIN_EXTERN_C __attribute__((visibility("default")))

#define CORVANE_PLUGIN_MAIN_EXPORT "CorvanePluginMain"
#define CORVANE_PLUGIN_NAME_EXPORT "CorvanePluginName"
#define CORVANE_PLUGIN_SHORTCUT_EXPORT "CorvaneKeyboardShortcut"

/* The snippet of the selected editor. None of the pointers is ever null: a missing value is an
 * empty text. On a page without an editor every text is empty and is_public is 0. */
typedef struct PluginSnippet {
    const char* sid;      /* the snippet's id in the cloud, decimal; empty when not in the cloud */
    const char* title;    /* the title the page was opened or last saved with */
    const char* text;     /* the editor's whole current text, edits included */
    const char* uid;      /* the owner's user id, decimal; empty for editor pages */
    const char* language; /* the language name; empty unless saved to the cloud from this page */
    unsigned char is_public; /* 1 when the snippet is public in the cloud, else 0 */
} PluginSnippet;

/* `user_id` is the logged-in user's id, decimal; empty when nobody is logged in. */
typedef void (*CorvanePluginMainFunction)(const char* user_id, PluginSnippet snippet);
typedef const char* (*CorvanePluginNameFunction)(void);
typedef const char* (*CorvaneKeyboardShortcutFunction)(void);

CORVANE_PLUGIN_EXTERN_C void CorvanePluginMain(const char* user_id, PluginSnippet snippet);
CORVANE_PLUGIN_EXTERN_C const char* CorvanePluginName(void);
CORVANE_PLUGIN_EXTERN_C const char* CorvaneKeyboardShortcut(void);

#endif
