#include <gtest/gtest.h>

#include <cmath>

#include "skin/StatusArc.h"

namespace {

struct Placed {
    std::string ch, next;
    float angle;
    int x, y;
};

std::vector<Placed> Lay(const std::vector<std::string>& line, float advance) {
    std::vector<Placed> placed;
    LayOutStatusArc(line,
                    [&](const std::string& ch, const std::string& next, float angle, int x, int y) {
                        placed.push_back({ch, next, angle, x, y});
                        return advance;
                    });
    return placed;
}

}  // namespace

TEST(LayOutStatusArcTest, StartsUprightAtTheBottomOfTheCircle) {
    const std::vector<Placed> placed = Lay({"A"}, 10);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].x, 400);
    EXPECT_EQ(placed[0].y, 751);
    EXPECT_EQ(placed[0].angle, 0.0f);
    EXPECT_EQ(placed[0].next, "");
}

TEST(LayOutStatusArcTest, AdvancesByTheDrawnWidthPlusTwo) {
    const std::vector<Placed> placed = Lay({"a", "b", "c", "d"}, 15);
    ASSERT_EQ(placed.size(), 4u);
    for (size_t i = 0; i < placed.size(); ++i) {
        const double theta = 17.0 * i / 301.0;
        EXPECT_EQ(placed[i].x, static_cast<int>(std::sin(theta) * 301 + 400)) << i;
        EXPECT_EQ(placed[i].y, static_cast<int>(std::cos(theta) * 301 + 450)) << i;
        EXPECT_NEAR(placed[i].angle, -theta * 180 / 3.1415926, 1e-4) << i;
    }
    EXPECT_EQ(placed[1].next, "c");
    EXPECT_EQ(placed[3].next, "");
}

TEST(LayOutStatusArcTest, TurnsCounterClockwiseTowardsTheRightSide) {
    // A quarter of the circle on: the right side, turned a quarter anticlockwise.
    const double quarter = 301.0 * 3.1415926 / 2;
    const std::vector<Placed> placed = Lay({"a", "b"}, static_cast<float>(quarter - 2));
    EXPECT_EQ(placed[1].x, 701);
    EXPECT_NEAR(placed[1].y, 450, 1);
    EXPECT_NEAR(placed[1].angle, -90.0f, 1e-3);
}

TEST(LayOutStatusArcTest, EmptyLineDrawsNothing) {
    EXPECT_TRUE(Lay({}, 10).empty());
}
