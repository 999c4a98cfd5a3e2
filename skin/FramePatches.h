// A composed frame kept as the square tiles in which it differs from the
// picture it was composed over, the globe: text, arcs and boat cover a tenth
// of the window, so a window that holds its latest frame this way keeps a few
// hundred KB instead of a whole 2.8 MB frame.
#pragma once

#include <cairo.h>

#include <vector>

inline constexpr int kPatchTileSize = 32;

struct PatchTile {
    // Where the tile goes in the frame; tiles at the right and bottom edges
    // may be narrower or lower than kPatchTileSize.
    int x, y, width, height;
    // Its first row in the store.
    int storeRow;
};

class FramePatches {
public:
    // The tiles of frame (ARGB32) whose pixels differ from base's. base is a
    // picture of the frame's size and format, or null for a transparent one
    // (a base of another size counts as null); it is kept, and must not
    // change. Reads frame without keeping it. Any thread.
    FramePatches(cairo_surface_t* frame, cairo_surface_t* base);
    ~FramePatches();
    FramePatches(const FramePatches&) = delete;
    FramePatches& operator=(const FramePatches&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The kept base, or null.
    cairo_surface_t* Base() const { return m_base; }
    const std::vector<PatchTile>& Tiles() const { return m_tiles; }
    // The tiles' pixels: an ARGB32 surface kPatchTileSize wide, one tile
    // under the other, each in the upper-left corner of its square; null
    // when there is no tile.
    cairo_surface_t* Store() const { return m_store; }

    // Draws the frame again, base and then tiles, with its upper-left corner
    // at cr's origin, replacing what was there.
    void Paint(cairo_t* cr) const;

private:
    int m_width = 0;
    int m_height = 0;
    cairo_surface_t* m_base = nullptr;
    std::vector<PatchTile> m_tiles;
    cairo_surface_t* m_store = nullptr;
};
