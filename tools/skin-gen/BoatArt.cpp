#include "tools/skin-gen/BoatArt.h"

#include <numbers>

#include "skin/SkinLayout.h"
#include "tools/skin-gen/Canvas.h"
#include "tools/skin-gen/Paint.h"
#include "tools/skin-gen/RouteCurve.h"

namespace {

constexpr int kScale = 4;
// The boat is drawn bow along +x, centred on the origin, 92 px long.
constexpr double kBow = 46.0;
constexpr double kStern = -46.0;
// Drawn a little larger than laid out, to read well on the globe.
constexpr double kEnlarge = 1.1;

void HullPath(cairo_t* cr, double inset) {
    cairo_save(cr);
    cairo_scale(cr, inset, inset);
    cairo_move_to(cr, kBow, 0);
    cairo_curve_to(cr, 30, -14, 6, -18, -18, -16.5);
    cairo_curve_to(cr, -34, -15.5, -43, -12, kStern, -7);
    cairo_line_to(cr, kStern, 7);
    cairo_curve_to(cr, -43, 12, -34, 15.5, -18, 16.5);
    cairo_curve_to(cr, 6, 18, 30, 14, kBow, 0);
    cairo_close_path(cr);
    cairo_restore(cr);
}

void DrawWake(cairo_t* cr) {
    cairo_pattern_t* fade = cairo_pattern_create_linear(kStern + 4, 0, kStern - 15, 0);
    AddStop(fade, 0.0, 0xffffff, 0.75);
    AddStop(fade, 1.0, 0xffffff, 0.0);
    cairo_set_source(cr, fade);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (double side : {-1.0, 1.0}) {
        cairo_move_to(cr, kStern + 6, side * 11);
        cairo_curve_to(cr, kStern - 3, side * 14, kStern - 9, side * 17, kStern - 15, side * 21);
        cairo_set_line_width(cr, 2.6);
        cairo_stroke(cr);
    }
    cairo_move_to(cr, kStern + 2, 0);
    cairo_line_to(cr, kStern - 14, 0);
    cairo_set_line_width(cr, 9);
    cairo_stroke(cr);
    cairo_pattern_destroy(fade);
    // Bow waves.
    SetColour(cr, 0xffffff, 0.55);
    cairo_set_line_width(cr, 1.8);
    for (double side : {-1.0, 1.0}) {
        cairo_move_to(cr, kBow - 2, side * 3);
        cairo_curve_to(cr, kBow - 10, side * 13, kBow - 20, side * 18, kBow - 30, side * 21);
        cairo_stroke(cr);
    }
}

void DrawHull(cairo_t* cr) {
    HullPath(cr, 1.0);
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, -18, 0, 18);
    AddStop(shade, 0.0, 0xffffff);
    AddStop(shade, 0.55, 0xf1f4f8);
    AddStop(shade, 1.0, 0xc3ceda);
    UsePattern(cr, shade);
    cairo_fill_preserve(cr);
    SetColour(cr, 0x1d3252);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    // Blue gunwale stripe.
    HullPath(cr, 0.9);
    SetColour(cr, 0x2a6fc0);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    // Wooden deck with planks.
    HullPath(cr, 0.76);
    SetColour(cr, 0xc98b4b);
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip(cr);
    SetColour(cr, 0xa36a33, 0.8);
    cairo_set_line_width(cr, 0.7);
    for (double y = -12; y <= 12; y += 4) {
        cairo_move_to(cr, kStern, y);
        cairo_line_to(cr, kBow, y);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
    // Cabin roof.
    cairo_new_path(cr);
    cairo_move_to(cr, -30, -7);
    cairo_line_to(cr, -12, -7);
    cairo_curve_to(cr, -9, -7, -9, 7, -12, 7);
    cairo_line_to(cr, -30, 7);
    cairo_close_path(cr);
    SetColour(cr, 0xf7f9fc);
    cairo_fill_preserve(cr);
    SetColour(cr, 0x7d8ea3);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

void DrawSails(cairo_t* cr) {
    const double mastX = 10;
    // Both sails stand out to the lee side. Jib, forward of the mast.
    cairo_move_to(cr, kBow - 4, 0);
    cairo_curve_to(cr, 36, 9, 26, 14, mastX + 4, 9);
    cairo_curve_to(cr, 24, 6, 34, 3, kBow - 4, 0);
    SetColour(cr, 0xffc42e);
    cairo_fill_preserve(cr);
    SetColour(cr, 0x9a5a08);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // Mainsail, its boom swung out.
    cairo_move_to(cr, mastX, 0);
    cairo_curve_to(cr, 2, 24, -18, 33, -30, 25);
    cairo_curve_to(cr, -18, 16, -2, 7, mastX, 0);
    cairo_close_path(cr);
    cairo_pattern_t* cloth = cairo_pattern_create_linear(0, 2, 0, 30);
    AddStop(cloth, 0.0, 0xff5a3c);
    AddStop(cloth, 1.0, 0xc41f1f);
    UsePattern(cr, cloth);
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip_preserve(cr);
    SetColour(cr, 0xffffff, 0.95);
    cairo_set_line_width(cr, 3.0);
    cairo_move_to(cr, -8, 4);
    cairo_line_to(cr, -14, 34);
    cairo_stroke(cr);
    cairo_restore(cr);
    SetColour(cr, 0x6e1010);
    cairo_set_line_width(cr, 1.1);
    cairo_stroke(cr);
    // Boom and mast.
    cairo_move_to(cr, mastX, 0);
    cairo_line_to(cr, -30, 25);
    SetColour(cr, 0x4a2d12);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    cairo_arc(cr, mastX, 0, 2.4, 0, 2 * std::numbers::pi);
    SetColour(cr, 0x2b1a0c);
    cairo_fill(cr);
}

}  // namespace

cairo_surface_t* DrawBoatFrame(int frame) {
    const FrameSize size = kBoatFrameSizes[frame];
    Canvas canvas(size.width, size.height, kScale);
    cairo_t* cr = canvas.Context();
    const double heading = FrameHeading(frame);

    // The shadow falls the same way whatever the heading.
    cairo_save(cr);
    cairo_translate(cr, size.width / 2.0 + 3, size.height / 2.0 + 4);
    cairo_rotate(cr, heading);
    cairo_scale(cr, kEnlarge, kEnlarge);
    for (double spread : {6.0, 3.5, 1.5}) {
        HullPath(cr, 1.0);
        SetColour(cr, 0x001020, 0.10);
        cairo_set_line_width(cr, spread);
        cairo_stroke_preserve(cr);
        cairo_fill(cr);
    }
    cairo_restore(cr);

    cairo_translate(cr, size.width / 2.0, size.height / 2.0);
    cairo_rotate(cr, heading);
    cairo_scale(cr, kEnlarge, kEnlarge);
    DrawWake(cr);
    DrawHull(cr);
    DrawSails(cr);
    return canvas.Reduce();
}
