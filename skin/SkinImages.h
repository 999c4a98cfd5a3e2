// The process-wide picture table of the window: the boat frames, both voyage
// arcs and the globe, from the resource bundle. The globe and the arcs are
// decoded once; a boat frame is decoded when drawn.
#pragma once

#include <cairo.h>

#include <memory>

#include "skin/SkinPicture.h"

inline constexpr int kSkinSlots = 21;
inline constexpr int kSolidArcSlot = 18;
inline constexpr int kDashedArcSlot = 19;
inline constexpr int kGlobeSlot = 20;

struct SkinImages {
    // Boat frames 0..17, then the solid arc, the dashed arc and the globe; an
    // empty slot is a picture that could not be loaded.
    std::shared_ptr<const SkinPicture> slots[kSkinSlots];
    // The window whose skin this is; nothing is drawn while it is null.
    const void* window = nullptr;
};

// Written by LoadSkinImages on the window thread before the first render; only
// read afterwards, by any thread.
SkinImages& SkinImagesTable();

// Stores the window, then loads picture 170 into slot 20, 171 into 19, 172 into
// 18 and 174..191 into 0..17. A picture that cannot be loaded leaves its slot
// empty, with one line on standard error, and loading goes on. Calling it again
// replaces the pictures, so it must not run while a render reads the table.
void LoadSkinImages(const void* window);

// A new surface decoded from picture id of the bundle, or nullptr (with one
// line on standard error).
cairo_surface_t* LoadPngResource(int id);
