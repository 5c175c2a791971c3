#include "app/view/StampAlong.h"

#include "foundation/image/blit.h"

#include <algorithm>
#include <cmath>

namespace My {

namespace {

// Cuts the segment p + t d, t in [0, 1], to the box; [t0, t1] is what lies
// inside, and false means nothing does.
bool ClipToBox(ImagePoint p, double dx, double dy, double left, double top, double right, double bottom,
    double& t0, double& t1)
{
    t0 = 0.0;
    t1 = 1.0;
    const double towards[4] = { -dx, dx, -dy, dy };
    const double room[4] = { p.x - left, right - p.x, p.y - top, bottom - p.y };
    for (int i = 0; i < 4; ++i) {
        if (towards[i] == 0.0) {
            if (room[i] < 0.0)
                return false;
            continue;
        }
        const double t = room[i] / towards[i];
        if (towards[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

} // namespace

bool StampAlong(img::image<img::bit>& mask, const img::image<img::bit>& stamp, int radius, ImagePoint from,
    ImagePoint to, bool set) noexcept
{
    if (radius < 1 || !std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x)
        || !std::isfinite(to.y))
        return false;
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    // A stamp centred further out than this misses the mask.
    const double margin = radius + 1.0;
    double t0 = 0.0;
    double t1 = 1.0;
    if (!ClipToBox(from, dx, dy, -margin, -margin, mask.width + margin, mask.height + margin, t0, t1))
        return false;
    // The stamps lie on a grid of equal steps over the whole segment, so a
    // stroke looks the same wherever the mask's edge cuts it.
    const double steps = std::max(1.0, std::ceil(std::hypot(dx, dy) / (radius / 2.0)));
    const long long first = std::max(1LL, static_cast<long long>(std::ceil(t0 * steps)));
    const long long last = static_cast<long long>(std::floor(t1 * steps));
    const int side = 2 * radius;
    for (long long i = first; i <= last; ++i) {
        const double t = static_cast<double>(i) / steps;
        // The last stamp lies exactly under the pointer, rounded half away
        // from zero as a single stamp is.
        const bool end = static_cast<double>(i) == steps;
        const int x = static_cast<int>(std::lround(end ? to.x : from.x + t * dx)) - radius;
        const int y = static_cast<int>(std::lround(end ? to.y : from.y + t * dy)) - radius;
        if (set)
            img::blit_or(mask, x, y, side, side, stamp, 0, 0);
        else
            img::blit_and_not(mask, x, y, side, side, stamp, 0, 0);
    }
    return first <= last;
}

} // namespace My
