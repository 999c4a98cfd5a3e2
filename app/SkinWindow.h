// The globe-shaped window on GTK 3: undecorated, off the taskbar, per-pixel
// alpha, moved by dragging anywhere, deaf to Esc, Enter and the window
// manager's close request. It paints the latest published frame and never
// waits for the composing threads.
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>

#include <string>

#include "support/Mutex.h"

class SkinWindow {
public:
    // Main thread, once GTK is up: the icon (PNG bytes) of every window the
    // launcher opens from then on, the globe and the message boxes alike.
    static void UseIconForAllWindows(const std::string& png);

    SkinWindow() = default;
    ~SkinWindow();
    SkinWindow(const SkinWindow&) = delete;
    SkinWindow& operator=(const SkinWindow&) = delete;

    // Main thread. shape, when given, supplies the alpha that cuts the window
    // to the globe on screens without a compositor.
    void Create(int width, int height, cairo_surface_t* shape);
    // Any thread: takes ownership of frame and asks the main thread to paint it.
    void Publish(cairo_surface_t* frame);
    // Any thread: shows or hides the window through the main loop.
    void PostShow(bool show);
    GtkWidget* Widget() const { return m_window; }

private:
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnDeleteEvent(GtkWidget* widget, GdkEvent* event, gpointer self);

    GtkWidget* m_window = nullptr;  // main thread only

    // Guards m_frame: composing threads swap it in, the draw handler takes a
    // reference under it and paints outside it.
    Mutex m_frameLock;
    cairo_surface_t* m_frame GUARDED_BY(m_frameLock) = nullptr;
};
