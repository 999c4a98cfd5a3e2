#include "tools/skin-gen/GlobeArt.h"

#include <pango/pangocairo.h>

#include <cmath>
#include <cstdint>
#include <numbers>

#include "skin/SkinLayout.h"
#include "tools/skin-gen/Canvas.h"
#include "tools/skin-gen/Paint.h"

namespace {

constexpr int kScale = 3;
constexpr double kPi = std::numbers::pi;
constexpr double kCx = kStatusCentreX;
constexpr double kCy = kStatusCentreY;
constexpr double kOceanRadius = 296.0;
// The band behind the status line: from just past the bottom round to just
// above the right side, where the text runs.
constexpr double kBandRadius = 312.0;
constexpr double kBandWidth = 28.0;
constexpr double kBandStart = -22.0 * kPi / 180.0;
constexpr double kBandEnd = 102.0 * kPi / 180.0;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// Deterministic scatter for the wave marks.
class Scatter {
public:
    double Next() {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(m_state >> 11) / static_cast<double>(1ULL << 53);
    }

private:
    uint64_t m_state = 0x5eed;
};

void DrawHalo(cairo_t* cr) {
    cairo_pattern_t* halo =
        cairo_pattern_create_radial(kCx, kCy, kOceanRadius - 4, kCx, kCy, kOceanRadius + 16);
    AddStop(halo, 0.0, 0x8fd8ff, 0.55);
    AddStop(halo, 1.0, 0x8fd8ff, 0.0);
    UsePattern(cr, halo);
    cairo_arc(cr, kCx, kCy, kOceanRadius + 16, 0, 2 * kPi);
    cairo_fill(cr);
}

void DrawOcean(cairo_t* cr) {
    cairo_pattern_t* water =
        cairo_pattern_create_radial(kCx - 70, kCy - 90, 10, kCx, kCy, kOceanRadius);
    AddStop(water, 0.0, 0x5cc4ec);
    AddStop(water, 0.35, 0x2a8cc8);
    AddStop(water, 0.75, 0x155a9c);
    AddStop(water, 1.0, 0x072654);
    UsePattern(cr, water);
    cairo_arc(cr, kCx, kCy, kOceanRadius, 0, 2 * kPi);
    cairo_fill(cr);
}

// A point of the sphere as seen with the north pole tipped towards the viewer;
// false when it is on the far side.
bool Project(double lonDeg, double latDeg, double& x, double& y) {
    constexpr double kTilt = 0.38;
    constexpr double kRadius = kOceanRadius - 2;
    const double lon = Radians(lonDeg), lat = Radians(latDeg);
    const double px = std::cos(lat) * std::sin(lon);
    const double py = std::sin(lat);
    const double pz = std::cos(lat) * std::cos(lon);
    const double ty = py * std::cos(kTilt) - pz * std::sin(kTilt);
    const double tz = py * std::sin(kTilt) + pz * std::cos(kTilt);
    x = kCx + kRadius * px;
    y = kCy - kRadius * ty;
    return tz > 0;
}

void TraceVisible(cairo_t* cr, auto pointAt) {
    bool drawing = false;
    for (int step = 0; step <= 360; ++step) {
        double x = 0, y = 0;
        const bool visible = pointAt(step, x, y);
        if (visible && drawing) cairo_line_to(cr, x, y);
        if (visible && !drawing) cairo_move_to(cr, x, y);
        drawing = visible;
    }
}

void DrawGrid(cairo_t* cr) {
    cairo_new_path(cr);
    for (int lat = -60; lat <= 75; lat += 15) {
        TraceVisible(
            cr, [lat](int step, double& x, double& y) { return Project(step - 180.0, lat, x, y); });
    }
    for (int lon = -165; lon < 180; lon += 30) {
        TraceVisible(cr, [lon](int step, double& x, double& y) {
            return Project(lon + 10.0, step / 2.0 - 90.0, x, y);
        });
    }
    SetColour(cr, 0xd8f1ff, 0.16);
    cairo_set_line_width(cr, 1.1);
    cairo_stroke(cr);
    // The equator a little brighter.
    TraceVisible(cr, [](int step, double& x, double& y) { return Project(step - 180.0, 0, x, y); });
    SetColour(cr, 0xe8f7ff, 0.26);
    cairo_set_line_width(cr, 1.4);
    cairo_stroke(cr);
}

void DrawWaves(cairo_t* cr) {
    Scatter scatter;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int placed = 0; placed < 70;) {
        const double x = kCx + (scatter.Next() * 2 - 1) * 260;
        const double y = kCy + (scatter.Next() * 2 - 1) * 260;
        const double size = 5 + scatter.Next() * 5;
        if (std::hypot(x - kCx, y - kCy) > 262) continue;
        // Keep the water calm where the percentage is drawn.
        if (std::hypot(x - 185, y - 445) < 80) continue;
        ++placed;
        cairo_move_to(cr, x - size, y);
        cairo_curve_to(cr, x - size * 0.5, y - size * 0.45, x, y - size * 0.45, x, y);
        cairo_curve_to(cr, x + size * 0.4, y - size * 0.45, x + size * 0.8, y - size * 0.35,
                       x + size, y - size * 0.1);
        SetColour(cr, 0xe6f6ff, 0.10 + scatter.Next() * 0.10);
        cairo_set_line_width(cr, 1.3);
        cairo_stroke(cr);
    }
}

struct Island {
    double x, y, size;
    double wobble[3];
    double phase[3];
};

void IslandPath(cairo_t* cr, const Island& island, double grow) {
    cairo_new_path(cr);
    constexpr int kSteps = 120;
    for (int i = 0; i <= kSteps; ++i) {
        const double a = 2 * kPi * i / kSteps;
        double r = 1.0;
        for (int k = 0; k < 3; ++k) r += island.wobble[k] * std::sin((k + 2) * a + island.phase[k]);
        r = r * island.size + grow;
        const double x = island.x + r * std::cos(a) * 1.25;
        const double y = island.y + r * std::sin(a) * 0.85;
        if (i == 0) {
            cairo_move_to(cr, x, y);
        } else {
            cairo_line_to(cr, x, y);
        }
    }
    cairo_close_path(cr);
}

void DrawIsland(cairo_t* cr, const Island& island) {
    IslandPath(cr, island, 9);
    SetColour(cr, 0x7fe0e0, 0.35);
    cairo_fill(cr);
    IslandPath(cr, island, 4);
    SetColour(cr, 0xa8f0e6, 0.45);
    cairo_fill(cr);
    IslandPath(cr, island, 0);
    SetColour(cr, 0xf0dca0);
    cairo_fill(cr);
    IslandPath(cr, island, -island.size * 0.22);
    cairo_pattern_t* green =
        cairo_pattern_create_radial(island.x - island.size * 0.3, island.y - island.size * 0.3, 1,
                                    island.x, island.y, island.size * 1.2);
    AddStop(green, 0.0, 0x8ccc4e);
    AddStop(green, 0.6, 0x4c9a38);
    AddStop(green, 1.0, 0x2e6b2a);
    UsePattern(cr, green);
    cairo_fill(cr);
    // A hill.
    IslandPath(cr,
               Island{island.x + island.size * 0.1,
                      island.y,
                      island.size * 0.35,
                      {0.1, 0.05, 0.04},
                      {1, 2, 3}},
               0);
    SetColour(cr, 0x2c5e26, 0.55);
    cairo_fill(cr);
}

void DrawIslands(cairo_t* cr) {
    const Island islands[] = {
        {292, 262, 46, {0.18, 0.10, 0.06}, {0.3, 1.9, 4.0}},
        {505, 228, 30, {0.14, 0.12, 0.05}, {2.2, 0.4, 1.0}},
        {575, 372, 24, {0.20, 0.06, 0.08}, {1.1, 3.0, 0.2}},
        {415, 352, 13, {0.16, 0.08, 0.05}, {0.7, 2.4, 5.0}},
        {318, 678, 26, {0.16, 0.10, 0.07}, {4.1, 1.3, 2.6}},
        {488, 698, 14, {0.12, 0.10, 0.05}, {0.2, 0.9, 3.3}},
    };
    for (const Island& island : islands) DrawIsland(cr, island);
}

void DrawLight(cairo_t* cr) {
    // Highlight of the light from the upper left.
    cairo_pattern_t* shine = cairo_pattern_create_radial(300, 300, 0, 300, 300, 190);
    AddStop(shine, 0.0, 0xffffff, 0.30);
    AddStop(shine, 1.0, 0xffffff, 0.0);
    UsePattern(cr, shine);
    cairo_arc(cr, kCx, kCy, kOceanRadius, 0, 2 * kPi);
    cairo_fill(cr);
    // A calm, slightly darker patch behind the percentage.
    cairo_pattern_t* calm = cairo_pattern_create_radial(190, 445, 0, 190, 445, 95);
    AddStop(calm, 0.0, 0x0b3a6a, 0.45);
    AddStop(calm, 1.0, 0x0b3a6a, 0.0);
    UsePattern(cr, calm);
    cairo_arc(cr, kCx, kCy, kOceanRadius, 0, 2 * kPi);
    cairo_fill(cr);
    // Depth at the rim.
    cairo_pattern_t* rim =
        cairo_pattern_create_radial(kCx, kCy, kOceanRadius - 40, kCx, kCy, kOceanRadius);
    AddStop(rim, 0.0, 0x03122c, 0.0);
    AddStop(rim, 1.0, 0x03122c, 0.45);
    UsePattern(cr, rim);
    cairo_arc(cr, kCx, kCy, kOceanRadius, 0, 2 * kPi);
    cairo_fill(cr);
    // Gold rim.
    cairo_arc(cr, kCx, kCy, kOceanRadius, 0, 2 * kPi);
    SetColour(cr, 0x5a3a0a);
    cairo_set_line_width(cr, 5);
    cairo_stroke(cr);
    cairo_arc(cr, kCx, kCy, kOceanRadius, 0, 2 * kPi);
    cairo_pattern_t* gold = cairo_pattern_create_linear(kCx - 300, kCy - 300, kCx + 300, kCy + 300);
    AddStop(gold, 0.0, 0xfff0b0);
    AddStop(gold, 0.5, 0xe2a93a);
    AddStop(gold, 1.0, 0x9c6414);
    UsePattern(cr, gold);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
}

void DrawBand(cairo_t* cr) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_new_path(cr);
    cairo_arc(cr, kCx, kCy, kBandRadius, kBandStart, kBandEnd);
    SetColour(cr, 0x5a3a0a);
    cairo_set_line_width(cr, kBandWidth + 6);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* gold = cairo_pattern_create_linear(kCx + 320, kCy - 100, kCx, kCy + 330);
    AddStop(gold, 0.0, 0xffe7a0);
    AddStop(gold, 0.5, 0xd9a23a);
    AddStop(gold, 1.0, 0xa86d1a);
    UsePattern(cr, gold);
    cairo_set_line_width(cr, kBandWidth + 3.5);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* navy = cairo_pattern_create_radial(kCx, kCy, kBandRadius - kBandWidth / 2, kCx,
                                                        kCy, kBandRadius + kBandWidth / 2);
    AddStop(navy, 0.0, 0x0a2247);
    AddStop(navy, 0.5, 0x123463);
    AddStop(navy, 1.0, 0x081a38);
    UsePattern(cr, navy);
    cairo_set_line_width(cr, kBandWidth);
    cairo_stroke(cr);
}

void DrawStand(cairo_t* cr) {
    cairo_pattern_t* metal = cairo_pattern_create_linear(300, 0, 500, 0);
    AddStop(metal, 0.0, 0x8a5512);
    AddStop(metal, 0.35, 0xffe39a);
    AddStop(metal, 0.6, 0xd9a23a);
    AddStop(metal, 1.0, 0x7a4a0e);
    // Neck.
    cairo_move_to(cr, 384, 772);
    cairo_line_to(cr, 416, 772);
    cairo_curve_to(cr, 418, 795, 432, 808, 452, 818);
    cairo_line_to(cr, 348, 818);
    cairo_curve_to(cr, 368, 808, 382, 795, 384, 772);
    cairo_close_path(cr);
    cairo_set_source(cr, metal);
    cairo_fill_preserve(cr);
    SetColour(cr, 0x4a2e06);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    // Foot: a flat disc seen from the side.
    cairo_save(cr);
    cairo_translate(cr, 400, 842);
    cairo_scale(cr, 1.0, 0.2);
    cairo_arc(cr, 0, 40, 150, 0, kPi);
    cairo_arc(cr, 0, 0, 150, kPi, 0);
    cairo_close_path(cr);
    cairo_restore(cr);
    cairo_pattern_t* side = cairo_pattern_create_linear(250, 0, 550, 0);
    AddStop(side, 0.0, 0x3d2306);
    AddStop(side, 0.4, 0xb07a26);
    AddStop(side, 1.0, 0x3d2306);
    UsePattern(cr, side);
    cairo_fill_preserve(cr);
    SetColour(cr, 0x2e1a04);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, 400, 842);
    cairo_scale(cr, 1.0, 0.2);
    cairo_arc(cr, 0, 0, 150, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_set_source(cr, metal);
    cairo_fill_preserve(cr);
    SetColour(cr, 0x4a2e06);
    cairo_stroke(cr);
    cairo_pattern_destroy(metal);
}

// Lays a piece of the title out in the title font; returns its logical width.
double TitlePiece(PangoLayout* layout, const char* text) {
    pango_layout_set_text(layout, text, -1);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return logical.width / static_cast<double>(PANGO_SCALE);
}

void OutlineTitle(cairo_t* cr, PangoLayout* layout, const char* text, double x, double y,
                  cairo_pattern_t* fill) {
    pango_layout_set_text(layout, text, -1);
    cairo_new_path(cr);
    cairo_move_to(cr, x + 3, y + 5);
    pango_cairo_layout_path(cr, layout);
    SetColour(cr, 0x000814, 0.45);
    cairo_set_line_width(cr, 10);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);

    cairo_move_to(cr, x, y);
    pango_cairo_layout_path(cr, layout);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, 0x0a1f44);
    cairo_set_line_width(cr, 10);
    cairo_stroke_preserve(cr);
    SetColour(cr, 0xfff3c8);
    cairo_set_line_width(cr, 3.5);
    cairo_stroke_preserve(cr);
    cairo_set_source(cr, fill);
    cairo_fill(cr);
}

void DrawTitle(cairo_t* cr) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("C059 Bold 84px");
    pango_layout_set_font_description(layout, font);
    const double gap = 22;
    const double nameWidth = TitlePiece(layout, "Quorvane");
    const double tagWidth = TitlePiece(layout, "3D");
    const double left = (kSkinWidth - nameWidth - gap - tagWidth) / 2;
    const double top = 16;

    cairo_pattern_t* gold = cairo_pattern_create_linear(0, top + 18, 0, top + 100);
    AddStop(gold, 0.0, 0xfff6c4);
    AddStop(gold, 0.45, 0xffcd45);
    AddStop(gold, 1.0, 0xc2780f);
    OutlineTitle(cr, layout, "Quorvane", left, top, gold);
    cairo_pattern_destroy(gold);

    cairo_pattern_t* sea = cairo_pattern_create_linear(0, top + 18, 0, top + 100);
    AddStop(sea, 0.0, 0xe9fbff);
    AddStop(sea, 0.5, 0x6fd3ff);
    AddStop(sea, 1.0, 0x1f86d8);
    OutlineTitle(cr, layout, "3D", left + nameWidth + gap, top, sea);
    cairo_pattern_destroy(sea);

    pango_font_description_free(font);
    g_object_unref(layout);
}

}  // namespace

cairo_surface_t* DrawGlobe() {
    Canvas canvas(kSkinWidth, kSkinHeight, kScale);
    cairo_t* cr = canvas.Context();
    DrawStand(cr);
    DrawHalo(cr);
    DrawOcean(cr);
    cairo_save(cr);
    cairo_arc(cr, kCx, kCy, kOceanRadius, 0, 2 * kPi);
    cairo_clip(cr);
    DrawGrid(cr);
    DrawWaves(cr);
    DrawIslands(cr);
    cairo_restore(cr);
    DrawLight(cr);
    DrawBand(cr);
    DrawTitle(cr);
    return canvas.Reduce();
}
