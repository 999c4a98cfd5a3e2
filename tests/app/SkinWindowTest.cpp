// The globe window under the test run's X server (xvfb-run): it shows the
// published frame pixel for pixel, translucent pixels included.
#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) break its headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>

#include <chrono>
#include <cstdint>

#include "app/SkinWindow.h"

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 764;
constexpr int kHeight = 915;
constexpr auto kShowLimit = 10s;

// Premultiplied ARGB that differs from pixel to pixel: every alpha from
// transparent to opaque, colours never above their alpha.
uint32_t PatternPixel(int x, int y, uint32_t seed) {
    const uint32_t alpha = (static_cast<uint32_t>(x + 3 * y) + seed) % 256;
    const uint32_t red = (static_cast<uint32_t>(7 * x + y) + seed) % (alpha + 1);
    const uint32_t green = (static_cast<uint32_t>(x + 5 * y)) % (alpha + 1);
    const uint32_t blue = (static_cast<uint32_t>(x * y) + seed) % (alpha + 1);
    return alpha << 24 | red << 16 | green << 8 | blue;
}

cairo_surface_t* PatternFrame(uint32_t seed) {
    cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    unsigned char* data = cairo_image_surface_get_data(frame);
    const int stride = cairo_image_surface_get_stride(frame);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < kWidth; ++x) row[x] = PatternPixel(x, y, seed);
    }
    cairo_surface_mark_dirty(frame);
    return frame;
}

// Pixels of the window that differ from the pattern, as the server holds
// them; -1 while the window cannot be read yet.
long CountUnlike(GtkWidget* widget, uint32_t seed) {
    GdkWindow* window = gtk_widget_get_window(widget);
    if (!window || !gtk_widget_get_mapped(widget)) return -1;
    GdkDisplay* display = gdk_window_get_display(window);
    gdk_x11_display_error_trap_push(display);
    XImage* image = XGetImage(gdk_x11_display_get_xdisplay(display), gdk_x11_window_get_xid(window),
                              0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    const bool failed = gdk_x11_display_error_trap_pop(display) != 0;
    if (failed || !image) return -1;
    long unlike = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            unlike += static_cast<uint32_t>(XGetPixel(image, x, y)) != PatternPixel(x, y, seed);
    XDestroyImage(image);
    return unlike;
}

// Runs the main loop until the window shows the pattern or the limit passes;
// the pixels that differ at the end.
long ShownUnlike(GtkWidget* widget, uint32_t seed) {
    const auto deadline = std::chrono::steady_clock::now() + kShowLimit;
    long unlike = -1;
    do {
        while (gtk_events_pending()) gtk_main_iteration();
        unlike = CountUnlike(widget, seed);
        if (unlike == 0) break;
        g_usleep(20000);
    } while (std::chrono::steady_clock::now() < deadline);
    return unlike;
}

class SkinWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // No accessibility bus in a test session.
        g_setenv("NO_AT_BRIDGE", "1", TRUE);
        s_display =
            gtk_init_check(nullptr, nullptr) && GDK_IS_X11_DISPLAY(gdk_display_get_default());
    }
    void SetUp() override {
        if (!s_display) GTEST_SKIP() << "no X display (run under xvfb-run)";
        GdkScreen* screen = gdk_screen_get_default();
        ASSERT_TRUE(gdk_screen_get_rgba_visual(screen)) << "the X server has no 32-bit visual";
        // XGetImage reads only what is on the screen.
        Display* display = gdk_x11_get_default_xdisplay();
        ASSERT_GE(DisplayWidth(display, DefaultScreen(display)), kWidth);
        ASSERT_GE(DisplayHeight(display, DefaultScreen(display)), kHeight);
    }

    static bool s_display;
};

bool SkinWindowTest::s_display = false;

}  // namespace

TEST_F(SkinWindowTest, ShowsEachPublishedFrameExactly) {
    SkinWindow window;
    window.Create(kWidth, kHeight, nullptr);

    window.Publish(PatternFrame(0));
    EXPECT_EQ(ShownUnlike(window.Widget(), 0), 0);

    window.Publish(PatternFrame(101));
    EXPECT_EQ(ShownUnlike(window.Widget(), 101), 0);

    gtk_widget_destroy(window.Widget());
}
