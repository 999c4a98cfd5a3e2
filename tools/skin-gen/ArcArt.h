// The two voyage arc pictures, 539 x 201.
#pragma once

#include <cairo.h>

// The route still to travel: quiet light dashes.
cairo_surface_t* DrawDashedArc();
// The route already travelled: a bright gold line.
cairo_surface_t* DrawSolidArc();
