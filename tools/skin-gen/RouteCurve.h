// The boat's route as a smooth curve, in the voyage arc pictures' own
// coordinates: both arcs are drawn along it, so the boat rides on the line.
#pragma once

#include <cairo.h>

#include <vector>

struct RoutePoint {
    double x;
    double y;
};

// The route's points, gently smoothed, with a short lead-in and run-out.
std::vector<RoutePoint> RouteCurvePoints();

// Adds the route to cr's path as one smooth curve through its points.
void TraceRoute(cairo_t* cr);

// Heading in radians (screen coordinates, clockwise from +x) of the stretch of
// the route on which boat frame is shown.
double FrameHeading(int frame);
