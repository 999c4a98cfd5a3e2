// Pixel buffers of whole frames, used again and again. A frame is 2.8 MB and
// any thread may compose one: allocated afresh, each would be faulted in anew
// and freed into the malloc arena of whichever thread let go of it last, so
// every thread that ever rendered or painted would keep frames of its own.
#pragma once

#include <cairo.h>

// A transparent kSkinWidth x kSkinHeight ARGB32 surface over a pooled buffer;
// its buffer goes back to the pool when its last reference is destroyed. The
// pool holds as many buffers as were ever in use at once. Any thread.
cairo_surface_t* NewFrameSurface();
