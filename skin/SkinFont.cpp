#include "skin/SkinFont.h"

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <mutex>

#include "skin/SkinBundle.h"

namespace {

constexpr int kOldSystemClass = 1;

}  // namespace

SkinFont SelectSkinFont(int osClass) {
    if (osClass == kOldSystemClass) return SkinFont{"宋体", true};
    return SkinFont{"微软雅黑", false};
}

void InstallSkinFontAliases() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        std::string aliases;
        if (!ReadSkinResource(kFontAliasResource, aliases)) {
            fprintf(stderr, "Font aliases missing from the resource bundle\n");
            return;
        }
        FcConfig* config = FcConfigGetCurrent();
        if (!FcConfigParseAndLoadFromMemory(
                config, reinterpret_cast<const FcChar8*>(aliases.c_str()), FcTrue)) {
            fprintf(stderr, "Font aliases could not be loaded\n");
        }
    });
}
