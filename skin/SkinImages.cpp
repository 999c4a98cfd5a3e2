#include "skin/SkinImages.h"

#include <cstdio>
#include <string>

#include "skin/SkinBundle.h"
#include "skin/SkinLayout.h"

namespace {

constexpr int kGlobeId = 170;
constexpr int kDashedArcId = 171;
constexpr int kSolidArcId = 172;
constexpr int kFirstBoatId = 174;

// The PNG bytes of picture id, or null with one line on standard error.
GBytes* PngResource(int id) {
    GBytes* png = LookupSkinResource("/vorn/skin/" + std::to_string(id) + ".png");
    if (!png) fprintf(stderr, "Load (resource): Error loading resource: %d\n", id);
    return png;
}

// The picture decoded from png, or null with one line on standard error.
cairo_surface_t* Decode(GBytes* png, int id) {
    cairo_surface_t* surface = DecodePng(png);
    if (!surface) fprintf(stderr, "Load (resource): Error decoding picture: %d\n", id);
    return surface;
}

void LoadSlot(SkinImages& table, int slot, int id) {
    table.slots[slot].reset();
    if (cairo_surface_t* decoded = LoadPngResource(id)) {
        table.slots[slot] = std::make_shared<const SkinPicture>(decoded);
        cairo_surface_destroy(decoded);
    }
}

// As LoadSlot, but the picture is kept as its PNG bytes. It is decoded once
// here all the same, so that a broken one is found at load.
void LoadSlotAsPng(SkinImages& table, int slot, int id) {
    table.slots[slot].reset();
    GBytes* png = PngResource(id);
    if (!png) return;
    if (cairo_surface_t* decoded = Decode(png, id)) {
        table.slots[slot] = std::make_shared<const SkinPicture>(
            png, cairo_image_surface_get_width(decoded), cairo_image_surface_get_height(decoded));
        cairo_surface_destroy(decoded);
    }
    g_bytes_unref(png);
}

}  // namespace

SkinImages& SkinImagesTable() {
    static SkinImages table;
    return table;
}

cairo_surface_t* LoadPngResource(int id) {
    GBytes* png = PngResource(id);
    if (!png) return nullptr;
    cairo_surface_t* surface = Decode(png, id);
    g_bytes_unref(png);
    return surface;
}

void LoadSkinImages(const void* window) {
    SkinImages& table = SkinImagesTable();
    table.window = window;
    LoadSlot(table, kGlobeSlot, kGlobeId);
    LoadSlot(table, kDashedArcSlot, kDashedArcId);
    LoadSlot(table, kSolidArcSlot, kSolidArcId);
    // One boat frame is drawn at a time, and it changes every few percent.
    for (int frame = 0; frame < kBoatFrames; ++frame) {
        LoadSlotAsPng(table, frame, kFirstBoatId + frame);
    }
}
