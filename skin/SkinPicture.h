// A picture of the window kept without its transparent parts: as pieces of
// kPictureBandRows rows, each cut to the columns where those rows hold a pixel
// that is not fully transparent. The globe keeps a little over half of its
// pixels this way, the arcs a tenth, a boat frame a third. A picture may also
// be kept as its PNG bytes and decoded when drawn (the boat frames: one is
// drawn at a time). Only read once made: any thread may draw it at the same
// time as others.
#pragma once

#include <cairo.h>
#include <glib.h>

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

    // Decoded pixels, as pieces.
    class Pixels {
    public:
        // The pixels of picture, an image surface of any format; reads it
        // without keeping it.
        explicit Pixels(cairo_surface_t* picture);
        Pixels(const Pixels&) = delete;
        Pixels& operator=(const Pixels&) = delete;

        // In the order of their rows.
        const std::vector<Piece>& Pieces() const { return m_pieces; }
        // As SkinPicture's own, below.
        void ReadRow(int y, int x, int count, uint32_t* out) const;
        void DrawOver(cairo_t* cr, int x, int y, int visibleWidth, int top, int bottom) const;

    private:
        int m_width = 0;
        int m_height = 0;
        std::vector<Piece> m_pieces;
        // For each band of kPictureBandRows rows, its piece, or -1.
        std::vector<int> m_pieceOfBand;
    };

    // Keeps the pixels of picture, an image surface of any format, decoded;
    // reads it without keeping it.
    explicit SkinPicture(cairo_surface_t* picture);
    // Keeps png, the PNG bytes of a width x height picture, and decodes them
    // when the pixels are asked for. Only the picture kept this way that was
    // decoded last keeps its pixels, until another is decoded.
    SkinPicture(GBytes* png, int width, int height);
    SkinPicture(const SkinPicture&) = delete;
    SkinPicture& operator=(const SkinPicture&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Its pixels, decoded now for a picture kept as PNG bytes; null when they
    // cannot be decoded. They stay valid while the pointer is held.
    std::shared_ptr<const Pixels> Decoded() const;

    // Writes pixels [x, x + count) of row y to out; transparent outside the
    // picture.
    void ReadRow(int y, int x, int count, uint32_t* out) const;
    // Blends the picture over cr's target with its upper-left corner at
    // (x, y) in cr's user space, cut to its first visibleWidth columns; only
    // its pieces that meet the rows [top, bottom) of that space are drawn.
    void DrawOver(cairo_t* cr, int x, int y, int visibleWidth, int top, int bottom) const;

private:
    struct BytesDeleter {
        void operator()(GBytes* bytes) const { g_bytes_unref(bytes); }
    };

    int m_width = 0;
    int m_height = 0;
    // Either the pixels, kept, or the PNG bytes and the picture's key in the
    // cache of the last decoded picture.
    std::shared_ptr<const Pixels> m_kept;
    std::unique_ptr<GBytes, BytesDeleter> m_png;
    uint64_t m_cacheKey = 0;
};

// A new image surface decoded from PNG bytes, or null when they are not a
// whole PNG picture.
cairo_surface_t* DecodePng(GBytes* png);

// Row y of an ARGB32 image surface.
uint32_t* PixelRow(cairo_surface_t* surface, int y);
