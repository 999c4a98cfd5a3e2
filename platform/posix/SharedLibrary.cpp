#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace platform {

std::string SharedLibraryFileName(const std::string& name) {
    return "lib" + name + ".so";
}

void* LoadSharedLibrary(const std::string& path) {
    // A name without "/" would be searched in the system's folders.
    const std::string located = path.find('/') == std::string::npos ? "./" + path : path;
    return dlopen(located.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* SharedLibrarySymbol(void* library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

}  // namespace platform
