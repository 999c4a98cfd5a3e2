// Pictures with known colours in place of the artwork, so that every pixel of
// a composition says which element put it there, and helpers to read it.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "skin/FrameState.h"
#include "skin/SkinImages.h"
#include "tests/support/TempDir.h"

// Opaque colours (0xAARRGGBB) of the stand-in pictures.
inline constexpr uint32_t kGlobeColour = 0xff102030;
inline constexpr uint32_t kDashedColour = 0xff20c040;
inline constexpr uint32_t kSolidColour = 0xffe01010;
// Boat frame f is filled with kBoatColour + f, so a pixel tells which frame
// was drawn.
inline constexpr uint32_t kBoatColour = 0xfff0f000;

constexpr uint32_t BoatColour(int frame) {
    return kBoatColour + static_cast<uint32_t>(frame);
}

// A table of stand-in pictures at the artwork's sizes.
class StandInImages {
public:
    StandInImages();

    // A copy of the table; it shares the pictures.
    SkinImages Table() const { return m_images; }

private:
    SkinImages m_images;
};

// An empty table with a window: only the text is drawn.
SkinImages TextOnlyTable();

// Renders, writes the frame as a PNG file into dir and returns it read back.
cairo_surface_t* RenderThroughPng(const TempDir& dir, const SkinImages& images,
                                  const FrameState& state, int osClass = 0);

uint32_t PixelAt(cairo_surface_t* surface, int x, int y);
// Pixels of a's size that differ between a and b.
long CountUnlike(cairo_surface_t* a, cairo_surface_t* b);

// A pixel of any stand-in boat frame.
bool IsBoat(uint32_t pixel);

// Pixels that are neither transparent nor of the given picture colours: the
// drawn text.
bool IsInk(uint32_t pixel);
int CountInk(cairo_surface_t* surface, int left, int top, int width, int height);
