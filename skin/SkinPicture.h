// A picture of the window kept without its transparent parts: as pieces of
// kPictureBandRows rows, each cut to the columns where those rows hold a pixel
// that is not fully transparent. The globe keeps a little over half of its
// pixels this way, the arcs a tenth, a boat frame a third. Only read once
// made: any thread may draw it at the same time as others.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

inline constexpr int kPictureBandRows = 8;

class SkinPicture {
public:
    // A rectangle of the picture's pixels: premultiplied ARGB32, width to a
    // row. Everything outside the pieces is transparent.
    struct Piece {
        int x, y, width, height;
        std::unique_ptr<uint32_t[]> pixels;
    };

    // The pixels of picture, an image surface of any format; reads it without
    // keeping it.
    explicit SkinPicture(cairo_surface_t* picture);
    SkinPicture(const SkinPicture&) = delete;
    SkinPicture& operator=(const SkinPicture&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // In the order of their rows.
    const std::vector<Piece>& Pieces() const { return m_pieces; }

    // Writes pixels [x, x + count) of row y to out; transparent outside the
    // picture.
    void ReadRow(int y, int x, int count, uint32_t* out) const;
    // Blends the picture over cr's target with its upper-left corner at
    // (x, y) in cr's user space, cut to its first visibleWidth columns; only
    // its pieces that meet the rows [top, bottom) of that space are drawn.
    void DrawOver(cairo_t* cr, int x, int y, int visibleWidth, int top, int bottom) const;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<Piece> m_pieces;
    // For each band of kPictureBandRows rows, its piece, or -1.
    std::vector<int> m_pieceOfBand;
};
