// Draws the window's pictures and writes them, as the resource bundle names
// them, into a folder (resources/skin of the source tree).
#include <cairo.h>

#include <cstdio>
#include <string>

#include "skin/SkinLayout.h"
#include "tools/skin-gen/ArcArt.h"
#include "tools/skin-gen/BoatArt.h"
#include "tools/skin-gen/GlobeArt.h"
#include "tools/skin-gen/PalettePng.h"

namespace {

bool WriteArgbPng(cairo_surface_t* surface, const std::string& path) {
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

bool WriteBoatFrame(int frame, const std::string& path) {
    cairo_surface_t* surface = DrawBoatFrame(frame);
    const bool written = WritePalettePng(surface, path);
    cairo_surface_destroy(surface);
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = WriteArgbPng(DrawGlobe(), dir + "/globe.png");
    ok = WriteArgbPng(DrawDashedArc(), dir + "/arc-dashed.png") && ok;
    ok = WriteArgbPng(DrawSolidArc(), dir + "/arc-solid.png") && ok;
    for (int frame = 0; frame < kBoatFrames; ++frame) {
        char name[32];
        snprintf(name, sizeof name, "/boat-%02d.png", frame);
        ok = WriteBoatFrame(frame, dir + name) && ok;
    }
    if (!ok)
        fprintf(stderr, "%s: some pictures could not be written to %s\n", argv[0], dir.c_str());
    return ok ? 0 : 1;
}
