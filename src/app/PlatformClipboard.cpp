#include "app/PlatformClipboard.h"

#include "app/TextCodec.h"

#include <gtk/gtk.h>

#include <cstring>
#include <string>

namespace platform {
namespace {

// One read in flight; it owns itself until `done` has been called.
struct ClipboardRead {
    GtkClipboard* clipboard = nullptr;
    GdkAtom extra_target = GDK_NONE;
    bool offers_text = false;
    std::function<bool(std::string_view)> read_text;
    std::function<void(std::optional<wxString>)> done;
};

void Finish(ClipboardRead* read, std::optional<wxString> text = std::nullopt) {
    auto done = std::move(read->done);
    delete read;
    done(std::move(text));
}

void OnText(GtkClipboard*, const gchar* text, gpointer data) {
    auto* read = static_cast<ClipboardRead*>(data);
    if (text == nullptr) {
        Finish(read);
        return;
    }
    Finish(read, text::FromUtf8(std::string_view(text, std::strlen(text))));
}

void ReadText(ClipboardRead* read) {
    if (!read->offers_text) {
        Finish(read);
        return;
    }
    // GTK converts whatever text form the owner offers to UTF-8.
    gtk_clipboard_request_text(read->clipboard, OnText, read);
}

void OnExtraTarget(GtkClipboard*, GtkSelectionData* selection, gpointer data) {
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
    ReadText(read);
}

void OnTargets(GtkClipboard*, GdkAtom* atoms, gint count, gpointer data) {
    auto* read = static_cast<ClipboardRead*>(data);
    if (atoms == nullptr || count <= 0) {
        Finish(read);
        return;
    }
    read->offers_text = gtk_targets_include_text(atoms, count);
    for (gint i = 0; i < count; ++i) {
        if (atoms[i] == read->extra_target) {
            gtk_clipboard_request_contents(read->clipboard, read->extra_target, OnExtraTarget,
                                           read);
            return;
        }
    }
    ReadText(read);
}

} // namespace

void ReadClipboardText(const char* extra_target, std::function<bool(std::string_view)> read_text,
                       std::function<void(std::optional<wxString>)> done) {
    auto* read = new ClipboardRead;
    read->clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    read->extra_target = gdk_atom_intern(extra_target, FALSE);
    read->read_text = std::move(read_text);
    read->done = std::move(done);
    // GTK answers every request exactly once, with nothing when the owner does not reply in time.
    gtk_clipboard_request_targets(read->clipboard, OnTargets, read);
}

} // namespace platform
