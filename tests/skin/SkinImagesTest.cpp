#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "skin/SkinImages.h"
#include "skin/SkinLayout.h"

namespace {

uint8_t AlphaAt(const std::shared_ptr<const SkinPicture>& picture, int x, int y) {
    uint32_t pixel = 0;
    picture->ReadRow(y, x, 1, &pixel);
    return pixel >> 24;
}

// The highest alpha within dx columns and dy rows of (x, y), inside the picture.
int MaxAlphaNear(const std::shared_ptr<const SkinPicture>& picture, int x, int y, int dx, int dy) {
    const int width = picture->Width();
    const int height = picture->Height();
    int best = 0;
    for (int row = std::max(y - dy, 0); row <= std::min(y + dy, height - 1); ++row)
        for (int column = std::max(x - dx, 0); column <= std::min(x + dx, width - 1); ++column)
            best = std::max<int>(best, AlphaAt(picture, column, row));
    return best;
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
        const std::shared_ptr<const SkinPicture>& picture = table.slots[e.slot];
        ASSERT_NE(picture, nullptr) << "slot " << e.slot;
        EXPECT_EQ(picture->Width(), e.width) << e.slot;
        EXPECT_EQ(picture->Height(), e.height) << e.slot;
    }
}

TEST_F(SkinImagesTest, PicturesKeepTheirTransparency) {
    const SkinImages& table = SkinImagesTable();
    const std::shared_ptr<const SkinPicture>& globe = table.slots[kGlobeSlot];
    // The window's shape: opaque ocean in the middle, nothing in the corners.
    EXPECT_EQ(AlphaAt(globe, 400, 450), 255);
    EXPECT_EQ(AlphaAt(globe, 0, 914), 0);
    EXPECT_EQ(AlphaAt(globe, 763, 0), 0);
    // The palette frames keep their transparent corners and opaque hulls.
    for (int frame = 0; frame < kBoatFrames; ++frame) {
        const std::shared_ptr<const SkinPicture>& boat = table.slots[frame];
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
    const std::shared_ptr<const SkinPicture>& solid = table.slots[kSolidArcSlot];
    const std::shared_ptr<const SkinPicture>& dashed = table.slots[kDashedArcSlot];
    ASSERT_NE(solid, nullptr);
    ASSERT_NE(dashed, nullptr);
    int dashedMisses = 0, dashedGaps = 0;
    for (const BoatStop& stop : BoatPath()) {
        const int x = stop.x - kArcLeft, y = stop.y - kArcTop;
        // The solid line runs through every stop.
        EXPECT_GT(MaxAlphaNear(solid, x, y, 0, 2), 200)
            << "solid arc misses (" << stop.x << ", " << stop.y << ")";
        // The dashed line is fainter; a stop in a gap has a dash a few pixels
        // away.
        dashedMisses += MaxAlphaNear(dashed, x, y, 3, 3) < 100;
        dashedGaps += MaxAlphaNear(dashed, x, y, 0, 2) < 50;
    }
    EXPECT_LE(dashedMisses, 3);
    // A dashed line, not a second solid one.
    EXPECT_GE(dashedGaps, 5);
}

TEST(LoadPngResourceTest, UnknownIdGivesNothingAndOneLine) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadPngResource(173), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Load (resource): Error loading resource: 173\n");
}
