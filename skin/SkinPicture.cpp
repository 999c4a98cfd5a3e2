#include "skin/SkinPicture.h"

#include <algorithm>
#include <cstring>

namespace {

// picture as ARGB32, converted when it has another format; a new reference.
cairo_surface_t* AsArgb32(cairo_surface_t* picture) {
    if (cairo_image_surface_get_format(picture) == CAIRO_FORMAT_ARGB32) {
        cairo_surface_flush(picture);
        return cairo_surface_reference(picture);
    }
    cairo_surface_t* converted =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(picture),
                                   cairo_image_surface_get_height(picture));
    cairo_t* cr = cairo_create(converted);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(converted);
    return converted;
}

const uint32_t* Row(cairo_surface_t* surface, int y) {
    return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface) +
                                             static_cast<size_t>(y) *
                                                 cairo_image_surface_get_stride(surface));
}

}  // namespace

SkinPicture::SkinPicture(cairo_surface_t* picture)
    : m_width(cairo_image_surface_get_width(picture)),
      m_height(cairo_image_surface_get_height(picture)) {
    cairo_surface_t* pixels = AsArgb32(picture);
    for (int top = 0; top < m_height; top += kPictureBandRows) {
        const int rows = std::min(kPictureBandRows, m_height - top);
        int left = m_width, right = 0;
        for (int y = top; y < top + rows; ++y) {
            const uint32_t* row = Row(pixels, y);
            const uint32_t* first = std::find_if(row, row + m_width, [](uint32_t p) { return p; });
            if (first == row + m_width) continue;
            const auto last =
                std::find_if(std::make_reverse_iterator(row + m_width),
                             std::make_reverse_iterator(first), [](uint32_t p) { return p; });
            left = std::min(left, static_cast<int>(first - row));
            right = std::max(right, static_cast<int>(last.base() - row));
        }
        if (left >= right) {
            m_pieceOfBand.push_back(-1);
            continue;
        }
        Piece piece{left, top, right - left, rows, nullptr};
        piece.pixels = std::make_unique_for_overwrite<uint32_t[]>(piece.width * rows);
        for (int row = 0; row < rows; ++row) {
            memcpy(piece.pixels.get() + row * piece.width, Row(pixels, top + row) + left,
                   static_cast<size_t>(piece.width) * 4);
        }
        m_pieceOfBand.push_back(static_cast<int>(m_pieces.size()));
        m_pieces.push_back(std::move(piece));
    }
    cairo_surface_destroy(pixels);
}

void SkinPicture::ReadRow(int y, int x, int count, uint32_t* out) const {
    std::fill(out, out + count, 0u);
    if (y < 0 || y >= m_height) return;
    const int index = m_pieceOfBand[y / kPictureBandRows];
    if (index < 0) return;
    const Piece& piece = m_pieces[index];
    const int from = std::max(x, piece.x);
    const int to = std::min(x + count, piece.x + piece.width);
    if (from >= to) return;
    memcpy(out + (from - x), piece.pixels.get() + (y - piece.y) * piece.width + (from - piece.x),
           static_cast<size_t>(to - from) * 4);
}

void SkinPicture::DrawOver(cairo_t* cr, int x, int y, int visibleWidth, int top, int bottom) const {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    for (const Piece& piece : m_pieces) {
        const int width = std::min(piece.width, visibleWidth - piece.x);
        if (width <= 0 || y + piece.y >= bottom || y + piece.y + piece.height <= top) continue;
        // cairo keeps unsynchronised state in a surface used as a source: each
        // use draws from a view of its own.
        cairo_surface_t* view = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(piece.pixels.get()), CAIRO_FORMAT_ARGB32, piece.width,
            piece.height, piece.width * 4);
        cairo_set_source_surface(cr, view, x + piece.x, y + piece.y);
        cairo_rectangle(cr, x + piece.x, y + piece.y, width, piece.height);
        cairo_fill(cr);
        cairo_surface_destroy(view);
    }
    cairo_restore(cr);
}
