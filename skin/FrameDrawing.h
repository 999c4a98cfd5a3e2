// What one frame of the window draws over the globe, in drawing order: the
// dashed arc, the travelled part of the solid arc, the percentage, the status
// line and the boat. Text is shaped and outlined once, when the drawing is
// built, and every piece knows the rows it may touch, so that the frame can be
// drawn whole or band by band: a band shows exactly the rows of the whole.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "skin/FrameState.h"
#include "skin/SkinFont.h"
#include "skin/SkinImages.h"

// An outlined text: its path in device space and the transform it is stroked
// and filled under.
class OutlinedText {
public:
    // Takes cr's current path, whatever cr's transform, and cr's transform.
    explicit OutlinedText(cairo_t* cr, unsigned outlineRgb);

    // Strokes the outline with widening pens in the outline colour, then fills
    // it; cr's state is left as it was.
    void Paint(cairo_t* cr) const;
    // The device rows its ink may reach: [Top(), Bottom()).
    int Top() const { return m_top; }
    int Bottom() const { return m_bottom; }

private:
    struct PathDeleter {
        void operator()(cairo_path_t* path) const { cairo_path_destroy(path); }
    };
    std::unique_ptr<cairo_path_t, PathDeleter> m_path;
    cairo_matrix_t m_matrix{};
    unsigned m_outlineRgb = 0;
    int m_top = 0;
    int m_bottom = 0;
};

// Outlines one status character on cr, its layout box's upper-left corner at
// (originX, originY), turned by angle degrees about its own centre; returns
// its advance along the circle. A "?" is a blank 15 px wide and gives no
// outline. cr's path is replaced; its transform is kept.
float OutlineArcChar(cairo_t* cr, const SkinFont& font, const std::string& ch,
                     const std::string& next, float angle, int originX, int originY,
                     std::unique_ptr<OutlinedText>& outline);

class FrameDrawing {
public:
    // Refers to the pictures of images, which must outlive it.
    FrameDrawing(const SkinImages& images, const SkinFont& font, const FrameState& state);

    // Whether any piece may touch rows [top, bottom).
    bool Touches(int top, int bottom) const;
    // Draws every piece that may touch rows [top, bottom) onto cr, whose user
    // space is the window's, over what cr's target holds.
    void Draw(cairo_t* cr, int top, int bottom) const;

private:
    struct Picture {
        const SkinPicture* picture;
        int x, y, visibleWidth;
    };
    struct Piece {
        int top, bottom;  // the rows it may touch
        std::variant<Picture, std::unique_ptr<OutlinedText>> what;
        bool Meets(int fromRow, int toRow) const { return top < toRow && fromRow < bottom; }
    };

    // Each adds nothing for a missing picture.
    void AddPicture(const SkinPicture* picture, int x, int y, int visibleWidth);
    void AddWholePicture(const SkinPicture* picture, int x, int y);
    void AddText(std::unique_ptr<OutlinedText> text);

    std::vector<Piece> m_pieces;
};
