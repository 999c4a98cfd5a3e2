#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "skin/SkinPicture.h"
#include "tests/skin/SkinFixtures.h"

namespace {

// An odd size, so that the last band of rows is cut short.
constexpr int kWidth = 53;
constexpr int kHeight = 4 * kPictureBandRows + 3;

// Translucent and opaque pixels in a shape with transparent margins and a
// transparent band of rows across the middle.
uint32_t ShapePixel(int x, int y) {
    const bool inside =
        x >= 5 + y / 4 && x < kWidth - 7 && (y < kPictureBandRows || y >= 2 * kPictureBandRows + 1);
    if (!inside) return 0;
    const uint32_t alpha = (static_cast<uint32_t>(x * 7 + y * 3) % 255) + 1;
    return alpha << 24 | (alpha * 3 / 4) << 16 | (alpha / 2) << 8 | (alpha / 5);
}

cairo_surface_t* ShapeSurface(cairo_format_t format = CAIRO_FORMAT_ARGB32) {
    cairo_surface_t* surface = cairo_image_surface_create(format, kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface) +
                                                y * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < kWidth; ++x) row[x] = ShapePixel(x, y);
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

cairo_surface_t* Canvas(int width, int height) {
    cairo_surface_t* canvas = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(canvas);
    cairo_set_source_rgba(cr, 0.3, 0.6, 0.2, 0.7);
    cairo_paint(cr);
    cairo_destroy(cr);
    return canvas;
}

// The surface as PNG bytes.
GBytes* PngOf(cairo_surface_t* surface) {
    std::string png;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    return g_bytes_new(png.data(), png.size());
}

}  // namespace

TEST(SkinPictureTest, KeepsEveryPixelAndOnlyTheBandsThatHoldAny) {
    cairo_surface_t* surface = ShapeSurface();
    const SkinPicture picture(surface);
    EXPECT_EQ(picture.Width(), kWidth);
    EXPECT_EQ(picture.Height(), kHeight);

    // Read back row by row, from outside the picture on both sides.
    std::vector<uint32_t> row(kWidth + 20);
    for (int y = -1; y <= kHeight; ++y) {
        picture.ReadRow(y, -10, kWidth + 20, row.data());
        for (int x = -10; x < kWidth + 10; ++x) {
            const bool inside = x >= 0 && x < kWidth && y >= 0 && y < kHeight;
            ASSERT_EQ(row[x + 10], inside ? ShapePixel(x, y) : 0u) << x << "," << y;
        }
    }
    // The empty band in the middle has no piece; the others are cut to their ink.
    const auto pixels = picture.Decoded();
    ASSERT_EQ(pixels->Pieces().size(), 4u);
    for (const SkinPicture::Piece& piece : pixels->Pieces()) {
        EXPECT_NE(piece.y, kPictureBandRows);
        EXPECT_EQ(piece.x, 5 + piece.y / 4);
        EXPECT_EQ(piece.x + piece.width, kWidth - 7);
    }
    EXPECT_EQ(pixels->Pieces().back().height, 3);
    cairo_surface_destroy(surface);
}

TEST(SkinPictureTest, APictureWithoutAlphaIsOpaque) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 9, 9);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    const SkinPicture picture(surface);
    uint32_t pixel = 0;
    picture.ReadRow(4, 4, 1, &pixel);
    EXPECT_EQ(pixel, 0xffff0000u);
    cairo_surface_destroy(surface);
}

// Drawn piece by piece, the picture gives what cairo gives for the whole
// surface, cut to the same width, over a translucent background.
TEST(SkinPictureTest, DrawsOverLikeTheWholeSurface) {
    cairo_surface_t* surface = ShapeSurface();
    const SkinPicture picture(surface);
    for (int visibleWidth : {kWidth, 30, 6, 0}) {
        SCOPED_TRACE(visibleWidth);
        cairo_surface_t* expected = Canvas(kWidth + 20, kHeight + 20);
        cairo_t* cr = cairo_create(expected);
        cairo_rectangle(cr, 11, 7, visibleWidth, kHeight);
        cairo_set_source_surface(cr, surface, 11, 7);
        cairo_fill(cr);
        cairo_destroy(cr);

        cairo_surface_t* drawn = Canvas(kWidth + 20, kHeight + 20);
        cr = cairo_create(drawn);
        picture.DrawOver(cr, 11, 7, visibleWidth, 0, kHeight + 20);
        cairo_destroy(cr);
        EXPECT_EQ(CountUnlike(drawn, expected), 0);

        cairo_surface_destroy(drawn);
        cairo_surface_destroy(expected);
    }
    cairo_surface_destroy(surface);
}

TEST(SkinPictureTest, DrawsOnlyThePiecesThatMeetTheRowsAsked) {
    cairo_surface_t* surface = ShapeSurface();
    const SkinPicture picture(surface);
    cairo_surface_t* background = Canvas(kWidth, kHeight);
    cairo_surface_t* drawn = Canvas(kWidth, kHeight);
    cairo_t* cr = cairo_create(drawn);
    // Rows 0..7 of the picture, at 100..107 of the user space.
    cairo_translate(cr, 0, -100);
    picture.DrawOver(cr, 0, 100, kWidth, 100, 100 + kPictureBandRows);
    cairo_destroy(cr);
    for (int y = kPictureBandRows; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) ASSERT_EQ(PixelAt(drawn, x, y), PixelAt(background, x, y));
    EXPECT_GT(CountUnlike(drawn, background), 0);
    cairo_surface_destroy(drawn);
    cairo_surface_destroy(background);
    cairo_surface_destroy(surface);
}

// A picture kept as PNG bytes reads and draws as the one kept decoded.
TEST(SkinPictureTest, APictureKeptAsPngIsTheSamePicture) {
    cairo_surface_t* surface = ShapeSurface();
    GBytes* png = PngOf(surface);
    const SkinPicture decoded(surface);
    const SkinPicture kept(png, kWidth, kHeight);
    g_bytes_unref(png);
    EXPECT_EQ(kept.Width(), kWidth);
    EXPECT_EQ(kept.Height(), kHeight);

    std::vector<uint32_t> a(kWidth), b(kWidth);
    for (int y = 0; y < kHeight; ++y) {
        decoded.ReadRow(y, 0, kWidth, a.data());
        kept.ReadRow(y, 0, kWidth, b.data());
        ASSERT_EQ(a, b) << y;
    }
    cairo_surface_t* expected = Canvas(kWidth + 20, kHeight + 20);
    cairo_surface_t* drawn = Canvas(kWidth + 20, kHeight + 20);
    cairo_t* cr = cairo_create(expected);
    decoded.DrawOver(cr, 4, 9, 40, 0, kHeight + 20);
    cairo_destroy(cr);
    cr = cairo_create(drawn);
    kept.DrawOver(cr, 4, 9, 40, 0, kHeight + 20);
    cairo_destroy(cr);
    EXPECT_EQ(CountUnlike(drawn, expected), 0);

    cairo_surface_destroy(drawn);
    cairo_surface_destroy(expected);
    cairo_surface_destroy(surface);
}

// Of the pictures kept as PNG bytes, only the one decoded last keeps its
// pixels; a picture decoded again and again while it is the last one is
// decoded once.
TEST(SkinPictureTest, OnlyThePictureDecodedLastKeepsItsPixels) {
    cairo_surface_t* surface = ShapeSurface();
    GBytes* png = PngOf(surface);
    const SkinPicture first(png, kWidth, kHeight);
    const SkinPicture second(png, kWidth, kHeight);
    g_bytes_unref(png);

    std::weak_ptr<const SkinPicture::Pixels> firstPixels = first.Decoded();
    ASSERT_FALSE(firstPixels.expired());
    EXPECT_EQ(first.Decoded(), firstPixels.lock());

    const std::shared_ptr<const SkinPicture::Pixels> secondPixels = second.Decoded();
    ASSERT_NE(secondPixels, nullptr);
    EXPECT_TRUE(firstPixels.expired());
    EXPECT_EQ(second.Decoded(), secondPixels);
    // Drawn again, the first is decoded anew and the second let go of.
    EXPECT_NE(first.Decoded(), nullptr);
    EXPECT_EQ(secondPixels.use_count(), 1);
    cairo_surface_destroy(surface);
}

TEST(SkinPictureTest, BytesThatAreNoPngDrawNothing) {
    GBytes* notPng = g_bytes_new("not a picture", 13);
    const SkinPicture picture(notPng, 10, 10);
    g_bytes_unref(notPng);
    EXPECT_EQ(picture.Decoded(), nullptr);
    uint32_t pixel = 1;
    picture.ReadRow(5, 5, 1, &pixel);
    EXPECT_EQ(pixel, 0u);
    cairo_surface_t* canvas = Canvas(10, 10);
    cairo_surface_t* background = Canvas(10, 10);
    cairo_t* cr = cairo_create(canvas);
    picture.DrawOver(cr, 0, 0, 10, 0, 10);
    cairo_destroy(cr);
    EXPECT_EQ(CountUnlike(canvas, background), 0);
    cairo_surface_destroy(background);
    cairo_surface_destroy(canvas);
}
