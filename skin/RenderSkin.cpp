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

// Fills band with the window's rows from top on as they are before anything
// is drawn over the globe: the base's rows, or transparency.
void CopyBaseRows(const SkinPicture* base, cairo_surface_t* band, int top) {
    cairo_surface_flush(band);
    unsigned char* target = cairo_image_surface_get_data(band);
    const size_t stride = static_cast<size_t>(cairo_image_surface_get_stride(band));
    const int rows = std::min(cairo_image_surface_get_height(band), kSkinHeight - top);
    for (int row = 0; row < rows; ++row) {
        auto* pixels = reinterpret_cast<uint32_t*>(target + row * stride);
        if (base) {
            base->ReadRow(top + row, 0, kSkinWidth, pixels);
        } else {
            std::fill(pixels, pixels + kSkinWidth, 0u);
        }
    }
    cairo_surface_mark_dirty(band);
}

// Draws the globe onto a transparent frame: blended over transparency, it is
// copied.
void DrawGlobe(cairo_t* cr, const SkinPicture& globe) {
    globe.DrawOver(cr, 0, 0, globe.Width(), 0, kSkinHeight);
}

}  // namespace

cairo_surface_t* RenderSkin(const SkinImages& images, const SkinFont& font,
                            const FrameState& state) {
    if (!images.window) return nullptr;
    const FrameDrawing drawing(images, font, state);
    cairo_surface_t* surface = NewFrameSurface();
    cairo_t* cr = cairo_create(surface);
    cairo_set_tolerance(cr, kOutlineTolerance);
    if (const SkinPicture* globe = images.slots[kGlobeSlot].get()) DrawGlobe(cr, *globe);
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
    // A globe of the window's size is the base the patches are kept against;
    // one of another size (never the bundle's) is drawn into every band.
    const SkinPicture* base = patches->Base();
    const SkinPicture* drawnGlobe = base ? nullptr : globe;
    const FrameDrawing drawing(images, font, state);
    cairo_surface_t* band = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSkinWidth, kBandRows);
    for (int top = 0; top < kSkinHeight; top += kBandRows) {
        const int bottom = std::min(top + kBandRows, kSkinHeight);
        if (!drawnGlobe && !drawing.Touches(top, bottom)) continue;
        CopyBaseRows(base, band, top);
        // The band's user space is the window's.
        cairo_surface_set_device_offset(band, 0, -top);
        cairo_t* cr = cairo_create(band);
        cairo_set_tolerance(cr, kOutlineTolerance);
        if (drawnGlobe) DrawGlobe(cr, *drawnGlobe);
        drawing.Draw(cr, top, bottom);
        cairo_destroy(cr);
        cairo_surface_set_device_offset(band, 0, 0);
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
