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

// Feeds cairo's PNG reader from a buffer.
struct PngReader {
    const std::string& bytes;
    size_t offset = 0;

    static cairo_status_t Read(void* closure, unsigned char* data, unsigned int length) {
        auto* reader = static_cast<PngReader*>(closure);
        if (reader->bytes.size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
        reader->bytes.copy(reinterpret_cast<char*>(data), length, reader->offset);
        reader->offset += length;
        return CAIRO_STATUS_SUCCESS;
    }
};

void LoadSlot(SkinImages& table, int slot, int id) {
    table.slots[slot].reset();
    if (cairo_surface_t* decoded = LoadPngResource(id)) {
        table.slots[slot] = std::make_shared<const SkinPicture>(decoded);
        cairo_surface_destroy(decoded);
    }
}

}  // namespace

SkinImages& SkinImagesTable() {
    static SkinImages table;
    return table;
}

cairo_surface_t* LoadPngResource(int id) {
    std::string bytes;
    if (!ReadSkinResource("/vorn/skin/" + std::to_string(id) + ".png", bytes)) {
        fprintf(stderr, "Load (resource): Error loading resource: %d\n", id);
        return nullptr;
    }
    PngReader reader{bytes};
    cairo_surface_t* surface =
        cairo_image_surface_create_from_png_stream(&PngReader::Read, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        fprintf(stderr, "Load (resource): Error decoding picture: %d\n", id);
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

void LoadSkinImages(const void* window) {
    SkinImages& table = SkinImagesTable();
    table.window = window;
    LoadSlot(table, kGlobeSlot, kGlobeId);
    LoadSlot(table, kDashedArcSlot, kDashedArcId);
    LoadSlot(table, kSolidArcSlot, kSolidArcId);
    for (int frame = 0; frame < kBoatFrames; ++frame) LoadSlot(table, frame, kFirstBoatId + frame);
}
