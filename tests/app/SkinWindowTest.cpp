// The globe window under the test run's X server (xvfb-run): it shows the
// published frame pixel for pixel, translucent pixels included.
#include <gtest/gtest.h>

// After gtest: Xlib's macros (None, Bool) break its headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>

#include <chrono>
#include <cstdint>
#include <memory>

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

// An opaque picture to compose over: a globe that covers the whole window, so
// that its alpha, which cuts the window without a compositor, cuts nothing.
uint32_t OpaquePixel(int x, int y) {
    return 0xff000000 | PatternPixel(x, y, 7);
}

template <typename PixelOf>
cairo_surface_t* Picture(PixelOf pixelOf) {
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    unsigned char* data = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < kWidth; ++x) row[x] = pixelOf(x, y);
    }
    cairo_surface_mark_dirty(picture);
    return picture;
}

uint32_t PixelOf(cairo_surface_t* picture, int x, int y) {
    return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(picture) +
                                             y * cairo_image_surface_get_stride(picture))[x];
}

// Pixels of the window that differ from expected, as the server holds them;
// -1 while the window cannot be read yet.
long CountUnlike(GtkWidget* widget, cairo_surface_t* expected) {
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
            unlike += static_cast<uint32_t>(XGetPixel(image, x, y)) != PixelOf(expected, x, y);
    XDestroyImage(image);
    return unlike;
}

// Publishes frame, kept against base, runs the main loop until the window
// shows it or the limit passes, and returns the pixels that differ at the end.
long PublishAndCountUnlike(SkinWindow& window, cairo_surface_t* frame,
                           const std::shared_ptr<const SkinPicture>& base) {
    auto patches = std::make_shared<FramePatches>(kWidth, kHeight, base);
    patches->Add(frame, 0);
    window.Publish(std::move(patches));
    const auto deadline = std::chrono::steady_clock::now() + kShowLimit;
    long unlike = -1;
    do {
        while (gtk_events_pending()) gtk_main_iteration();
        unlike = CountUnlike(window.Widget(), frame);
        if (unlike == 0) break;
        g_usleep(20000);
    } while (std::chrono::steady_clock::now() < deadline);
    cairo_surface_destroy(frame);
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

TEST_F(SkinWindowTest, WithoutAGlobeShowsEachPublishedFrameExactly) {
    SkinWindow window;
    window.Create(kWidth, kHeight, nullptr);

    EXPECT_EQ(PublishAndCountUnlike(
                  window, Picture([](int x, int y) { return PatternPixel(x, y, 0); }), nullptr),
              0);
    EXPECT_EQ(PublishAndCountUnlike(
                  window, Picture([](int x, int y) { return PatternPixel(x, y, 101); }), nullptr),
              0);

    gtk_widget_destroy(window.Widget());
}

// The window is given only what differs from the globe, in tiles.
TEST_F(SkinWindowTest, OverAGlobeShowsEachPublishedFrameExactly) {
    cairo_surface_t* globeSurface = Picture(OpaquePixel);
    const auto globe = std::make_shared<const SkinPicture>(globeSurface);
    cairo_surface_destroy(globeSurface);
    SkinWindow window;
    window.Create(kWidth, kHeight, globe.get());

    // Translucent text across tile edges, and the last column and row.
    const auto overlaid = [](int x, int y) {
        const bool text = x >= 20 && x < 90 && y >= 50 && y < 130;
        const bool edge = x == kWidth - 1 || y == kHeight - 1;
        return text || edge ? PatternPixel(x, y, 3) : OpaquePixel(x, y);
    };
    EXPECT_EQ(PublishAndCountUnlike(window, Picture(overlaid), globe), 0);
    EXPECT_EQ(PublishAndCountUnlike(window, Picture(OpaquePixel), globe), 0);

    gtk_widget_destroy(window.Widget());
}
