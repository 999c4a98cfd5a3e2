#include "skin/SkinBundle.h"

#include <gio/gio.h>

// Defined by the resource bundle the program links (plain C, generated).
extern "C" {
GResource* vorn_skin_bundle_get_resource(void);
void vorn_skin_bundle_register_resource(void);
}

namespace {

GResource* Bundle() {
    // Thread-safe one-time set-up of the bundle linked into the program.
    static GResource* const bundle = [] {
        vorn_skin_bundle_register_resource();
        return vorn_skin_bundle_get_resource();
    }();
    return bundle;
}

}  // namespace

GBytes* LookupSkinResource(const std::string& path) {
    return g_resource_lookup_data(Bundle(), path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
}

bool ReadSkinResource(const std::string& path, std::string& bytes) {
    GBytes* data = LookupSkinResource(path);
    if (!data) return false;
    gsize length = 0;
    const auto* begin = static_cast<const char*>(g_bytes_get_data(data, &length));
    bytes.assign(begin, length);
    g_bytes_unref(data);
    return true;
}
