// A composed frame kept as the square tiles in which it differs from the
// picture it was composed over, the globe: text, arcs and boat cover a tenth
// of the window, so a window that holds its latest frame this way keeps a
// hundred-odd KB instead of a whole 2.8 MB frame. Small tiles follow the text
// and the arcs closely; 32-pixel ones would keep half as much again.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "skin/SkinPicture.h"

inline constexpr int kPatchTileSize = 16;

struct PatchTile {
    // Where the tile goes in the frame; tiles at the right and bottom edges
    // may be narrower or lower than kPatchTileSize.
    int x, y, width, height;
    // Its pixels (ARGB32), kPatchTileSize to a row, in the upper-left corner
    // of a kPatchTileSize square.
    std::unique_ptr<uint32_t[]> pixels;
};

class FramePatches {
public:
    // A width x height frame that is its base alone. base is a picture of
    // that size, or null for a transparent one (a base of another size counts
    // as null); it is kept. Any thread.
    FramePatches(int width, int height, std::shared_ptr<const SkinPicture> base);
    FramePatches(const FramePatches&) = delete;
    FramePatches& operator=(const FramePatches&) = delete;

    // Keeps the tiles of rows (ARGB32, the frame's width) that differ from
    // the base: rows holds the frame's rows from top on, top being a multiple
    // of kPatchTileSize; rows past the frame's bottom are ignored. Reads rows
    // without keeping them. Rows are added once each, before the frame is
    // shown.
    void Add(cairo_surface_t* rows, int top);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The kept base, or null.
    const SkinPicture* Base() const { return m_base.get(); }
    // In the order they were added.
    const std::vector<PatchTile>& Tiles() const { return m_tiles; }

    // Draws the frame again, base and then tiles, with its upper-left corner
    // at cr's origin, replacing what was there.
    void Paint(cairo_t* cr) const;

private:
    int m_width = 0;
    int m_height = 0;
    std::shared_ptr<const SkinPicture> m_base;
    std::vector<PatchTile> m_tiles;
};
