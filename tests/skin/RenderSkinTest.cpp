#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "skin/RenderSkin.h"
#include "skin/SkinLayout.h"
#include "tests/skin/SkinFixtures.h"

namespace {

// Owns a rendered frame.
struct Frame {
    cairo_surface_t* surface;
    explicit Frame(cairo_surface_t* s) : surface(s) {}
    ~Frame() { cairo_surface_destroy(surface); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    uint32_t At(int x, int y) const { return PixelAt(surface, x, y); }
};

bool SameFrames(const Frame& a, const Frame& b) {
    const size_t bytes =
        static_cast<size_t>(cairo_image_surface_get_stride(a.surface)) * kSkinHeight;
    return memcmp(cairo_image_surface_get_data(a.surface), cairo_image_surface_get_data(b.surface),
                  bytes) == 0;
}

class RenderSkinTest : public testing::Test {
protected:
    cairo_surface_t* Render(const FrameState& state) {
        return RenderThroughPng(m_dir, m_pictures.Table(), state);
    }
    cairo_surface_t* Render(int percent) { return Render(FrameState{percent, "", "", ""}); }

    TempDir m_dir;
    StandInImages m_pictures;
};

// Middle row of the arc rectangle.
constexpr int kArcRow = kArcTop + 100;

}  // namespace

TEST_F(RenderSkinTest, NoWindowNoFrame) {
    SkinImages table = m_pictures.Table();
    table.window = nullptr;
    EXPECT_EQ(RenderSkin(table, SelectSkinFont(0), FrameState{50, "x", "", ""}), nullptr);
}

TEST_F(RenderSkinTest, ZeroPercentShowsGlobeAndDashedArcOnly) {
    Frame frame(Render(0));
    ASSERT_NE(frame.surface, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(frame.surface), kSkinWidth);
    EXPECT_EQ(cairo_image_surface_get_height(frame.surface), kSkinHeight);
    EXPECT_EQ(frame.At(0, 0), kGlobeColour);
    EXPECT_EQ(frame.At(kArcLeft, kArcRow), kDashedColour);
    EXPECT_EQ(frame.At(kArcLeft + kArcWidth - 1, kArcTop + kArcHeight - 1), kDashedColour);
    EXPECT_EQ(frame.At(kArcLeft - 1, kArcRow), kGlobeColour);
    for (int y = 0; y < kSkinHeight; y += 3)
        for (int x = 0; x < kSkinWidth; x += 3) {
            ASSERT_NE(frame.At(x, y), kSolidColour) << x << "," << y;
            ASSERT_NE(frame.At(x, y), kBoatColour) << x << "," << y;
        }
    // No percentage either: the number's area holds nothing but pictures.
    EXPECT_EQ(CountInk(frame.surface, 100, 380, 140, 140), 0);
}

TEST_F(RenderSkinTest, OnePercentCutsTheArcTo5PixelsAndPlacesFrame0) {
    Frame frame(Render(1));
    // The boat covers the left end of the arc; below it the arc shows.
    EXPECT_EQ(frame.At(kArcLeft + 4, kArcTop + kArcHeight - 1), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft, kArcTop + kArcHeight - 1), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft + 5, kArcTop + kArcHeight - 1), kDashedColour);
    // Frame 0 is 110 x 137 and centred at (135, 420): its corner is (80, 351).
    EXPECT_EQ(frame.At(80, 351), kBoatColour);
    EXPECT_EQ(frame.At(189, 487), kBoatColour);
    EXPECT_NE(frame.At(79, 351), kBoatColour);
    EXPECT_NE(frame.At(80, 350), kBoatColour);
    EXPECT_NE(frame.At(190, 487), kBoatColour);
    EXPECT_NE(frame.At(189, 488), kBoatColour);
}

TEST_F(RenderSkinTest, HundredPercentShowsTheWholeArcAndFrame17) {
    Frame frame(Render(100));
    EXPECT_EQ(frame.At(kArcLeft, kArcRow), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft + kArcWidth - 1, kArcTop), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft + kArcWidth, kArcTop), kGlobeColour);
    // Frame 17 is 139 x 113 centred at (616, 572): (int)546.5 = 546, (int)515.5 = 515.
    EXPECT_EQ(frame.At(546, 515), kBoatColour);
    EXPECT_EQ(frame.At(546 + 138, 515 + 112), kBoatColour);
    EXPECT_NE(frame.At(545, 515), kBoatColour);
    EXPECT_NE(frame.At(546 + 139, 515), kBoatColour);
    EXPECT_NE(frame.At(546, 515 + 113), kBoatColour);
}

TEST_F(RenderSkinTest, OutOfRangePercentagesDrawAsTheNearestEnd) {
    const struct { int reported, shown; } cases[] = {{-1, 0}, {-50, 0}, {101, 100}, {1000, 100}};
    for (const auto& c : cases) {
        Frame reported(Render(FrameState{c.reported, "正在下载游戏", "", "1.00 MB"}));
        Frame shown(Render(FrameState{c.shown, "正在下载游戏", "", "1.00 MB"}));
        EXPECT_TRUE(SameFrames(reported, shown)) << c.reported;
    }
}

TEST_F(RenderSkinTest, MissingPictureLeavesOnlyItsOwnPlaceEmpty) {
    SkinImages table = m_pictures.Table();
    table.slots[kDashedArcSlot] = nullptr;
    table.slots[10] = nullptr;  // the boat frame of 60 %
    Frame frame(RenderThroughPng(m_dir, table, FrameState{60, "", "", ""}));
    ASSERT_NE(frame.surface, nullptr);
    EXPECT_EQ(frame.At(kArcLeft + SolidArcWidth(60) - 1, kArcTop), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft + SolidArcWidth(60), kArcTop), kGlobeColour);
    EXPECT_EQ(frame.At(404, 600), kSolidColour);  // where the boat would be
    EXPECT_GT(CountInk(frame.surface, 100, 380, 140, 140), 0);

    table.slots[kGlobeSlot] = nullptr;
    Frame bare(RenderThroughPng(m_dir, table, FrameState{60, "", "", ""}));
    EXPECT_EQ(bare.At(0, 0) >> 24, 0u);  // starts transparent
    EXPECT_EQ(bare.At(kArcLeft, kArcTop), kSolidColour);
}

TEST_F(RenderSkinTest, PercentageIsTurnedClockwiseAboutItsPivot) {
    Frame frame(RenderThroughPng(m_dir, TextOnlyTable(), FrameState{88, "", "", ""}));
    // Centroid and main axis of the number's ink.
    double sx = 0, sy = 0, n = 0;
    std::vector<std::pair<int, int>> ink;
    for (int y = 360; y < 520; ++y)
        for (int x = 100; x < 260; ++x)
            if (IsInk(frame.At(x, y))) ink.push_back({x, y}), sx += x, sy += y, ++n;
    ASSERT_GT(n, 50);
    const double cx = sx / n, cy = sy / n;
    double xx = 0, yy = 0, xy = 0;
    for (auto [x, y] : ink)
        xx += (x - cx) * (x - cx), yy += (y - cy) * (y - cy), xy += (x - cx) * (y - cy);
    const double axisDegrees = 0.5 * std::atan2(2 * xy, xx - yy) * 180 / 3.14159265358979;
    // Laid out to the right of (163, 397) and turned 60 degrees clockwise on
    // screen, the number runs down and to the right, below the pivot.
    EXPECT_NEAR(axisDegrees, 60, 12);
    EXPECT_GT(cy, 405);
    EXPECT_NEAR(cx, 163, 15);
}

TEST_F(RenderSkinTest, LargeFontDrawsABiggerPercentage) {
    Frame small(RenderThroughPng(m_dir, TextOnlyTable(), FrameState{88, "", "", ""}, 0));
    Frame large(RenderThroughPng(m_dir, TextOnlyTable(), FrameState{88, "", "", ""}, 1));
    const int smallInk = CountInk(small.surface, 100, 360, 160, 160);
    const int largeInk = CountInk(large.surface, 100, 360, 160, 160);
    EXPECT_GT(largeInk, smallInk * 1.1);
}

TEST_F(RenderSkinTest, LoneStatusStartsAfterTheTenBlanks) {
    Frame frame(RenderThroughPng(m_dir, TextOnlyTable(), FrameState{0, "正在安装游戏", "", ""}));
    // Nothing at the bottom of the circle, where a line without the blanks starts.
    EXPECT_EQ(CountInk(frame.surface, 380, 740, 60, 40), 0);
    // The first character's box starts 170 px along the circle. Turned by
    // about 32 degrees about its centre, its outer leading corner swings some
    // 8 px back, so the ink begins near 162 px.
    double firstArc = 1e9;
    for (int y = 0; y < kSkinHeight; ++y)
        for (int x = 0; x < kSkinWidth; ++x)
            if (IsInk(frame.At(x, y)))
                firstArc = std::min(firstArc, std::atan2(x - 400.0, y - 450.0) * 301);
    EXPECT_NEAR(firstArc, 162, 3);
}

TEST_F(RenderSkinTest, StatusLineIsDrawnOverThePictures) {
    Frame with(Render(FrameState{37, "正在下载游戏", "", "12.5MB/1.2GB"}));
    Frame without(Render(FrameState{37, "", "", ""}));
    // A status text starts at the very bottom of the circle.
    EXPECT_GT(CountInk(with.surface, 395, 745, 30, 30), 20);
    EXPECT_EQ(CountInk(without.surface, 395, 745, 30, 30), 0);
}

TEST_F(RenderSkinTest, ConcurrentRendersGiveTheSameFrame) {
    const SkinImages table = m_pictures.Table();
    const FrameState state{37, "正在下载游戏", "", "123.45MB/1.20GB"};
    Frame reference(RenderSkin(table, SelectSkinFont(0), state));
    std::vector<std::thread> renderers;
    std::vector<int> same(4, 0);
    for (int t = 0; t < 4; ++t) {
        renderers.emplace_back([&, t] {
            for (int i = 0; i < 3; ++i) {
                Frame frame(RenderSkin(table, SelectSkinFont(0), state));
                same[t] += SameFrames(frame, reference);
            }
        });
    }
    for (std::thread& renderer : renderers) renderer.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(same[t], 3) << t;
}
