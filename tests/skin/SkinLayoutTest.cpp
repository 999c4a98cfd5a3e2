#include <gtest/gtest.h>

#include "skin/SkinLayout.h"

TEST(DisplayedPercentTest, ClampsToTheDrawableRange) {
    const struct {
        int reported, shown;
    } cases[] = {{-1, 0},  {-2147483647 - 1, 0}, {0, 0},     {1, 1},
                 {37, 37}, {100, 100},           {101, 100}, {2147483647, 100}};
    for (const auto& c : cases) EXPECT_EQ(DisplayedPercent(c.reported), c.shown) << c.reported;
}

TEST(SolidArcWidthTest, CutsWithIntegerDivision) {
    const struct {
        int percent, width;
    } cases[] = {{0, 0}, {1, 5}, {37, 199}, {50, 269}, {99, 533}, {100, 539}};
    for (const auto& c : cases) EXPECT_EQ(SolidArcWidth(c.percent), c.width) << c.percent;
}

TEST(BoatPathTest, EndsAndLowestPointAreWhereTheArtworkExpects) {
    const auto& path = BoatPath();
    EXPECT_EQ(path.front().x, 135);
    EXPECT_EQ(path.front().y, 420);
    EXPECT_EQ(path.back().x, 616);
    EXPECT_EQ(path.back().y, 572);
    EXPECT_EQ(path[61].y, 602);  // 62 %
    EXPECT_EQ(path[74].x, 487);  // 75 %, the one step that jumps ahead
}

TEST(BoatPathTest, FramesTurnInOrderOverTheirStatedRanges) {
    // First percentage of each frame 0..17.
    const int firstPercent[kBoatFrames] = {1,  6,  10, 14, 20, 24, 29, 34, 41,
                                           49, 56, 63, 70, 75, 80, 85, 90, 99};
    const auto& path = BoatPath();
    for (int percent = 1; percent <= 100; ++percent) {
        int expected = 0;
        while (expected + 1 < kBoatFrames && firstPercent[expected + 1] <= percent) ++expected;
        EXPECT_EQ(path[percent - 1].frame, expected) << percent << " %";
    }
}

TEST(BoatPathTest, EveryBoatStaysInsideTheWindow) {
    for (const BoatStop& stop : BoatPath()) {
        const FrameSize size = kBoatFrameSizes[stop.frame];
        EXPECT_GE(stop.x - size.width / 2, 0);
        EXPECT_GE(stop.y - size.height / 2, 0);
        EXPECT_LE(stop.x + size.width / 2, kSkinWidth);
        EXPECT_LE(stop.y + size.height / 2, kSkinHeight);
    }
}
