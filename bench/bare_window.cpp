// The memory yardstick of the launcher: a bare GTK 3 window of the launcher's
// size and visual (RGBA, undecorated), filled once with cairo. It quits as
// soon as that first frame has reached the X server.
//
//   bare_window     exit 0 after the first frame, 1 without a display
#include <gtk/gtk.h>

namespace {

constexpr int kWidth = 764;
constexpr int kHeight = 915;

gboolean Quit(gpointer) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
}

gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0.1, 0.3, 0.6, 0.9);
    cairo_paint(cr);
    // The frame is pushed to the server at the end of this paint cycle; quit
    // once the cycle is over and the server has taken it.
    static bool quitting = false;
    if (!quitting) {
        quitting = true;
        g_idle_add_full(G_PRIORITY_LOW, Quit, nullptr, nullptr);
    }
    gdk_display_flush(gtk_widget_get_display(widget));
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) return 1;
    GtkWidget* widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(widget);
    gtk_window_set_decorated(window, FALSE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_default_size(window, kWidth, kHeight);
    gtk_widget_set_size_request(widget, kWidth, kHeight);
    gtk_widget_set_app_paintable(widget, TRUE);
    GdkScreen* screen = gtk_widget_get_screen(widget);
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen)) gtk_widget_set_visual(widget, rgba);
    g_signal_connect(widget, "draw", G_CALLBACK(OnDraw), nullptr);
    gtk_widget_show(widget);
    gtk_main();
    gdk_display_sync(gtk_widget_get_display(widget));
    return 0;
}
