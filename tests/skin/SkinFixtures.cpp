#include "tests/skin/SkinFixtures.h"

#include <algorithm>

#include "skin/RenderSkin.h"
#include "skin/SkinLayout.h"

namespace {

const int kTestWindow = 0;

std::shared_ptr<const SkinPicture> FilledPicture(int width, int height, uint32_t argb) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xff) / 255.0, ((argb >> 8) & 0xff) / 255.0,
                          (argb & 0xff) / 255.0, (argb >> 24) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    auto picture = std::make_shared<const SkinPicture>(surface);
    cairo_surface_destroy(surface);
    return picture;
}

}  // namespace

StandInImages::StandInImages() {
    m_images.window = &kTestWindow;
    for (int frame = 0; frame < kBoatFrames; ++frame) {
        m_images.slots[frame] = FilledPicture(kBoatFrameSizes[frame].width,
                                              kBoatFrameSizes[frame].height, BoatColour(frame));
    }
    m_images.slots[kSolidArcSlot] = FilledPicture(kArcWidth, kArcHeight, kSolidColour);
    m_images.slots[kDashedArcSlot] = FilledPicture(kArcWidth, kArcHeight, kDashedColour);
    m_images.slots[kGlobeSlot] = FilledPicture(kSkinWidth, kSkinHeight, kGlobeColour);
}

SkinImages TextOnlyTable() {
    SkinImages table;
    table.window = &kTestWindow;
    return table;
}

cairo_surface_t* RenderThroughPng(const TempDir& dir, const SkinImages& images,
                                  const FrameState& state, int osClass) {
    cairo_surface_t* frame = RenderSkin(images, SelectSkinFont(osClass), state);
    if (!frame) return nullptr;
    const std::string path = dir / "frame.png";
    cairo_surface_write_to_png(frame, path.c_str());
    cairo_surface_destroy(frame);
    return cairo_image_surface_create_from_png(path.c_str());
}

uint32_t PixelAt(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const uint32_t*>(row)[x];
}

long CountUnlike(cairo_surface_t* a, cairo_surface_t* b) {
    long unlike = 0;
    for (int y = 0; y < cairo_image_surface_get_height(a); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(a); ++x)
            unlike += PixelAt(a, x, y) != PixelAt(b, x, y);
    return unlike;
}

bool IsBoat(uint32_t pixel) {
    return pixel >= BoatColour(0) && pixel < BoatColour(kBoatFrames);
}

bool IsInk(uint32_t pixel) {
    return (pixel >> 24) != 0 && pixel != kGlobeColour && pixel != kDashedColour &&
           pixel != kSolidColour && !IsBoat(pixel);
}

int CountInk(cairo_surface_t* surface, int left, int top, int width, int height) {
    const int right = std::min(left + width, cairo_image_surface_get_width(surface));
    const int bottom = std::min(top + height, cairo_image_surface_get_height(surface));
    int ink = 0;
    for (int y = std::max(top, 0); y < bottom; ++y)
        for (int x = std::max(left, 0); x < right; ++x) ink += IsInk(PixelAt(surface, x, y));
    return ink;
}
