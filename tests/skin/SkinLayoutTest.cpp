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

TEST(BoatPathTest, EveryBoatStaysInsideTheWindow) {
    for (const BoatStop& stop : BoatPath()) {
        const FrameSize size = kBoatFrameSizes[stop.frame];
        EXPECT_GE(stop.x - size.width / 2, 0);
        EXPECT_GE(stop.y - size.height / 2, 0);
        EXPECT_LE(stop.x + size.width / 2, kSkinWidth);
        EXPECT_LE(stop.y + size.height / 2, kSkinHeight);
    }
}
