#include <gtest/gtest.h>

#include "skin/FramePool.h"
#include "skin/SkinLayout.h"
#include "tests/skin/SkinFixtures.h"

namespace {

void Fill(cairo_surface_t* surface, double red) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, red, 0.5, 0.25, 1.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

int CountOtherThan(cairo_surface_t* surface, uint32_t pixel) {
    int unlike = 0;
    for (int y = 0; y < kSkinHeight; ++y)
        for (int x = 0; x < kSkinWidth; ++x) unlike += PixelAt(surface, x, y) != pixel;
    return unlike;
}

}  // namespace

TEST(FramePoolTest, AFrameLetGoOfIsUsedAgainAndStartsTransparent) {
    cairo_surface_t* first = NewFrameSurface();
    unsigned char* buffer = cairo_image_surface_get_data(first);
    Fill(first, 1.0);
    cairo_surface_destroy(first);

    cairo_surface_t* second = NewFrameSurface();
    EXPECT_EQ(cairo_image_surface_get_data(second), buffer);
    EXPECT_EQ(cairo_image_surface_get_format(second), CAIRO_FORMAT_ARGB32);
    EXPECT_EQ(cairo_image_surface_get_width(second), kSkinWidth);
    EXPECT_EQ(cairo_image_surface_get_height(second), kSkinHeight);
    EXPECT_EQ(CountOtherThan(second, 0), 0);
    cairo_surface_destroy(second);
}

// The window may still be painting the frame a newer one replaced.
TEST(FramePoolTest, AFrameStillReferencedKeepsItsPixels) {
    cairo_surface_t* shown = NewFrameSurface();
    Fill(shown, 1.0);
    const uint32_t shownPixel = PixelAt(shown, 0, 0);
    cairo_surface_t* painting = cairo_surface_reference(shown);
    cairo_surface_destroy(shown);

    cairo_surface_t* next = NewFrameSurface();
    EXPECT_NE(cairo_image_surface_get_data(next), cairo_image_surface_get_data(painting));
    Fill(next, 0.0);
    EXPECT_EQ(CountOtherThan(painting, shownPixel), 0);

    cairo_surface_destroy(painting);
    cairo_surface_destroy(next);
}
