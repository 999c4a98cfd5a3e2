// Placement of the status line along the window's circle: the first character
// stands upright at the bottom, the rest follow counter-clockwise, each turned
// by the angle it has travelled.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Draws one character at an integer origin, turned by angle degrees, and
// returns its advance along the circle.
using ArcCharDrawer = std::function<float(const std::string& ch, const std::string& next,
                                          float angle, int originX, int originY)>;

void LayOutStatusArc(const std::vector<std::string>& line, const ArcCharDrawer& drawChar);
