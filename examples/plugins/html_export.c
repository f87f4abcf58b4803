/* Writes the selected snippet to ./exports/<title>.html: a small stand-alone page with the title
 * and the text in a <pre> block, every character that means something to HTML escaped, to share
 * the snippet on the web or mail it. */
#include "corvane_plugin.h"
#include "export_file.h"

static void write_escaped(FILE* out, const char* text) {
    for (; *text; ++text) {
        switch (*text) {
        case '&':
            fputs("&amp;", out);
            break;
        case '<':
            fputs("&lt;", out);
            break;
        case '>':
            fputs("&gt;", out);
            break;
        case '"':
            fputs("&quot;", out);
            break;
        default:
            fputc(*text, out);
        }
    }
}

CORVANE_PLUGIN_EXPORT const char* CorvanePluginName(void) { return "Export as HTML"; }

CORVANE_PLUGIN_EXPORT void CorvanePluginMain(const char* user_id, PluginSnippet snippet) {
    (void)user_id;
    FILE* out = open_export_file(snippet.title, ".html");
    if (out == NULL)
        return;
    fputs("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>", out);
    write_escaped(out, snippet.title);
    fputs("</title>\n</head>\n<body>\n<h1>", out);
    write_escaped(out, snippet.title);
    fputs("</h1>\n", out);
    if (*snippet.language) {
        fputs("<p>Language: ", out);
        write_escaped(out, snippet.language);
        fputs("</p>\n", out);
    }
    fputs("<pre><code>", out);
    write_escaped(out, snippet.text);
    fputs("</code></pre>\n</body>\n</html>\n", out);
    fclose(out);
}
