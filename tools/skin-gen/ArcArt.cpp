#include "tools/skin-gen/ArcArt.h"

#include "skin/SkinLayout.h"
#include "tools/skin-gen/Canvas.h"
#include "tools/skin-gen/Paint.h"
#include "tools/skin-gen/RouteCurve.h"

namespace {

constexpr int kScale = 4;

void StrokeRoute(cairo_t* cr, double width, unsigned rgb, double alpha) {
    cairo_new_path(cr);
    TraceRoute(cr);
    cairo_set_line_width(cr, width);
    SetColour(cr, rgb, alpha);
    cairo_stroke(cr);
}

}  // namespace

cairo_surface_t* DrawDashedArc() {
    Canvas canvas(kArcWidth, kArcHeight, kScale);
    cairo_t* cr = canvas.Context();
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    const double dashes[] = {7.0, 8.0};
    cairo_set_dash(cr, dashes, 2, 0);
    // A soft dark edge keeps the dashes visible over light water too.
    StrokeRoute(cr, 5.0, 0x06203f, 0.30);
    StrokeRoute(cr, 3.0, 0xe4f3ff, 0.72);
    return canvas.Reduce();
}

cairo_surface_t* DrawSolidArc() {
    Canvas canvas(kArcWidth, kArcHeight, kScale);
    cairo_t* cr = canvas.Context();
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    StrokeRoute(cr, 9.0, 0xffb627, 0.28);
    StrokeRoute(cr, 6.5, 0x7a4306, 1.0);
    StrokeRoute(cr, 4.5, 0xffc331, 1.0);
    StrokeRoute(cr, 1.6, 0xfff4c2, 0.95);
    return canvas.Reduce();
}
