// The resource bundle linked into the launcher: the pictures under
// /vorn/skin/<id>.png and the font alias file.
#pragma once

#include <string>

inline constexpr const char* kFontAliasResource = "/vorn/fonts/vorn-fonts.conf";

// The bytes stored at path, or false when the bundle has no such entry.
bool ReadSkinResource(const std::string& path, std::string& bytes);
