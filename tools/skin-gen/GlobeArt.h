// The globe picture, 764 x 915: the ocean globe with its grid and islands, the
// ring band behind the status line, the game's name and the stand. Its alpha
// channel is the window's shape.
#pragma once

#include <cairo.h>

cairo_surface_t* DrawGlobe();
