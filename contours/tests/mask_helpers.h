#pragma once

#include "foundation/image/image.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace contours::testing {

inline bool pixel(const img::image<img::bit>& mask, unsigned x, unsigned y)
{
    return (mask.rows[y][x >> 3] & (0x80u >> (x & 7))) != 0;
}

inline void set_pixel(img::image<img::bit>& mask, unsigned x, unsigned y, bool value)
{
    mask.at(x, y) = value;
}

inline img::image<img::bit> empty_mask(unsigned width, unsigned height)
{
    img::image<img::bit> mask(width, height, 4);
    mask.fill(false);
    return mask;
}

// '#' is a set pixel, anything else a clear one; rows of equal length.
inline img::image<img::bit> mask_from_rows(const std::vector<std::string>& rows)
{
    img::image<img::bit> mask
        = empty_mask(static_cast<unsigned>(rows[0].size()), static_cast<unsigned>(rows.size()));
    for (unsigned y = 0; y < rows.size(); ++y)
        for (unsigned x = 0; x < rows[y].size(); ++x)
            set_pixel(mask, x, y, rows[y][x] == '#');
    return mask;
}

// Pixels whose centre lies within the ellipse.
inline img::image<img::bit> ellipse_mask(
    unsigned width, unsigned height, double cx, double cy, double rx, double ry)
{
    img::image<img::bit> mask = empty_mask(width, height);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const double dx = (x + 0.5 - cx) / rx;
            const double dy = (y + 0.5 - cy) / ry;
            set_pixel(mask, x, y, dx * dx + dy * dy <= 1.0);
        }
    return mask;
}

inline unsigned count_set(const img::image<img::bit>& mask)
{
    unsigned count = 0;
    for (unsigned y = 0; y < mask.height; ++y)
        for (unsigned x = 0; x < mask.width; ++x)
            count += pixel(mask, x, y);
    return count;
}

// Intersection over union of the set pixels of two masks of one size.
inline double overlap(const img::image<img::bit>& a, const img::image<img::bit>& b)
{
    unsigned both = 0, either = 0;
    for (unsigned y = 0; y < a.height; ++y)
        for (unsigned x = 0; x < a.width; ++x) {
            both += pixel(a, x, y) && pixel(b, x, y);
            either += pixel(a, x, y) || pixel(b, x, y);
        }
    return either == 0 ? 1.0 : double(both) / either;
}

} // namespace contours::testing
