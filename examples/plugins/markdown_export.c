/* Writes the selected snippet to ./exports/<title>.md as a Markdown section: the title as a
 * heading, the language, and the text in a fenced code block, ready for a README or a wiki. */
#include "corvane_plugin.h"
#include "export_file.h"

/* The longest run of backticks in the text: the fence must be longer. */
static size_t longest_backtick_run(const char* text) {
    size_t longest = 0, run = 0;
    for (; *text; ++text) {
        run = *text == '`' ? run + 1 : 0;
        if (run > longest)
            longest = run;
    }
    return longest;
}

static void write_fence(FILE* out, size_t length) {
    for (size_t i = 0; i < length; ++i)
        fputc('`', out);
}

CORVANE_PLUGIN_EXPORT const char* CorvanePluginName(void) { return "Export as Markdown"; }

CORVANE_PLUGIN_EXPORT const char* CorvaneKeyboardShortcut(void) { return "Ctrl-Shift-M"; }

CORVANE_PLUGIN_EXPORT void CorvanePluginMain(const char* user_id, PluginSnippet snippet) {
    (void)user_id;
    FILE* out = open_export_file(snippet.title, ".md");
    if (out == NULL)
        return;
    size_t fence = longest_backtick_run(snippet.text) + 1;
    if (fence < 3)
        fence = 3;
    fprintf(out, "# %s\n\n", *snippet.title ? snippet.title : "Snippet");
    if (*snippet.language)
        fprintf(out, "Language: %s\n\n", snippet.language);
    write_fence(out, fence);
    fprintf(out, "%s\n", snippet.language);
    fputs(snippet.text, out);
    if (*snippet.text && snippet.text[strlen(snippet.text) - 1] != '\n')
        fputc('\n', out);
    write_fence(out, fence);
    fputc('\n', out);
    fclose(out);
}
