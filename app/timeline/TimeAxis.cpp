#include "app/timeline/TimeAxis.h"

#include <climits>
#include <cmath>

namespace My {

namespace {

// Pixel positions stay full ints; absurd values (a huge scale far from the
// offset) are held at the int range instead of overflowing.
int ToPixel(double v)
{
    if (!(v == v))
        return 0;
    if (v >= double(INT_MAX))
        return INT_MAX;
    if (v <= double(INT_MIN))
        return INT_MIN;
    return int(v);
}

} // namespace

int RoundHalfAway(double value)
{
    if (!(value == value))
        return 0;
    const double r = value >= 0 ? value + 0.5 : value - 0.5;
    if (r >= double(INT_MAX))
        return INT_MAX;
    if (r <= double(INT_MIN))
        return INT_MIN;
    return int(r);
}

double TimeAxis::XToTime(int x) const
{
    if (IsDegenerate() || !(scale > 0))
        return offset;
    return offset + width * double(x - margin) / (scale * (width - 2 * margin));
}

int TimeAxis::TimeToX(double t) const
{
    if (IsDegenerate() || !(scale > 0))
        return margin;
    const double x = std::floor((width - 2 * margin) * (t - offset) / (width / scale) + 0.5) + margin;
    return ToPixel(x);
}

int NavigatorAxis::TimeToX(double t) const
{
    if (IsDegenerate())
        return margin;
    return ToPixel(margin + std::floor((width - 2 * margin) * (t - first) / count + 0.5));
}

double NavigatorAxis::XToTime(int x) const
{
    if (IsDegenerate())
        return first;
    return first + double(count) * (x - margin) / (width - 2 * margin);
}

} // namespace My
