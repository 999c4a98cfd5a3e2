// The boat frames: a small white sailing boat seen from above, one frame per
// heading along the route, with its wake and shadow.
#pragma once

#include <cairo.h>

// Frame 0..17 at its natural size.
cairo_surface_t* DrawBoatFrame(int frame);
