#include "tools/skin-gen/RouteCurve.h"

#include <algorithm>
#include <cmath>

#include "skin/SkinLayout.h"

namespace {

constexpr int kSmoothingReach = 3;
constexpr double kEndExtension = 6.0;

RoutePoint Along(RoutePoint from, RoutePoint to, double length) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double norm = std::hypot(dx, dy);
    return {from.x + dx / norm * length, from.y + dy / norm * length};
}

}  // namespace

std::vector<RoutePoint> RouteCurvePoints() {
    const auto& path = BoatPath();
    const int count = static_cast<int>(path.size());
    std::vector<RoutePoint> smoothed;
    // The table's points are whole pixels; a short symmetric average takes out
    // the stair steps and keeps the ends where they are.
    for (int i = 0; i < count; ++i) {
        const int reach = std::min({kSmoothingReach, i, count - 1 - i});
        RoutePoint sum{0, 0};
        for (int j = i - reach; j <= i + reach; ++j) {
            sum.x += path[j].x - kArcLeft;
            sum.y += path[j].y - kArcTop;
        }
        smoothed.push_back({sum.x / (2 * reach + 1), sum.y / (2 * reach + 1)});
    }
    std::vector<RoutePoint> points;
    points.push_back(Along(smoothed[0], smoothed[2], -kEndExtension));
    points.insert(points.end(), smoothed.begin(), smoothed.end());
    points.push_back(Along(smoothed[count - 1], smoothed[count - 3], -kEndExtension));
    return points;
}

void TraceRoute(cairo_t* cr) {
    const std::vector<RoutePoint> p = RouteCurvePoints();
    const size_t n = p.size();
    cairo_move_to(cr, p[0].x, p[0].y);
    // Catmull-Rom through every point, written as cubic Bezier pieces.
    for (size_t i = 0; i + 1 < n; ++i) {
        const RoutePoint& p0 = p[i == 0 ? 0 : i - 1];
        const RoutePoint& p1 = p[i];
        const RoutePoint& p2 = p[i + 1];
        const RoutePoint& p3 = p[std::min(i + 2, n - 1)];
        cairo_curve_to(cr, p1.x + (p2.x - p0.x) / 6, p1.y + (p2.y - p0.y) / 6,
                       p2.x - (p3.x - p1.x) / 6, p2.y - (p3.y - p1.y) / 6, p2.x, p2.y);
    }
}

double FrameHeading(int frame) {
    const auto& path = BoatPath();
    const int count = static_cast<int>(path.size());
    int first = count, last = -1;
    for (int i = 0; i < count; ++i) {
        if (path[i].frame != frame) continue;
        first = std::min(first, i);
        last = std::max(last, i);
    }
    // One point either side gives frames used for a single step a direction.
    const BoatStop& from = path[std::max(first - 1, 0)];
    const BoatStop& to = path[std::min(last + 1, count - 1)];
    return std::atan2(to.y - from.y, to.x - from.x);
}
