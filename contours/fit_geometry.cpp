#include "contours/fit_geometry.h"

#include <cmath>

namespace contours {

pointd normalise(pointd v)
{
    const double length = std::hypot(v.x, v.y);
    if (!(length > 0.0) || !std::isfinite(length))
        return { 1.0, 0.0 };
    return v / length;
}

handle_ratio smooth_ratio(
    const std::vector<pointf>& contour, std::size_t in, std::size_t node, std::size_t out, bool is_signed)
{
    const pointd centre(contour[node]);
    const pointd in_offset = pointd(contour[in]) - centre;
    const pointd out_offset = pointd(contour[out]) - centre;
    const double l_in = std::hypot(in_offset.x, in_offset.y);
    const double l_out = std::hypot(out_offset.x, out_offset.y);
    if (!(l_in + l_out > 0.0))
        return { -1.0, 1.0 };
    double a = l_in;
    if (is_signed && dot(in_offset, out_offset) < 0.0)
        a = -l_in;
    const double scale = 2.0 / (l_in + l_out);
    return { a * scale, l_out * scale };
}

decomposition decompose(pointd c, pointd a, pointd b)
{
    return { (b.x * c.y - b.y * c.x) / (b.x * a.y - b.y * a.x),
        (a.x * c.y - a.y * c.x) / (a.x * b.y - a.y * b.x) };
}

} // namespace contours
