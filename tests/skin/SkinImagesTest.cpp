#include <gtest/gtest.h>

#include "skin/SkinImages.h"
#include "skin/SkinLayout.h"

namespace {

uint8_t AlphaAt(cairo_surface_t* surface, int x, int y) {
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const uint32_t*>(row)[x] >> 24;
}

struct Expected {
    int slot, width, height;
};

class SkinImagesTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static const int window = 0;
        LoadSkinImages(&window);
    }
};

}  // namespace

TEST_F(SkinImagesTest, LoadsEveryPictureIntoItsSlotAtItsSize) {
    std::vector<Expected> expected{{kGlobeSlot, kSkinWidth, kSkinHeight},
                                   {kDashedArcSlot, kArcWidth, kArcHeight},
                                   {kSolidArcSlot, kArcWidth, kArcHeight}};
    for (int frame = 0; frame < kBoatFrames; ++frame)
        expected.push_back({frame, kBoatFrameSizes[frame].width, kBoatFrameSizes[frame].height});

    const SkinImages& table = SkinImagesTable();
    ASSERT_NE(table.window, nullptr);
    for (const Expected& e : expected) {
        cairo_surface_t* picture = table.slots[e.slot];
        ASSERT_NE(picture, nullptr) << "slot " << e.slot;
        EXPECT_EQ(cairo_image_surface_get_format(picture), CAIRO_FORMAT_ARGB32) << e.slot;
        EXPECT_EQ(cairo_image_surface_get_width(picture), e.width) << e.slot;
        EXPECT_EQ(cairo_image_surface_get_height(picture), e.height) << e.slot;
    }
}

TEST_F(SkinImagesTest, PicturesKeepTheirTransparency) {
    const SkinImages& table = SkinImagesTable();
    cairo_surface_t* globe = table.slots[kGlobeSlot];
    // The window's shape: opaque ocean in the middle, nothing in the corners.
    EXPECT_EQ(AlphaAt(globe, 400, 450), 255);
    EXPECT_EQ(AlphaAt(globe, 0, 914), 0);
    EXPECT_EQ(AlphaAt(globe, 763, 0), 0);
    // The palette frames keep their transparent corners and opaque hulls.
    for (int frame = 0; frame < kBoatFrames; ++frame) {
        cairo_surface_t* boat = table.slots[frame];
        EXPECT_EQ(AlphaAt(boat, 0, 0), 0) << frame;
        EXPECT_EQ(
            AlphaAt(boat, kBoatFrameSizes[frame].width / 2, kBoatFrameSizes[frame].height / 2), 255)
            << frame;
    }
    // The arcs are lines over nothing.
    EXPECT_EQ(AlphaAt(table.slots[kSolidArcSlot], 270, 10), 0);
    EXPECT_GT(AlphaAt(table.slots[kSolidArcSlot], 415 - kArcLeft, 602 - kArcTop), 200);
}

TEST_F(SkinImagesTest, BothArcsFollowTheBoatsRoute) {
    const SkinImages& table = SkinImagesTable();
    cairo_surface_t* solid = table.slots[kSolidArcSlot];
    for (const BoatStop& stop : BoatPath()) {
        const int x = stop.x - kArcLeft, y = stop.y - kArcTop;
        uint8_t best = 0;
        for (int dy = -2; dy <= 2; ++dy) best = std::max(best, AlphaAt(solid, x, y + dy));
        EXPECT_GT(best, 200) << "solid arc misses (" << stop.x << ", " << stop.y << ")";
    }
}

TEST(LoadPngResourceTest, UnknownIdGivesNothingAndOneLine) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadPngResource(173), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Load (resource): Error loading resource: 173\n");
}
