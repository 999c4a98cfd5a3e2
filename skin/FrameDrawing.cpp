#include "skin/FrameDrawing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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

constexpr float kBlankAdvance = 15.0f;
constexpr double kNarrowCharWidth = 20.0;
constexpr double kNarrowCharShare = 0.25;
constexpr float kPunctuationAdvance = 5.0f;

constexpr unsigned kPercentOutline = 0x0076f7;
constexpr unsigned kCharOutline = 0x0065d7;
constexpr unsigned kTextFill = 0xeafbff;
constexpr double kOutlineWidths[] = {1.0, 2.0, 3.0};
// Beyond the path, the ink reaches half the widest pen and a pixel of
// antialiasing; the rest is a safety margin.
constexpr int kOutlineReachPx = 4;

void SetColour(cairo_t* cr, unsigned rgb) {
    cairo_set_source_rgb(cr, (rgb >> 16) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                         (rgb & 0xff) / 255.0);
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

// A cairo context to build paths on, drawing nothing. Unbounded: text is
// only outlined where its target can show it.
class PathBoard {
public:
    PathBoard()
        : m_surface(cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr)),
          m_cr(cairo_create(m_surface)) {}
    ~PathBoard() {
        cairo_destroy(m_cr);
        cairo_surface_destroy(m_surface);
    }
    PathBoard(const PathBoard&) = delete;
    PathBoard& operator=(const PathBoard&) = delete;
    cairo_t* Context() const { return m_cr; }

private:
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
};

std::unique_ptr<OutlinedText> OutlinePercentage(cairo_t* cr, const SkinFont& font, int percent) {
    const TextStyle style{font.family, true, font.m_bLargeFont ? kPercentLargePx : kPercentSmallPx,
                          kPercentBoxWidth};
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    AppendTextOutline(cr, style, std::to_string(percent) + "%", kPercentBoxX, kPercentBoxY);
    MoveCurrentPathUnder(cr, RotationAbout(kPercentTurnDegrees, kPercentPivotX, kPercentPivotY));
    auto outline = std::make_unique<OutlinedText>(cr, kPercentOutline);
    cairo_restore(cr);
    return outline;
}

}  // namespace

OutlinedText::OutlinedText(cairo_t* cr, unsigned outlineRgb) : m_outlineRgb(outlineRgb) {
    cairo_get_matrix(cr, &m_matrix);
    cairo_identity_matrix(cr);
    m_path.reset(cairo_copy_path(cr));
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_path_extents(cr, &x1, &y1, &x2, &y2);
    cairo_set_matrix(cr, &m_matrix);
    m_top = static_cast<int>(std::floor(y1)) - kOutlineReachPx;
    m_bottom = static_cast<int>(std::ceil(y2)) + kOutlineReachPx;
}

void OutlinedText::Paint(cairo_t* cr) const {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    cairo_append_path(cr, m_path.get());
    cairo_set_matrix(cr, &m_matrix);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    SetColour(cr, m_outlineRgb);
    for (double width : kOutlineWidths) {
        cairo_set_line_width(cr, width);
        cairo_stroke_preserve(cr);
    }
    SetColour(cr, kTextFill);
    cairo_fill(cr);
    cairo_restore(cr);
}

float OutlineArcChar(cairo_t* cr, const SkinFont& font, const std::string& ch,
                     const std::string& next, float angle, int originX, int originY,
                     std::unique_ptr<OutlinedText>& outline) {
    outline.reset();
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
    outline = std::make_unique<OutlinedText>(cr, kCharOutline);
    cairo_restore(cr);

    int extra = 0;
    if (width > 0 && width < kNarrowCharWidth) {
        extra = static_cast<int>((kNarrowCharWidth - width) * kNarrowCharShare);
    }
    float advance = static_cast<float>(width) + static_cast<float>(extra);
    if (next == "." || next == "_") advance += kPunctuationAdvance;
    return advance;
}

FrameDrawing::FrameDrawing(const SkinImages& images, const SkinFont& font,
                           const FrameState& state) {
    const PathBoard board;
    AddWholePicture(images.slots[kDashedArcSlot].get(), kArcLeft, kArcTop);

    const int percent = DisplayedPercent(state.percent);
    if (percent >= 1) {
        AddPicture(images.slots[kSolidArcSlot].get(), kArcLeft, kArcTop, SolidArcWidth(percent));
        AddText(OutlinePercentage(board.Context(), font, percent));
    }

    LayOutStatusArc(ComposeStatusLine(state.status, state.detail, state.size),
                    [&](const std::string& ch, const std::string& next, float angle, int x, int y) {
                        std::unique_ptr<OutlinedText> outline;
                        const float advance =
                            OutlineArcChar(board.Context(), font, ch, next, angle, x, y, outline);
                        if (outline) AddText(std::move(outline));
                        return advance;
                    });

    if (percent >= 1) {
        const BoatStop& stop = BoatPath()[percent - 1];
        if (const SkinPicture* boat = images.slots[stop.frame].get()) {
            AddWholePicture(boat, static_cast<int>(stop.x - boat->Width() * 0.5),
                            static_cast<int>(stop.y - boat->Height() * 0.5));
        }
    }
}

void FrameDrawing::AddPicture(const SkinPicture* picture, int x, int y, int visibleWidth) {
    if (picture) {
        m_pieces.push_back(Piece{y, y + picture->Height(), Picture{picture, x, y, visibleWidth}});
    }
}

void FrameDrawing::AddWholePicture(const SkinPicture* picture, int x, int y) {
    if (picture) AddPicture(picture, x, y, picture->Width());
}

void FrameDrawing::AddText(std::unique_ptr<OutlinedText> text) {
    const int top = text->Top();
    const int bottom = text->Bottom();
    m_pieces.push_back(Piece{top, bottom, std::move(text)});
}

bool FrameDrawing::Touches(int top, int bottom) const {
    return std::any_of(m_pieces.begin(), m_pieces.end(),
                       [&](const Piece& piece) { return piece.Meets(top, bottom); });
}

void FrameDrawing::Draw(cairo_t* cr, int top, int bottom) const {
    for (const Piece& piece : m_pieces) {
        if (!piece.Meets(top, bottom)) continue;
        if (const Picture* picture = std::get_if<Picture>(&piece.what)) {
            picture->picture->DrawOver(cr, picture->x, picture->y, picture->visibleWidth, top,
                                       bottom);
        } else {
            std::get<std::unique_ptr<OutlinedText>>(piece.what)->Paint(cr);
        }
    }
}
