// A drawing surface at a multiple of the picture's size, reduced to the final
// size at the end so that every edge is smooth.
#pragma once

#include <cairo.h>

class Canvas {
public:
    Canvas(int width, int height, int scale);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Drawing context in picture pixels.
    cairo_t* Context() const { return m_cr; }
    // A new width x height surface averaged from the large one.
    cairo_surface_t* Reduce() const;

private:
    int m_width;
    int m_height;
    int m_scale;
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
};
