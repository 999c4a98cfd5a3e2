// The resource bundle linked into the launcher: the pictures under
// /vorn/skin/<id>.png, the game's icon and the font alias file.
#pragma once

#include <glib.h>

#include <string>

inline constexpr const char* kFontAliasResource = "/vorn/fonts/vorn-fonts.conf";
// The icon of the desktop entry, for the launcher's windows.
inline constexpr const char* kWindowIconResource = "/vorn/icons/launcher.png";

// The bytes stored at path, or false when the bundle has no such entry.
bool ReadSkinResource(const std::string& path, std::string& bytes);
// The same bytes where the bundle holds them, no copy; null when it has no
// such entry. The caller unrefs them.
GBytes* LookupSkinResource(const std::string& path);
