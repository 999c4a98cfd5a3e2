#include "skin/RenderSkin.h"

#include <algorithm>

#include "skin/FrameDrawing.h"
#include "skin/FramePool.h"
#include "skin/SkinLayout.h"

namespace {

// Text outlines are flattened to a quarter pixel: stroking them is most of a
// frame's cost, and a finer curve shows no difference.
constexpr double kOutlineTolerance = 0.25;

// Rows composed at once: whole tile rows, so that each band gives whole tiles.
constexpr int kBandRows = 4 * kPatchTileSize;

// Fills target, which holds the window's rows from top on, with what the
// window shows before anything is drawn over the globe. A globe of the
// window's size is copied row by row, transparent where it has no pixels; one
// of another size (never the bundle's) is blended over transparency, which
// copies it too.
void PaintGlobe(cairo_surface_t* target, int top, const SkinPicture* globe) {
    const bool fits = globe && globe->Width() == kSkinWidth && globe->Height() == kSkinHeight;
    cairo_surface_flush(target);
    const int rows = std::min(cairo_image_surface_get_height(target), kSkinHeight - top);
    for (int row = 0; row < rows; ++row) {
        uint32_t* pixels = PixelRow(target, row);
        if (fits) {
            globe->ReadRow(top + row, 0, kSkinWidth, pixels);
        } else {
            std::fill(pixels, pixels + kSkinWidth, 0u);
        }
    }
    cairo_surface_mark_dirty(target);
    if (globe && !fits) {
        cairo_t* cr = cairo_create(target);
        globe->DrawOver(cr, 0, 0, globe->Width(), top, top + rows);
        cairo_destroy(cr);
    }
}

}  // namespace

cairo_surface_t* RenderSkin(const SkinImages& images, const SkinFont& font,
                            const FrameState& state) {
    if (!images.window) return nullptr;
    const FrameDrawing drawing(images, font, state);
    cairo_surface_t* surface = NewFrameSurface();
    PaintGlobe(surface, 0, images.slots[kGlobeSlot].get());
    cairo_t* cr = cairo_create(surface);
    cairo_set_tolerance(cr, kOutlineTolerance);
    drawing.Draw(cr, 0, kSkinHeight);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

std::unique_ptr<FramePatches> RenderSkinPatches(const SkinImages& images, const SkinFont& font,
                                                const FrameState& state) {
    if (!images.window) return nullptr;
    const SkinPicture* globe = images.slots[kGlobeSlot].get();
    auto patches =
        std::make_unique<FramePatches>(kSkinWidth, kSkinHeight, images.slots[kGlobeSlot]);
    // Bands where nothing is drawn equal the base, when the patches keep the
    // globe as theirs; a globe they do not keep is in every band.
    const bool everyBand = globe && !patches->Base();
    const FrameDrawing drawing(images, font, state);
    cairo_surface_t* band = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSkinWidth, kBandRows);
    for (int top = 0; top < kSkinHeight; top += kBandRows) {
        const int bottom = std::min(top + kBandRows, kSkinHeight);
        if (!everyBand && !drawing.Touches(top, bottom)) continue;
        // The band's user space is the window's.
        cairo_surface_set_device_offset(band, 0, -top);
        PaintGlobe(band, top, globe);
        cairo_t* cr = cairo_create(band);
        cairo_set_tolerance(cr, kOutlineTolerance);
        drawing.Draw(cr, top, bottom);
        cairo_destroy(cr);
        patches->Add(band, top);
    }
    cairo_surface_destroy(band);
    return patches;
}

float DrawArcChar(cairo_t* cr, const SkinFont& font, const std::string& ch, const std::string& next,
                  float angle, int originX, int originY) {
    std::unique_ptr<OutlinedText> outline;
    const float advance = OutlineArcChar(cr, font, ch, next, angle, originX, originY, outline);
    if (outline) outline->Paint(cr);
    return advance;
}
