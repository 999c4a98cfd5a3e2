#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
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

// Pixels of the window that differ between a whole frame and patches painted
// over leftovers of another frame.
long CountUnlikePainted(cairo_surface_t* whole, const FramePatches& patches) {
    cairo_surface_t* canvas =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSkinWidth, kSkinHeight);
    cairo_t* cr = cairo_create(canvas);
    cairo_set_source_rgba(cr, 1, 0, 1, 0.5);
    cairo_paint(cr);
    patches.Paint(cr);
    cairo_destroy(cr);
    long unlike = 0;
    for (int y = 0; y < kSkinHeight; ++y)
        for (int x = 0; x < kSkinWidth; ++x)
            unlike += PixelAt(canvas, x, y) != PixelAt(whole, x, y);
    cairo_surface_destroy(canvas);
    return unlike;
}

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
    EXPECT_EQ(RenderSkinPatches(table, SelectSkinFont(0), FrameState{50, "x", "", ""}), nullptr);
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
            ASSERT_FALSE(IsBoat(frame.At(x, y))) << x << "," << y;
        }
    // No percentage either: the number's area holds nothing but pictures.
    EXPECT_EQ(CountInk(frame.surface, 100, 380, 140, 140), 0);
}

TEST_F(RenderSkinTest, OnePercentCutsTheSolidArcTo5Pixels) {
    Frame frame(Render(1));
    // The boat covers the left end of the arc; below it the arc shows.
    EXPECT_EQ(frame.At(kArcLeft + 4, kArcTop + kArcHeight - 1), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft, kArcTop + kArcHeight - 1), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft + 5, kArcTop + kArcHeight - 1), kDashedColour);
}

TEST_F(RenderSkinTest, HundredPercentShowsTheWholeSolidArc) {
    Frame frame(Render(100));
    EXPECT_EQ(frame.At(kArcLeft, kArcRow), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft + kArcWidth - 1, kArcTop), kSolidColour);
    EXPECT_EQ(frame.At(kArcLeft + kArcWidth, kArcTop), kGlobeColour);
}

TEST_F(RenderSkinTest, BoatSailsTheRouteTurningAtEachFrameChange) {
    // The first and last percentage of every frame. A frame of w x h centred
    // at (x, y) has its corner at (x - w / 2, y - h / 2), truncated: frame 0
    // (110 x 137) centred at (135, 420) covers 80..189 x 351..487.
    const struct {
        int percent, centreX, centreY, frame, left, top, right, bottom;
    } cases[] = {
        {1, 135, 420, 0, 80, 351, 189, 487},    {5, 145, 442, 0, 90, 373, 199, 509},
        {6, 148, 447, 1, 92, 379, 202, 513},    {9, 157, 461, 1, 101, 393, 211, 527},
        {10, 160, 466, 2, 104, 400, 214, 531},  {13, 171, 481, 2, 115, 415, 225, 546},
        {14, 174, 485, 3, 119, 421, 228, 547},  {19, 194, 509, 3, 139, 445, 248, 571},
        {20, 198, 514, 4, 144, 453, 250, 574},  {23, 212, 526, 4, 158, 465, 264, 586},
        {24, 217, 531, 5, 163, 471, 270, 590},  {28, 235, 543, 5, 181, 483, 288, 602},
        {29, 240, 546, 6, 184, 485, 294, 605},  {33, 257, 557, 6, 201, 496, 311, 616},
        {34, 262, 558, 7, 205, 498, 317, 617},  {40, 292, 571, 7, 235, 511, 347, 630},
        {41, 298, 573, 8, 240, 513, 354, 631},  {48, 334, 586, 8, 276, 526, 390, 644},
        {49, 340, 588, 9, 279, 529, 399, 645},  {55, 374, 595, 9, 313, 536, 433, 652},
        {56, 379, 596, 10, 316, 538, 441, 652}, {62, 415, 602, 10, 352, 544, 477, 658},
        {63, 420, 602, 11, 354, 546, 484, 656}, {69, 453, 602, 11, 387, 546, 517, 656},
        {70, 458, 602, 12, 390, 546, 525, 656}, {74, 479, 602, 12, 411, 546, 546, 656},
        {75, 487, 601, 13, 418, 545, 554, 655}, {79, 503, 599, 13, 434, 543, 570, 653},
        {80, 510, 599, 14, 440, 542, 578, 654}, {84, 530, 596, 14, 460, 539, 598, 651},
        {85, 535, 595, 15, 465, 538, 604, 650}, {89, 558, 591, 15, 488, 534, 627, 646},
        {90, 564, 589, 16, 494, 532, 633, 645}, {98, 605, 576, 16, 535, 519, 674, 632},
        {99, 610, 574, 17, 540, 517, 678, 629}, {100, 616, 572, 17, 546, 515, 684, 627},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.percent << " %");
        Frame frame(Render(c.percent));
        const uint32_t boat = BoatColour(c.frame);
        EXPECT_EQ(frame.At(c.centreX, c.centreY), boat);
        EXPECT_EQ(frame.At(c.left, c.top), boat);
        EXPECT_EQ(frame.At(c.right, c.bottom), boat);
        EXPECT_FALSE(IsBoat(frame.At(c.left - 1, c.top)));
        EXPECT_FALSE(IsBoat(frame.At(c.left, c.top - 1)));
        EXPECT_FALSE(IsBoat(frame.At(c.right + 1, c.bottom)));
        EXPECT_FALSE(IsBoat(frame.At(c.right, c.bottom + 1)));
    }
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

// The launcher composes on its window thread and its worker at once; with the
// artwork, each thread's boat frame is decoded in turn by the others' draws.
TEST_F(RenderSkinTest, ConcurrentPatchRendersGiveTheirOwnFrames) {
    static const int window = 0;
    LoadSkinImages(&window);
    const SkinImages& table = SkinImagesTable();
    const int percents[] = {3, 30, 60, 97};
    std::vector<std::unique_ptr<Frame>> references;
    for (int percent : percents) {
        references.push_back(std::make_unique<Frame>(RenderSkin(
            table, SelectSkinFont(0), FrameState{percent, "正在下载游戏", "", "1.00 MB"})));
    }
    std::vector<std::thread> renderers;
    std::vector<long> unlike(4, 0);
    for (int t = 0; t < 4; ++t) {
        renderers.emplace_back([&, t] {
            const FrameState state{percents[t], "正在下载游戏", "", "1.00 MB"};
            for (int i = 0; i < 3; ++i) {
                const auto patches = RenderSkinPatches(table, SelectSkinFont(0), state);
                unlike[t] += CountUnlikePainted(references[t]->surface, *patches);
            }
        });
    }
    for (std::thread& renderer : renderers) renderer.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(unlike[t], 0) << percents[t] << " %";
}

// The window's frames are composed band by band, only where something is
// drawn, and kept as tiles over the globe: painted, they are the whole
// composition, pixel for pixel, whatever the pictures, the text and its font.
TEST_F(RenderSkinTest, PatchesPaintExactlyTheWholeFrame) {
    static const int window = 0;
    LoadSkinImages(&window);
    SkinImages noGlobe = m_pictures.Table();
    noGlobe.slots[kGlobeSlot] = nullptr;
    SkinImages smallGlobe = m_pictures.Table();
    cairo_surface_t* small = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 500, 600);
    cairo_t* cr = cairo_create(small);
    cairo_set_source_rgba(cr, 0.2, 0.4, 0.6, 0.8);
    cairo_paint(cr);
    cairo_destroy(cr);
    smallGlobe.slots[kGlobeSlot] = std::make_shared<const SkinPicture>(small);
    cairo_surface_destroy(small);
    const struct {
        const char* name;
        SkinImages table;
    } tables[] = {{"artwork", SkinImagesTable()},
                  {"stand-ins", m_pictures.Table()},
                  {"no globe", noGlobe},
                  {"a globe smaller than the window", smallGlobe},
                  {"text only", TextOnlyTable()}};
    // A line of the longest kind runs more than once round the circle.
    const std::string longLine(200, 'W');
    const FrameState states[] = {
        {0, "", "", ""},
        {1, "正在下载游戏", "", "1.00 MB"},
        {37, "正在下载游戏", "", "123.45MB/1.20GB"},
        {64, "正在安装游戏", "Ostrel.exe_._", ""},
        {100, "完成", "", "9.99GB/9.99GB"},
        {-5, "正在连接服务器", "", ""},
        {83, longLine, "", ""},
    };
    for (const auto& t : tables) {
        for (const FrameState& state : states) {
            for (int osClass : {0, 1}) {
                SCOPED_TRACE(testing::Message() << t.name << ", " << state.percent << " %, "
                                                << state.status << ", class " << osClass);
                const SkinFont font = SelectSkinFont(osClass);
                Frame whole(RenderSkin(t.table, font, state));
                const std::unique_ptr<FramePatches> patches =
                    RenderSkinPatches(t.table, font, state);
                ASSERT_NE(patches, nullptr);
                EXPECT_EQ(CountUnlikePainted(whole.surface, *patches), 0);
            }
        }
    }
}
