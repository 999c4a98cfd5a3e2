// Writes the composed window to a PNG file, to look at a state without a
// display:
//   render-preview OUT.png [--percent N] [--status TEXT] [--detail TEXT]
//                  [--size TEXT] [--os-class N]
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "skin/RenderSkin.h"

namespace {

int Usage(const char* program) {
    fprintf(stderr,
            "usage: %s OUT.png [--percent N] [--status TEXT] [--detail TEXT] [--size TEXT] "
            "[--os-class N]\n",
            program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc % 2 != 0) return Usage(argv[0]);
    FrameState state;
    int osClass = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--percent") {
            state.percent = atoi(value);
        } else if (option == "--status") {
            state.status = value;
        } else if (option == "--detail") {
            state.detail = value;
        } else if (option == "--size") {
            state.size = value;
        } else if (option == "--os-class") {
            osClass = atoi(value);
        } else {
            return Usage(argv[0]);
        }
    }
    static const int kPreviewWindow = 0;
    LoadSkinImages(&kPreviewWindow);
    cairo_surface_t* frame = RenderSkin(SkinImagesTable(), SelectSkinFont(osClass), state);
    const cairo_status_t status = cairo_surface_write_to_png(frame, argv[1]);
    cairo_surface_destroy(frame);
    if (status != CAIRO_STATUS_SUCCESS) {
        fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1],
                cairo_status_to_string(status));
        return 1;
    }
    return 0;
}
