#include "skin/FramePatches.h"

#include <algorithm>
#include <cstring>

namespace {

const unsigned char* Row(cairo_surface_t* surface, int y) {
    return cairo_image_surface_get_data(surface) +
           static_cast<size_t>(y) * cairo_image_surface_get_stride(surface);
}

bool SameSizeAndFormat(cairo_surface_t* a, cairo_surface_t* b) {
    return cairo_image_surface_get_format(a) == cairo_image_surface_get_format(b) &&
           cairo_image_surface_get_width(a) == cairo_image_surface_get_width(b) &&
           cairo_image_surface_get_height(a) == cairo_image_surface_get_height(b);
}

bool TileDiffers(cairo_surface_t* frame, cairo_surface_t* base, const PatchTile& tile) {
    const size_t bytes = static_cast<size_t>(tile.width) * 4;
    const size_t offset = static_cast<size_t>(tile.x) * 4;
    for (int y = tile.y; y < tile.y + tile.height; ++y) {
        const unsigned char* pixels = Row(frame, y) + offset;
        if (base ? memcmp(pixels, Row(base, y) + offset, bytes) != 0
                 : std::any_of(pixels, pixels + bytes, [](unsigned char c) { return c != 0; })) {
            return true;
        }
    }
    return false;
}

// The base is shared between threads: it is drawn from a view of its pixels
// of our own, as cairo keeps unsynchronised state in a surface used as a source.
cairo_surface_t* ViewOf(cairo_surface_t* picture) {
    return cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(picture), cairo_image_surface_get_format(picture),
        cairo_image_surface_get_width(picture), cairo_image_surface_get_height(picture),
        cairo_image_surface_get_stride(picture));
}

void FillFrom(cairo_t* cr, cairo_surface_t* source, double sourceX, double sourceY,
              const PatchTile& where) {
    cairo_set_source_surface(cr, source, sourceX, sourceY);
    cairo_rectangle(cr, where.x, where.y, where.width, where.height);
    cairo_fill(cr);
}

}  // namespace

FramePatches::FramePatches(cairo_surface_t* frame, cairo_surface_t* base)
    : m_width(cairo_image_surface_get_width(frame)),
      m_height(cairo_image_surface_get_height(frame)) {
    cairo_surface_flush(frame);
    if (base && SameSizeAndFormat(frame, base)) m_base = cairo_surface_reference(base);
    for (int y = 0; y < m_height; y += kPatchTileSize) {
        for (int x = 0; x < m_width; x += kPatchTileSize) {
            const PatchTile tile{x, y, std::min(kPatchTileSize, m_width - x),
                                 std::min(kPatchTileSize, m_height - y),
                                 static_cast<int>(m_tiles.size()) * kPatchTileSize};
            if (TileDiffers(frame, m_base, tile)) m_tiles.push_back(tile);
        }
    }
    if (m_tiles.empty()) return;

    m_store = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kPatchTileSize,
                                         static_cast<int>(m_tiles.size()) * kPatchTileSize);
    unsigned char* store = cairo_image_surface_get_data(m_store);
    const size_t storeStride = static_cast<size_t>(cairo_image_surface_get_stride(m_store));
    for (const PatchTile& tile : m_tiles) {
        for (int row = 0; row < tile.height; ++row) {
            memcpy(store + (tile.storeRow + row) * storeStride,
                   Row(frame, tile.y + row) + static_cast<size_t>(tile.x) * 4,
                   static_cast<size_t>(tile.width) * 4);
        }
    }
    cairo_surface_mark_dirty(m_store);
}

FramePatches::~FramePatches() {
    if (m_base) cairo_surface_destroy(m_base);
    if (m_store) cairo_surface_destroy(m_store);
}

void FramePatches::Paint(cairo_t* cr) const {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (m_base) {
        cairo_surface_t* base = ViewOf(m_base);
        FillFrom(cr, base, 0, 0, PatchTile{0, 0, m_width, m_height, 0});
        cairo_surface_destroy(base);
    } else {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
        cairo_rectangle(cr, 0, 0, m_width, m_height);
        cairo_fill(cr);
    }
    for (const PatchTile& tile : m_tiles) {
        FillFrom(cr, m_store, tile.x, tile.y - tile.storeRow, tile);
    }
    cairo_restore(cr);
}
