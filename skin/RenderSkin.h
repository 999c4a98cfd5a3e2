// Composition of the whole globe window: globe, voyage arcs, percentage,
// status line and boat. Pure functions of their inputs; safe to call from any
// thread, also while another thread renders.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>

#include "skin/FramePatches.h"
#include "skin/FrameState.h"
#include "skin/SkinFont.h"
#include "skin/SkinImages.h"

// A new kSkinWidth x kSkinHeight ARGB32 surface, owned by the caller, that
// starts transparent; nullptr while the table has no window. Percentages below
// 0 draw as 0, above 100 as 100.
cairo_surface_t* RenderSkin(const SkinImages& images, const SkinFont& font,
                            const FrameState& state);

// The same frame as the window keeps it: the tiles where it differs from the
// globe. It is composed a band of rows at a time, and only where something is
// drawn, so no whole frame is ever held. nullptr while the table has no window.
std::unique_ptr<FramePatches> RenderSkinPatches(const SkinImages& images, const SkinFont& font,
                                                const FrameState& state);

// Draws one status character with its layout box's upper-left corner at the
// origin, turned by angle degrees about its own centre, and returns its
// advance. A "?" is a blank 15 px wide.
float DrawArcChar(cairo_t* cr, const SkinFont& font, const std::string& ch, const std::string& next,
                  float angle, int originX, int originY);
