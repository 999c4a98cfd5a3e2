// Text turned into outlines in a cairo path, in the window's bold face.
#pragma once

#include <cairo.h>

#include <string>

struct TextStyle {
    std::string family;
    bool italic = false;
    double pixelSize = 18.0;
    // Width of the layout box the text is centred in; 0 lays it out from its
    // left edge without a box.
    double centredWidth = 0.0;
};

// Appends the outline of text to cr's current path, the upper-left corner of
// its layout box at (x, y) in cr's user space.
void AppendTextOutline(cairo_t* cr, const TextStyle& style, const std::string& text, double x,
                       double y);
