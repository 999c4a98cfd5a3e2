#include "skin/FramePatches.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTileStride = kPatchTileSize * 4;

// Whether the tile differs from the base, or from transparency without one;
// rows holds the frame's rows from top on.
bool TileDiffers(cairo_surface_t* rows, int top, const SkinPicture* base, const PatchTile& tile) {
    uint32_t basePixels[kPatchTileSize] = {};
    for (int y = tile.y; y < tile.y + tile.height; ++y) {
        if (base) base->ReadRow(y, tile.x, tile.width, basePixels);
        if (memcmp(PixelRow(rows, y - top) + tile.x, basePixels,
                   static_cast<size_t>(tile.width) * 4) != 0) {
            return true;
        }
    }
    return false;
}

// cairo only reads a source surface: a view of a tile's pixels.
cairo_surface_t* ViewOf(const PatchTile& tile) {
    return cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(tile.pixels.get()),
                                               CAIRO_FORMAT_ARGB32, tile.width, tile.height,
                                               kTileStride);
}

void FillFrom(cairo_t* cr, cairo_surface_t* source, int x, int y, int width, int height) {
    cairo_set_source_surface(cr, source, x, y);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
}

}  // namespace

FramePatches::FramePatches(int width, int height, std::shared_ptr<const SkinPicture> base)
    : m_width(width), m_height(height) {
    if (base && base->Width() == width && base->Height() == height) m_base = std::move(base);
}

void FramePatches::Add(cairo_surface_t* rows, int top) {
    cairo_surface_flush(rows);
    if (cairo_image_surface_get_format(rows) != CAIRO_FORMAT_ARGB32 ||
        cairo_image_surface_get_width(rows) != m_width) {
        return;
    }
    const int bottom = std::min(top + cairo_image_surface_get_height(rows), m_height);
    for (int y = top; y < bottom; y += kPatchTileSize) {
        for (int x = 0; x < m_width; x += kPatchTileSize) {
            PatchTile tile{x, y, std::min(kPatchTileSize, m_width - x),
                           std::min(kPatchTileSize, bottom - y), nullptr};
            if (!TileDiffers(rows, top, m_base.get(), tile)) continue;
            tile.pixels = std::make_unique_for_overwrite<uint32_t[]>(kPatchTileSize * tile.height);
            for (int row = 0; row < tile.height; ++row) {
                memcpy(tile.pixels.get() + row * kPatchTileSize, PixelRow(rows, y + row - top) + x,
                       static_cast<size_t>(tile.width) * 4);
            }
            m_tiles.push_back(std::move(tile));
        }
    }
}

void FramePatches::Paint(cairo_t* cr) const {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_rectangle(cr, 0, 0, m_width, m_height);
    cairo_fill(cr);
    // Blended over transparency, the base is copied.
    if (m_base) m_base->DrawOver(cr, 0, 0, m_width, 0, m_height);
    for (const PatchTile& tile : m_tiles) {
        cairo_surface_t* pixels = ViewOf(tile);
        FillFrom(cr, pixels, tile.x, tile.y, tile.width, tile.height);
        cairo_surface_destroy(pixels);
    }
    cairo_restore(cr);
}
