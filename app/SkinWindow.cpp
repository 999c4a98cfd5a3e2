#include "app/SkinWindow.h"

#include <X11/Xlib.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>

#include <bit>

namespace {

struct ShowRequest {
    GtkWidget* window;
    bool show;
};

gboolean ApplyShow(gpointer data) {
    auto* request = static_cast<ShowRequest*>(data);
    if (request->show) {
        gtk_widget_show(request->window);
        gtk_window_present(GTK_WINDOW(request->window));
    } else {
        gtk_widget_hide(request->window);
    }
    delete request;
    return G_SOURCE_REMOVE;
}

gboolean QueueDraw(gpointer window) {
    gtk_widget_queue_draw(static_cast<GtkWidget*>(window));
    return G_SOURCE_REMOVE;
}

// Where cr's origin lands on its target, when cr only shifts by whole pixels.
bool WholePixelOrigin(cairo_t* cr, int& x, int& y) {
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    double scaleX = 1, scaleY = 1, offsetX = 0, offsetY = 0;
    cairo_surface_get_device_scale(cairo_get_target(cr), &scaleX, &scaleY);
    cairo_surface_get_device_offset(cairo_get_target(cr), &offsetX, &offsetY);
    const double originX = matrix.x0 + offsetX;
    const double originY = matrix.y0 + offsetY;
    if (matrix.xx != 1 || matrix.yy != 1 || matrix.xy != 0 || matrix.yx != 0 || scaleX != 1 ||
        scaleY != 1 || originX != static_cast<int>(originX) ||
        originY != static_cast<int>(originY)) {
        return false;
    }
    x = static_cast<int>(originX);
    y = static_cast<int>(originY);
    return true;
}

// An X image over ARGB32 pixels, cairo's format, in a visual whose masks are
// cairo's.
XImage ImageOf(const void* pixels, int width, int height, int stride, const Visual& visual) {
    XImage image{};
    image.width = width;
    image.height = height;
    image.format = ZPixmap;
    image.data = static_cast<char*>(const_cast<void*>(pixels));
    // cairo's ARGB32 is a native-endian word; Xlib swaps when the server differs.
    image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = image.byte_order;
    image.bitmap_pad = 32;
    image.depth = 32;
    image.bytes_per_line = stride;
    image.bits_per_pixel = 32;
    image.red_mask = visual.red_mask;
    image.green_mask = visual.green_mask;
    image.blue_mask = visual.blue_mask;
    return image;
}

// Sends the frame, its globe and then its tiles, unchanged into cr's target
// when that is an X drawable of a 32-bit ARGB visual, the frame's own pixel
// format; false when it is not, or the server refused. Painted by cairo, the
// pixels would first be copied into a shared-memory image as large as the
// window, which cairo keeps for the life of the process.
bool PutFrameOnDrawable(cairo_t* cr, const FramePatches& frame) {
    cairo_surface_t* target = cairo_get_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_XLIB ||
        cairo_xlib_surface_get_depth(target) != 32) {
        return false;
    }
    const Visual* visual = cairo_xlib_surface_get_visual(target);
    int x = 0, y = 0;
    if (!visual || visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 ||
        visual->blue_mask != 0xff || !WholePixelOrigin(cr, x, y)) {
        return false;
    }

    Display* display = cairo_xlib_surface_get_display(target);
    const Drawable drawable = cairo_xlib_surface_get_drawable(target);
    GdkDisplay* gdkDisplay = gdk_x11_lookup_xdisplay(display);
    if (!gdkDisplay) return false;
    cairo_surface_flush(target);
    gdk_x11_display_error_trap_push(gdkDisplay);
    const GC gc = XCreateGC(display, drawable, 0, nullptr);
    // Pixel 0 of a 32-bit visual is transparent: the globe's pieces and then
    // the tiles go over a cleared window.
    XSetForeground(display, gc, 0);
    XFillRectangle(display, drawable, gc, x, y, static_cast<unsigned>(frame.Width()),
                   static_cast<unsigned>(frame.Height()));
    bool described = true;
    const auto put = [&](const void* pixels, int left, int top, int width, int height, int stride) {
        XImage image = ImageOf(pixels, width, height, stride, *visual);
        described = described && XInitImage(&image);
        if (described) {
            XPutImage(display, drawable, gc, &image, 0, 0, x + left, y + top,
                      static_cast<unsigned>(width), static_cast<unsigned>(height));
        }
    };
    const auto globe = frame.Base() ? frame.Base()->Decoded() : nullptr;
    if (globe) {
        for (const SkinPicture::Piece& piece : globe->Pieces()) {
            put(piece.pixels.get(), piece.x, piece.y, piece.width, piece.height, piece.width * 4);
        }
    }
    for (const PatchTile& tile : frame.Tiles()) {
        put(tile.pixels.get(), tile.x, tile.y, tile.width, tile.height, kPatchTileSize * 4);
    }
    XFreeGC(display, gc);
    const bool sent = gdk_x11_display_error_trap_pop(gdkDisplay) == 0;
    cairo_surface_mark_dirty(target);
    return described && sent;
}

// Where the picture is more than half opaque, as GDK finds it in a surface.
cairo_region_t* OpaqueRegion(const SkinPicture& picture) {
    cairo_region_t* region = cairo_region_create();
    const auto pixels = picture.Decoded();
    if (!pixels) return region;
    for (const SkinPicture::Piece& piece : pixels->Pieces()) {
        cairo_surface_t* surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(piece.pixels.get()), CAIRO_FORMAT_ARGB32, piece.width,
            piece.height, piece.width * 4);
        cairo_region_t* opaque = gdk_cairo_region_create_from_surface(surface);
        cairo_region_translate(opaque, piece.x, piece.y);
        cairo_region_union(region, opaque);
        cairo_region_destroy(opaque);
        cairo_surface_destroy(surface);
    }
    return region;
}

}  // namespace

void SkinWindow::UseIconForAllWindows(const std::string& png) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (!loader) return;
    const auto* bytes = reinterpret_cast<const guchar*>(png.data());
    if (gdk_pixbuf_loader_write(loader, bytes, png.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        gtk_window_set_default_icon(gdk_pixbuf_loader_get_pixbuf(loader));
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
}

void SkinWindow::Create(int width, int height, const SkinPicture* globe) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(m_window);
    gtk_window_set_title(window, "Quorvane 3D");
    gtk_window_set_decorated(window, FALSE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_skip_taskbar_hint(window, TRUE);
    gtk_window_set_skip_pager_hint(window, TRUE);
    gtk_window_set_default_size(window, width, height);
    gtk_widget_set_size_request(m_window, width, height);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_widget_set_app_paintable(m_window, TRUE);

    GdkScreen* screen = gtk_widget_get_screen(m_window);
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen)) gtk_widget_set_visual(m_window, rgba);

    gtk_widget_add_events(m_window, GDK_BUTTON_PRESS_MASK | GDK_KEY_PRESS_MASK);
    g_signal_connect(m_window, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(m_window, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDeleteEvent), this);

    gtk_widget_realize(m_window);
    if (globe && !gdk_screen_is_composited(screen)) {
        // Without a compositor the alpha is not blended, so cut the window to
        // the opaque part of the globe instead.
        cairo_region_t* region = OpaqueRegion(*globe);
        gtk_widget_shape_combine_region(m_window, region);
        cairo_region_destroy(region);
    }
    gtk_widget_show(m_window);
}

void SkinWindow::Publish(std::shared_ptr<const FramePatches> frame) {
    {
        MutexLock guard(m_frameLock);
        m_frame.swap(frame);
    }
    // The frame it replaced, unless the draw handler still paints it, goes
    // here, outside the lock.
    frame.reset();
    if (m_window) g_idle_add(QueueDraw, m_window);
}

void SkinWindow::PostShow(bool show) {
    if (!m_window) return;
    g_idle_add(ApplyShow, new ShowRequest{m_window, show});
}

gboolean SkinWindow::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
    auto* window = static_cast<SkinWindow*>(self);
    std::shared_ptr<const FramePatches> frame;
    {
        MutexLock guard(window->m_frameLock);
        frame = window->m_frame;
    }
    if (frame) {
        if (!PutFrameOnDrawable(cr, *frame)) frame->Paint(cr);
    } else {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
        cairo_paint(cr);
    }
    return TRUE;
}

gboolean SkinWindow::OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer) {
    if (event->type == GDK_BUTTON_PRESS && event->button == GDK_BUTTON_PRIMARY) {
        gtk_window_begin_move_drag(GTK_WINDOW(widget), static_cast<gint>(event->button),
                                   static_cast<gint>(event->x_root),
                                   static_cast<gint>(event->y_root), event->time);
    }
    return TRUE;
}

gboolean SkinWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
    switch (event->keyval) {
        case GDK_KEY_Escape:
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            return TRUE;
        case GDK_KEY_F4:
            return (event->state & GDK_MOD1_MASK) ? TRUE : FALSE;
        default:
            return FALSE;
    }
}

gboolean SkinWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer) {
    // The window manager's close request is refused: only the launcher ends itself.
    return TRUE;
}
