#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "skin/RenderSkin.h"
#include "skin/TextOutline.h"
#include "tests/skin/SkinFixtures.h"

namespace {

// A blank canvas to draw single characters on.
class ArcCharCanvas {
public:
    ArcCharCanvas()
        : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 120)),
          m_cr(cairo_create(m_surface)) {}
    ~ArcCharCanvas() {
        cairo_destroy(m_cr);
        cairo_surface_destroy(m_surface);
    }
    ArcCharCanvas(const ArcCharCanvas&) = delete;
    ArcCharCanvas& operator=(const ArcCharCanvas&) = delete;

    float Draw(const std::string& ch, const std::string& next = "", float angle = 0) {
        return DrawArcChar(m_cr, m_font, ch, next, angle, 40, 40);
    }
    int Ink() { return CountInk(m_surface, 0, 0, 120, 120); }
    // Bounding box of the ink: left, top, right, bottom.
    std::array<int, 4> InkBox() {
        std::array<int, 4> box{120, 120, -1, -1};
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 120; ++x)
                if (IsInk(PixelAt(m_surface, x, y))) {
                    box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x),
                           std::max(box[3], y)};
                }
        return box;
    }
    // Width of the character's outline as laid out.
    double OutlineWidth(const std::string& ch) {
        cairo_new_path(m_cr);
        AppendTextOutline(m_cr, TextStyle{m_font.family, false, 18.0, 0.0}, ch, 0, 0);
        double x1, y1, x2, y2;
        cairo_path_extents(m_cr, &x1, &y1, &x2, &y2);
        cairo_new_path(m_cr);
        return x2 - x1;
    }
    cairo_t* Context() { return m_cr; }

private:
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
    SkinFont m_font = SelectSkinFont(0);
};

}  // namespace

TEST(DrawArcCharTest, QuestionMarkIsABlank15Wide) {
    ArcCharCanvas canvas;
    EXPECT_EQ(canvas.Draw("?"), 15.0f);
    EXPECT_EQ(canvas.Draw("?", "."), 15.0f);
    EXPECT_EQ(canvas.Ink(), 0);
}

TEST(DrawArcCharTest, SpaceDrawsNothingAndAdvancesNothing) {
    ArcCharCanvas canvas;
    EXPECT_EQ(canvas.Draw(" "), 0.0f);
    EXPECT_EQ(canvas.Ink(), 0);
}

TEST(DrawArcCharTest, NarrowCharactersGetAQuarterOfTheirShortfall) {
    // Outline widths of WenQuanYi Zen Hei, bold at 18 px, the face the window's
    // families resolve to. The extra is a quarter of (20 - width), truncated.
    const struct {
        const char* ch;
        double outlineWidth;
        float advance;
    } cases[] = {
        {"l", 2.15625, 6.15625f},       // a quarter of 17.84 is 4.46: 4 more
        {"j", 4.796875, 7.796875f},     // 3.80: 3 more, not 4
        {"1", 9.375, 11.375f},          // 2.66: 2 more, not 3
        {"M", 12.6875, 13.6875f},       // 1.83: 1 more, not 2
        {"正", 17.828125, 17.828125f},  // 0.54: nothing more
        {"游", 18.0, 18.0f},            // 0.5: nothing more
    };
    ArcCharCanvas canvas;
    for (const auto& c : cases) {
        ASSERT_NEAR(canvas.OutlineWidth(c.ch), c.outlineWidth, 0.02)
            << c.ch << ": not the face these widths were taken from";
        EXPECT_NEAR(canvas.Draw(c.ch), c.advance, 0.02) << c.ch;
    }
}

TEST(DrawArcCharTest, DotAndUnderscoreAfterACharacterAdd5) {
    ArcCharCanvas canvas;
    const float plain = canvas.Draw("5", "M");
    EXPECT_FLOAT_EQ(canvas.Draw("5", "."), plain + 5);
    EXPECT_FLOAT_EQ(canvas.Draw("5", "_"), plain + 5);
    EXPECT_FLOAT_EQ(canvas.Draw("5", ""), plain);
    EXPECT_FLOAT_EQ(canvas.Draw("5", ","), plain);
}

TEST(DrawArcCharTest, TurnsAboutTheCharactersOwnCentre) {
    ArcCharCanvas upright;
    upright.Draw("I");
    const auto a = upright.InkBox();
    ArcCharCanvas turned;
    turned.Draw("I", "", -90.0f);
    const auto b = turned.InkBox();
    ASSERT_GE(a[2], 0);
    ASSERT_GE(b[2], 0);
    // A tall bar becomes a wide one about the same centre.
    EXPECT_GT(a[3] - a[1], 2 * (a[2] - a[0]));
    EXPECT_GT(b[2] - b[0], 2 * (b[3] - b[1]));
    EXPECT_NEAR((a[0] + a[2]) / 2.0, (b[0] + b[2]) / 2.0, 1.5);
    EXPECT_NEAR((a[1] + a[3]) / 2.0, (b[1] + b[3]) / 2.0, 1.5);
}

TEST(DrawArcCharTest, LeavesTheCallersTransformAlone) {
    ArcCharCanvas canvas;
    cairo_translate(canvas.Context(), 3, 4);
    canvas.Draw("A", "", -30.0f);
    cairo_matrix_t after;
    cairo_get_matrix(canvas.Context(), &after);
    EXPECT_EQ(after.x0, 3);
    EXPECT_EQ(after.y0, 4);
    EXPECT_EQ(after.xx, 1);
}

TEST(DrawArcCharTest, DrawsInTheOutlineAndFillColours) {
    ArcCharCanvas canvas;
    canvas.Draw("H");
    bool fill = false, outline = false;
    for (int y = 0; y < 120; y += 1)
        for (int x = 0; x < 120; x += 1) {
            const uint32_t p = PixelAt(cairo_get_target(canvas.Context()), x, y);
            fill |= p == 0xffeafbff;
            outline |= p == 0xff0065d7;
        }
    EXPECT_TRUE(fill);
    EXPECT_TRUE(outline);
}
