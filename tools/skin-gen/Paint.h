// Colour helpers for the artwork: colours written as 0xRRGGBB.
#pragma once

#include <cairo.h>

inline void SetColour(cairo_t* cr, unsigned rgb, double alpha = 1.0) {
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                          (rgb & 0xff) / 255.0, alpha);
}

inline void AddStop(cairo_pattern_t* pattern, double offset, unsigned rgb, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, ((rgb >> 16) & 0xff) / 255.0,
                                      ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, alpha);
}

// Makes pattern the source and drops the caller's reference.
inline void UsePattern(cairo_t* cr, cairo_pattern_t* pattern) {
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}
