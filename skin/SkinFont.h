// The font family of all text in the window.
//
// The launcher asks for the family names its artwork was made for: "宋体" with
// the larger percentage on systems of version class 1 (old systems that keep
// the "vorn_dir" layout), "微软雅黑" with the smaller one elsewhere. The
// remaining historical choice, "黑体" for systems older than every class this
// launcher runs on, never arises on Linux. None of the names is installed on
// Linux: the alias file in the resource bundle maps all of them, and "SimSun",
// to an installed CJK font.
#pragma once

#include <string>

struct SkinFont {
    std::string family;
    // The percentage is drawn at 22 px when set, else 20 px.
    bool m_bLargeFont = false;
};

SkinFont SelectSkinFont(int osClass);

// Adds the family aliases to fontconfig's current configuration. Runs once per
// process however often and from whichever threads it is called; the renderer
// calls it before it shapes any text.
void InstallSkinFontAliases();
