/* Owns the clipboard the way a password manager does: a text plus the target
 * x-kde-passwordManagerHint with the value "secret". Prints "ready" once it owns the clipboard and
 * keeps it until another program takes it or it is killed.
 *
 *   secret_clipboard_owner TEXT
 */
#include <gtk/gtk.h>

#include <stdio.h>

enum { TEXT_TARGET, HINT_TARGET };

static const char* text;

static void provide(GtkClipboard* clipboard, GtkSelectionData* selection, guint info,
                    gpointer data) {
    (void)clipboard;
    (void)data;
    if (info == HINT_TARGET)
        gtk_selection_data_set(selection, gdk_atom_intern("x-kde-passwordManagerHint", FALSE), 8,
                               (const guchar*)"secret", 6);
    else
        gtk_selection_data_set_text(selection, text, -1);
}

static void lost(GtkClipboard* clipboard, gpointer data) {
    (void)clipboard;
    (void)data;
    gtk_main_quit();
}

int main(int argc, char** argv) {
    if (argc != 2 || !gtk_init_check(&argc, &argv))
        return 2;
    text = argv[1];
    GtkTargetList* list = gtk_target_list_new(NULL, 0);
    gtk_target_list_add_text_targets(list, TEXT_TARGET);
    gtk_target_list_add(list, gdk_atom_intern("x-kde-passwordManagerHint", FALSE), 0, HINT_TARGET);
    int count = 0;
    GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (!gtk_clipboard_set_with_data(clipboard, targets, (guint)count, provide, lost, NULL))
        return 1;
    printf("ready\n");
    fflush(stdout);
    gtk_main();
    return 0;
}
