#include "app/PlatformWindow.h"

#include <wx/toplevel.h>

#include <gtk/gtk.h>

namespace platform {
namespace {

extern "C" gboolean OnMapped(GtkWidget* widget, GdkEvent*, gpointer) {
    // At the current time, not at the time of the last key press: the X server ignores a focus
    // request older than the last focus change, which the main window may have made since.
    gdk_window_focus(gtk_widget_get_window(widget), GDK_CURRENT_TIME);
    return FALSE;
}

} // namespace

void TakeKeyboardWhenShown(wxTopLevelWindow* window) {
    // The handler goes with the window's widget.
    g_signal_connect(window->GetHandle(), "map-event", G_CALLBACK(OnMapped), nullptr);
}

} // namespace platform
