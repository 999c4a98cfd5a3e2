// The globe-shaped window on GTK 3: undecorated, off the taskbar, per-pixel
// alpha, moved by dragging anywhere, deaf to Esc, Enter and the window
// manager's close request. It paints the latest published frame and never
// waits for the composing threads.
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "skin/FramePatches.h"
#include "support/Mutex.h"

class SkinWindow {
public:
    // Main thread, once GTK is up: the icon (PNG bytes) of every window the
    // launcher opens from then on, the globe and the message boxes alike.
    static void UseIconForAllWindows(const std::string& png);

    SkinWindow() = default;
    SkinWindow(const SkinWindow&) = delete;
    SkinWindow& operator=(const SkinWindow&) = delete;

    // Main thread, before any frame is published. globe, when given, is the
    // picture every frame is composed over; on screens without a compositor
    // its alpha cuts the window to the globe.
    void Create(int width, int height, const SkinPicture* globe);
    // Any thread: keeps frame, the window's size, as the one to show and asks
    // the main thread to paint it.
    void Publish(std::shared_ptr<const FramePatches> frame);
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
    std::shared_ptr<const FramePatches> m_frame GUARDED_BY(m_frameLock);
};
