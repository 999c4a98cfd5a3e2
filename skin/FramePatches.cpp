#include "skin/FramePatches.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTileStride = kPatchTileSize * 4;

const unsigned char* Row(cairo_surface_t* surface, int y) {
    return cairo_image_surface_get_data(surface) +
           static_cast<size_t>(y) * cairo_image_surface_get_stride(surface);
}

bool FitsFrame(cairo_surface_t* picture, int width, int height) {
    return cairo_image_surface_get_format(picture) == CAIRO_FORMAT_ARGB32 &&
           cairo_image_surface_get_width(picture) == width &&
           cairo_image_surface_get_height(picture) == height;
}

// Whether the tile at (x, top + row) of the frame differs from the base;
// rows holds the frame's rows from top on.
bool TileDiffers(cairo_surface_t* rows, int top, cairo_surface_t* base, const PatchTile& tile) {
    const size_t bytes = static_cast<size_t>(tile.width) * 4;
    const size_t offset = static_cast<size_t>(tile.x) * 4;
    for (int y = tile.y; y < tile.y + tile.height; ++y) {
        const unsigned char* pixels = Row(rows, y - top) + offset;
        if (base ? memcmp(pixels, Row(base, y) + offset, bytes) != 0
                 : std::any_of(pixels, pixels + bytes, [](unsigned char c) { return c != 0; })) {
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

// The base is shared between threads: it is drawn from a view of its pixels
// of our own, as cairo keeps unsynchronised state in a surface used as a source.
cairo_surface_t* ViewOf(cairo_surface_t* picture) {
    return cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(picture), cairo_image_surface_get_format(picture),
        cairo_image_surface_get_width(picture), cairo_image_surface_get_height(picture),
        cairo_image_surface_get_stride(picture));
}

void FillFrom(cairo_t* cr, cairo_surface_t* source, int x, int y, int width, int height) {
    cairo_set_source_surface(cr, source, x, y);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
}

}  // namespace

FramePatches::FramePatches(int width, int height, cairo_surface_t* base)
    : m_width(width), m_height(height) {
    if (base && FitsFrame(base, width, height)) {
        cairo_surface_flush(base);
        m_base = cairo_surface_reference(base);
    }
}

FramePatches::~FramePatches() {
    if (m_base) cairo_surface_destroy(m_base);
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
            if (!TileDiffers(rows, top, m_base, tile)) continue;
            tile.pixels = std::make_unique_for_overwrite<uint32_t[]>(kPatchTileSize * tile.height);
            for (int row = 0; row < tile.height; ++row) {
                memcpy(tile.pixels.get() + row * kPatchTileSize,
                       Row(rows, y + row - top) + static_cast<size_t>(x) * 4,
                       static_cast<size_t>(tile.width) * 4);
            }
            m_tiles.push_back(std::move(tile));
        }
    }
}

void FramePatches::Paint(cairo_t* cr) const {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (m_base) {
        cairo_surface_t* base = ViewOf(m_base);
        FillFrom(cr, base, 0, 0, m_width, m_height);
        cairo_surface_destroy(base);
    } else {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
        cairo_rectangle(cr, 0, 0, m_width, m_height);
        cairo_fill(cr);
    }
    for (const PatchTile& tile : m_tiles) {
        cairo_surface_t* pixels = ViewOf(tile);
        FillFrom(cr, pixels, tile.x, tile.y, tile.width, tile.height);
        cairo_surface_destroy(pixels);
    }
    cairo_restore(cr);
}
