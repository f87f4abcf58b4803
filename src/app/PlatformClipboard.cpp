#include "app/PlatformClipboard.h"

#include <gtk/gtk.h>

#include <cstring>
#include <string>

// The clipboard's list of targets (TARGETS) is never asked for: after GTK has received one text
// in pieces (the INCR transfer of any text over a few hundred kilobytes), asking for TARGETS makes
// its next transfer of the same owner fail or stop after the first piece, which would log a cut
// text as a new one. The targets wanted are asked for one by one instead; an owner refuses those
// it does not offer.

namespace platform {
namespace {

// One read in flight; it owns itself until `done` has been called.
struct ClipboardRead {
    GtkClipboard* clipboard = nullptr;
    GdkAtom extra_target = GDK_NONE;
    GdkAtom utf8_target = GDK_NONE;
    std::function<bool(std::string_view)> read_text;
    std::function<void(std::optional<std::string>)> done;
};

void Finish(ClipboardRead* read, std::optional<std::string> text = std::nullopt) {
    auto done = std::move(read->done);
    delete read;
    done(std::move(text));
}

void OnOlderText(GtkClipboard*, const gchar* text, gpointer data) {
    auto* read = static_cast<ClipboardRead*>(data);
    if (text == nullptr) {
        Finish(read);
        return;
    }
    Finish(read, std::string(text, std::strlen(text)));
}

void OnUtf8Text(GtkClipboard* clipboard, GtkSelectionData* selection, gpointer data) {
    auto* read = static_cast<ClipboardRead*>(data);
    if (selection == nullptr || gtk_selection_data_get_length(selection) < 0 ||
        gtk_selection_data_get_data_type(selection) != read->utf8_target) {
        // No UTF-8 text: GTK converts the older text forms, and finds none in an image.
        gtk_clipboard_request_text(clipboard, OnOlderText, read);
        return;
    }
    // The bytes as they came: GTK's own text request would check and copy them again on the GUI
    // thread, a long pause for a text of many megabytes.
    const guchar* bytes = gtk_selection_data_get_data(selection);
    Finish(read, std::string(reinterpret_cast<const char*>(bytes),
                             static_cast<size_t>(gtk_selection_data_get_length(selection))));
}

void OnExtraTarget(GtkClipboard* clipboard, GtkSelectionData* selection, gpointer data) {
    auto* read = static_cast<ClipboardRead*>(data);
    std::string value;
    if (selection != nullptr && gtk_selection_data_get_length(selection) > 0) {
        const guchar* bytes = gtk_selection_data_get_data(selection);
        value.assign(reinterpret_cast<const char*>(bytes),
                     static_cast<size_t>(gtk_selection_data_get_length(selection)));
    }
    if (!read->read_text(value)) {
        Finish(read);
        return;
    }
    gtk_clipboard_request_contents(clipboard, read->utf8_target, OnUtf8Text, read);
}

unsigned long owner_changes = 0;

void OnOwnerChange(GtkClipboard*, GdkEvent*, gpointer) { ++owner_changes; }

} // namespace

void ReadClipboardText(const char* extra_target, std::function<bool(std::string_view)> read_text,
                       std::function<void(std::optional<std::string>)> done) {
    auto* read = new ClipboardRead;
    read->clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    read->extra_target = gdk_atom_intern(extra_target, FALSE);
    read->utf8_target = gdk_atom_intern_static_string("UTF8_STRING");
    read->read_text = std::move(read_text);
    read->done = std::move(done);
    // GTK answers every request exactly once, with nothing when the owner refuses the target or
    // does not reply in time.
    gtk_clipboard_request_contents(read->clipboard, read->extra_target, OnExtraTarget, read);
}

} // namespace platform

namespace platform {

bool ClipboardOwnedHere() {
    // Asks the display itself, not what this program has been told so far. GDK also knows the
    // windows of other programs it has dealt with, as foreign ones.
    GdkWindow* owner = gdk_selection_owner_get(GDK_SELECTION_CLIPBOARD);
    return owner != nullptr && gdk_window_get_window_type(owner) != GDK_WINDOW_FOREIGN;
}

std::optional<unsigned long> ClipboardOwnerChanges() {
    static const bool reported = [] {
        if (!gdk_display_supports_selection_notification(gdk_display_get_default()))
            return false;
        g_signal_connect(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "owner-change",
                         G_CALLBACK(OnOwnerChange), nullptr);
        return true;
    }();
    if (!reported)
        return std::nullopt;
    return owner_changes;
}

} // namespace platform
