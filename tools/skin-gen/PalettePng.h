// Writes a picture as an 8-bit palette PNG whose palette carries an alpha
// value per entry, so soft edges and shadows survive the reduction.
#pragma once

#include <cairo.h>

#include <string>

// Reduces the surface to at most 256 colours and writes it; false on failure.
bool WritePalettePng(cairo_surface_t* surface, const std::string& path);
