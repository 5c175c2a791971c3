#include "contours/point.h"

#include <algorithm>
#include <cmath>

namespace contours {

bool all_finite(const std::vector<pointf>& points)
{
    return std::all_of(
        points.begin(), points.end(), [](pointf p) { return std::isfinite(p.x) && std::isfinite(p.y); });
}

} // namespace contours
