// Libraries loaded while the launcher runs: the host platform's helper library.
#pragma once

#include <string>

namespace platform {

// The file name of a library called name on this system: "lib<name>.so" on
// Linux, "<name>.dll" on Windows.
std::string SharedLibraryFileName(const std::string& name);

// Loads the library at path (a relative path from the current directory)
// with every symbol resolved at once; null when it cannot be loaded. It stays
// loaded until the process ends.
void* LoadSharedLibrary(const std::string& path);
// The address of the library's symbol name; null when it has none.
void* SharedLibrarySymbol(void* library, const char* name);

}  // namespace platform
