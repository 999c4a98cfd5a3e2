#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "skin/StatusArc.h"

namespace {

struct Placed {
    std::string ch, next;
    float angle;
    int x, y;
};

// Lays the line out with a stand-in drawer that records every placement and
// reports the width widthOf gives the character.
std::vector<Placed> Lay(const std::vector<std::string>& line,
                        const std::function<float(const std::string&)>& widthOf) {
    std::vector<Placed> placed;
    LayOutStatusArc(line,
                    [&](const std::string& ch, const std::string& next, float angle, int x, int y) {
                        placed.push_back({ch, next, angle, x, y});
                        return widthOf(ch);
                    });
    return placed;
}

std::vector<Placed> Lay(const std::vector<std::string>& line, float width) {
    return Lay(line, [width](const std::string&) { return width; });
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
    // Each character's width, as its drawer reports it; the arc before each
    // character is then 0, 17, 19, 61.5, 163.5 and 565.5 px, and its origin
    // is (400 + 301 sin t, 450 + 301 cos t) for t = arc / 301, truncated.
    const std::map<std::string, float> widths{{"a", 15.0f},  {"b", 0.0f},   {"c", 40.5f},
                                              {"d", 100.0f}, {"e", 400.0f}, {"f", 7.25f}};
    const std::vector<Placed> placed =
        Lay({"a", "b", "c", "d", "e", "f"}, [&](const std::string& ch) { return widths.at(ch); });
    const struct {
        int x, y;
        float angle;
    } expected[] = {
        {400, 751, 0.0f},         // the bottom of the circle
        {416, 750, -3.23597f},    // 416.99, 750.52
        {418, 750, -3.61668f},    // 418.99, 750.40: no width, still the spacing
        {461, 744, -11.70661f},   // 461.07, 744.74
        {555, 707, -31.12246f},   // 555.58, 707.68
        {686, 358, -107.64373f},  // 686.84, 358.77: past the right side, going up
    };
    ASSERT_EQ(placed.size(), std::size(expected));
    for (size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(placed[i].x, expected[i].x) << i;
        EXPECT_EQ(placed[i].y, expected[i].y) << i;
        EXPECT_NEAR(placed[i].angle, expected[i].angle, 1e-4) << i;
    }
    EXPECT_EQ(placed[1].next, "c");
    EXPECT_EQ(placed[5].next, "");
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
