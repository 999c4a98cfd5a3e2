#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "skin/FramePatches.h"
#include "skin/RenderSkin.h"
#include "skin/SkinLayout.h"
#include "tests/skin/SkinFixtures.h"

namespace {

// An odd size, so that the last column and row of tiles are cut short.
constexpr int kWidth = 5 * kPatchTileSize + 7;
constexpr int kHeight = 3 * kPatchTileSize + 1;
constexpr uint32_t kBasePixel = 0x80402010;

cairo_surface_t* Filled(int width, int height, uint32_t pixel) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface) +
                                                y * cairo_image_surface_get_stride(surface));
        std::fill(row, row + width, pixel);
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

void SetPixel(cairo_surface_t* surface, int x, int y, uint32_t pixel) {
    cairo_surface_flush(surface);
    reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface) +
                                y * cairo_image_surface_get_stride(surface))[x] = pixel;
    cairo_surface_mark_dirty(surface);
}

// The base: kBasePixel with a transparent margin on the left and below.
cairo_surface_t* BaseSurface() {
    cairo_surface_t* base = Filled(kWidth, kHeight, kBasePixel);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (x < kPatchTileSize / 2 || y >= 2 * kPatchTileSize + 3) SetPixel(base, x, y, 0);
    return base;
}

std::shared_ptr<const SkinPicture> PictureOf(cairo_surface_t* surface) {
    return std::make_shared<const SkinPicture>(surface);
}

// What the patches paint over a canvas of leftovers from an earlier frame.
cairo_surface_t* Painted(const FramePatches& patches) {
    cairo_surface_t* canvas = Filled(patches.Width(), patches.Height(), 0xff00ff00);
    cairo_t* cr = cairo_create(canvas);
    patches.Paint(cr);
    cairo_destroy(cr);
    return canvas;
}

struct PatchCase {
    const char* name;
    bool withBase;
    std::vector<std::pair<int, int>> changed;  // pixels set apart from the base
    size_t tiles;
};

}  // namespace

TEST(FramePatchesTest, KeepsTheTilesThatDifferAndPaintsTheFrameAgain) {
    const PatchCase cases[] = {
        {"same as the base", true, {}, 0},
        {"one pixel", true, {{2 * kPatchTileSize + 5, kPatchTileSize + 5}}, 1},
        {"two pixels in one tile",
         true,
         {{kPatchTileSize + 1, kPatchTileSize + 1},
          {2 * kPatchTileSize - 1, 2 * kPatchTileSize - 1}},
         1},
        {"the corners of the cut-short edge tiles",
         true,
         {{kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}},
         3},
        {"no base: only what is not transparent", false, {{kWidth - 3, 5}}, 1},
    };
    cairo_surface_t* baseSurface = BaseSurface();
    const std::shared_ptr<const SkinPicture> base = PictureOf(baseSurface);
    cairo_surface_destroy(baseSurface);
    for (const PatchCase& c : cases) {
        cairo_surface_t* frame = c.withBase ? BaseSurface() : Filled(kWidth, kHeight, 0);
        for (auto [x, y] : c.changed) SetPixel(frame, x, y, 0xff336699);

        FramePatches patches(kWidth, kHeight, c.withBase ? base : nullptr);
        patches.Add(frame, 0);
        EXPECT_EQ(patches.Tiles().size(), c.tiles) << c.name;
        cairo_surface_t* painted = Painted(patches);
        EXPECT_EQ(CountUnlike(painted, frame), 0) << c.name;

        cairo_surface_destroy(painted);
        cairo_surface_destroy(frame);
    }
}

TEST(FramePatchesTest, ABaseOfAnotherSizeCountsAsTransparent) {
    cairo_surface_t* baseSurface = Filled(kWidth + 1, kHeight, kBasePixel);
    cairo_surface_t* frame = Filled(kWidth, kHeight, kBasePixel);

    FramePatches patches(kWidth, kHeight, PictureOf(baseSurface));
    patches.Add(frame, 0);
    EXPECT_EQ(patches.Base(), nullptr);
    EXPECT_EQ(patches.Tiles().size(), 6u * 4u);
    cairo_surface_t* painted = Painted(patches);
    EXPECT_EQ(CountUnlike(painted, frame), 0);

    cairo_surface_destroy(painted);
    cairo_surface_destroy(frame);
    cairo_surface_destroy(baseSurface);
}

// The window keeps its frames this way: a composition over the real globe is
// a small part of a whole frame.
TEST(FramePatchesTest, AComposedFrameKeepsAFractionOfItsPixels) {
    static const int window = 0;
    LoadSkinImages(&window);
    const SkinImages& images = SkinImagesTable();
    const std::shared_ptr<const SkinPicture>& globe = images.slots[kGlobeSlot];
    ASSERT_NE(globe, nullptr);
    cairo_surface_t* frame = RenderSkin(images, SelectSkinFont(0),
                                        FrameState{37, "正在下载游戏", "", "123.45MB/1.20GB"});

    FramePatches patches(kSkinWidth, kSkinHeight, globe);
    patches.Add(frame, 0);
    EXPECT_EQ(patches.Base(), globe.get());
    EXPECT_LT(patches.Tiles().size() * kPatchTileSize * kPatchTileSize,
              static_cast<size_t>(kSkinWidth) * kSkinHeight / 8);
    cairo_surface_t* painted = Painted(patches);
    EXPECT_EQ(CountUnlike(painted, frame), 0);

    cairo_surface_destroy(painted);
    cairo_surface_destroy(frame);
}
