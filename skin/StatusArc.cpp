#include "skin/StatusArc.h"

#include <cmath>

#include "skin/SkinLayout.h"

namespace {

constexpr double kCharSpacing = 2.0;
// pi to seven decimals, as the character turns were designed with.
constexpr double kHalfTurn = 3.1415926;

}  // namespace

void LayOutStatusArc(const std::vector<std::string>& line, const ArcCharDrawer& drawChar) {
    static const std::string kNone;
    double arc = 0.0;
    for (size_t i = 0; i < line.size(); ++i) {
        const double theta = arc / kStatusRadius;
        const int originX = static_cast<int>(std::sin(theta) * kStatusRadius + kStatusCentreX);
        const int originY = static_cast<int>(std::cos(theta) * kStatusRadius + kStatusCentreY);
        const float angle = static_cast<float>(theta * -1.0 * 180.0 / kHalfTurn);
        const std::string& next = i + 1 < line.size() ? line[i + 1] : kNone;
        arc += drawChar(line[i], next, angle, originX, originY) + kCharSpacing;
    }
}
