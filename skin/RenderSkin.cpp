#include "skin/RenderSkin.h"

#include <numbers>

#include "skin/FramePool.h"
#include "skin/SkinLayout.h"
#include "skin/StatusArc.h"
#include "skin/StatusLine.h"
#include "skin/TextOutline.h"

namespace {

constexpr double kPercentBoxX = 133.0;
constexpr double kPercentBoxY = 397.0;
constexpr double kPercentBoxWidth = 100.0;
constexpr double kPercentPivotX = 163.0;
constexpr double kPercentPivotY = 397.0;
// Clockwise on screen: cairo's y axis points down.
constexpr double kPercentTurnDegrees = 60.0;
constexpr double kPercentLargePx = 22.0;
constexpr double kPercentSmallPx = 20.0;
constexpr double kCharPx = 18.0;

constexpr double kOutlineTolerance = 0.25;

constexpr float kBlankAdvance = 15.0f;
constexpr double kNarrowCharWidth = 20.0;
constexpr double kNarrowCharShare = 0.25;
constexpr float kPunctuationAdvance = 5.0f;

struct Rgb {
    int red, green, blue;
};
constexpr Rgb kPercentOutline{0, 118, 247};
constexpr Rgb kCharOutline{0, 101, 215};
constexpr Rgb kTextFill{234, 251, 255};

void SetColour(cairo_t* cr, Rgb colour) {
    cairo_set_source_rgb(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0);
}

// Strokes the current path with widening outlines, then fills it.
void PaintOutlinedText(cairo_t* cr, Rgb outline) {
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, outline);
    for (double width : {1.0, 2.0, 3.0}) {
        cairo_set_line_width(cr, width);
        cairo_stroke_preserve(cr);
    }
    SetColour(cr, kTextFill);
    cairo_fill(cr);
}

cairo_matrix_t RotationAbout(double degrees, double x, double y) {
    cairo_matrix_t matrix;
    cairo_matrix_init_translate(&matrix, x, y);
    cairo_matrix_rotate(&matrix, degrees * std::numbers::pi / 180.0);
    cairo_matrix_translate(&matrix, -x, -y);
    return matrix;
}

// Re-reads the current path, built in device space, as user-space coordinates
// under matrix.
void MoveCurrentPathUnder(cairo_t* cr, const cairo_matrix_t& matrix) {
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_new_path(cr);
    cairo_set_matrix(cr, &matrix);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
}

// The shared pictures are only read. Each render draws from a view of its
// own over their pixels, as cairo keeps unsynchronised state in a surface
// that is used as a source.
void DrawPicture(cairo_t* cr, cairo_surface_t* picture, int x, int y, cairo_operator_t op,
                 int visibleWidth) {
    cairo_surface_t* view = cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(picture), cairo_image_surface_get_format(picture),
        cairo_image_surface_get_width(picture), cairo_image_surface_get_height(picture),
        cairo_image_surface_get_stride(picture));
    cairo_save(cr);
    cairo_set_operator(cr, op);
    cairo_rectangle(cr, x, y, visibleWidth, cairo_image_surface_get_height(picture));
    cairo_set_source_surface(cr, view, x, y);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(view);
}

void DrawWholePicture(cairo_t* cr, cairo_surface_t* picture, int x, int y,
                      cairo_operator_t op = CAIRO_OPERATOR_OVER) {
    if (picture) DrawPicture(cr, picture, x, y, op, cairo_image_surface_get_width(picture));
}

void DrawPercentage(cairo_t* cr, const SkinFont& font, int percent) {
    const TextStyle style{font.family, true, font.m_bLargeFont ? kPercentLargePx : kPercentSmallPx,
                          kPercentBoxWidth};
    cairo_save(cr);
    cairo_new_path(cr);
    AppendTextOutline(cr, style, std::to_string(percent) + "%", kPercentBoxX, kPercentBoxY);
    MoveCurrentPathUnder(cr, RotationAbout(kPercentTurnDegrees, kPercentPivotX, kPercentPivotY));
    PaintOutlinedText(cr, kPercentOutline);
    cairo_restore(cr);
}

void DrawBoat(cairo_t* cr, const SkinImages& images, int percent) {
    const BoatStop& stop = BoatPath()[percent - 1];
    cairo_surface_t* frame = images.slots[stop.frame];
    if (!frame) return;
    const int left = static_cast<int>(stop.x - cairo_image_surface_get_width(frame) * 0.5);
    const int top = static_cast<int>(stop.y - cairo_image_surface_get_height(frame) * 0.5);
    DrawWholePicture(cr, frame, left, top);
}

}  // namespace

float DrawArcChar(cairo_t* cr, const SkinFont& font, const std::string& ch, const std::string& next,
                  float angle, int originX, int originY) {
    if (ch == "?") return kBlankAdvance;

    cairo_save(cr);
    cairo_matrix_t callerMatrix;
    cairo_get_matrix(cr, &callerMatrix);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    AppendTextOutline(cr, TextStyle{font.family, false, kCharPx, 0.0}, ch, originX, originY);
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_path_extents(cr, &x1, &y1, &x2, &y2);
    const double width = x2 - x1;
    const double height = y2 - y1;
    MoveCurrentPathUnder(cr, angle != 0.0f
                                 ? RotationAbout(angle, x1 + width * 0.5, y1 + height * 0.5)
                                 : callerMatrix);
    PaintOutlinedText(cr, kCharOutline);
    cairo_restore(cr);

    int extra = 0;
    if (width > 0 && width < kNarrowCharWidth) {
        extra = static_cast<int>((kNarrowCharWidth - width) * kNarrowCharShare);
    }
    float advance = static_cast<float>(width) + static_cast<float>(extra);
    if (next == "." || next == "_") advance += kPunctuationAdvance;
    return advance;
}

cairo_surface_t* RenderSkin(const SkinImages& images, const SkinFont& font,
                            const FrameState& state) {
    if (!images.window) return nullptr;
    cairo_surface_t* surface = NewFrameSurface();
    cairo_t* cr = cairo_create(surface);
    // Text outlines are flattened to a quarter pixel: stroking them is most of
    // a frame's cost, and a finer curve shows no difference.
    cairo_set_tolerance(cr, kOutlineTolerance);

    // The surface starts transparent, so the globe can be copied rather than
    // blended.
    DrawWholePicture(cr, images.slots[kGlobeSlot], 0, 0, CAIRO_OPERATOR_SOURCE);
    DrawWholePicture(cr, images.slots[kDashedArcSlot], kArcLeft, kArcTop);

    const int percent = DisplayedPercent(state.percent);
    if (percent >= 1) {
        if (cairo_surface_t* solid = images.slots[kSolidArcSlot]) {
            DrawPicture(cr, solid, kArcLeft, kArcTop, CAIRO_OPERATOR_OVER, SolidArcWidth(percent));
        }
        DrawPercentage(cr, font, percent);
    }

    LayOutStatusArc(ComposeStatusLine(state.status, state.detail, state.size),
                    [&](const std::string& ch, const std::string& next, float angle, int x, int y) {
                        return DrawArcChar(cr, font, ch, next, angle, x, y);
                    });

    if (percent >= 1) DrawBoat(cr, images, percent);

    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}
