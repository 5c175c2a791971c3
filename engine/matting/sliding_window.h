#pragma once

// Window sums carried along a path of pixels, and the serpentine path itself,
// for the stages that fit a model to the square window around each pixel
// they visit (matting and smoothing).
//
// The window of a pixel (x, y) holds the pixels within `half` of it in x and
// in y, clipped to the image. The sums are integers, so carrying them from
// one window to the next (removing the pixels that leave, adding those that
// enter) gives exactly the sums computed from scratch; a move carries when
// that touches fewer pixels than recomputing.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "foundation/image/image.h"

namespace trm {

// The pixels [x0, x1) x [y0, y1).
struct pixel_rect {
    unsigned x0 = 0;
    unsigned x1 = 0;
    unsigned y0 = 0;
    unsigned y1 = 0;

    std::uint64_t width() const noexcept { return x1 - x0; }
    std::uint64_t height() const noexcept { return y1 - y0; }
    std::uint64_t area() const noexcept { return width() * height(); }
};

// Keeps `Sums` equal to the sums over the window of the pixel last moved to.
// Sums provides reset() (all sums 0) and add(const pixel_rect&, int sign)
// (sign +1 adds the rectangle's pixels, -1 removes them).
template <class Sums> class sliding_window {
public:
    sliding_window(unsigned width, unsigned height, unsigned half) noexcept
        : m_width(width)
        , m_height(height)
        , m_half(half)
    {
    }

    // Moves the window to (x, y), a pixel of the image, and updates the sums.
    const pixel_rect& move_to(unsigned x, unsigned y, Sums& sums)
    {
        const pixel_rect next = window_of(x, y);
        if (!m_valid || carry_cost(next) >= next.area()) {
            sums.reset();
            sums.add(next, +1);
        } else {
            shift_columns(next, sums);
            shift_rows(next, sums);
        }
        m_current = next;
        m_valid = true;
        return m_current;
    }

private:
    pixel_rect window_of(unsigned x, unsigned y) const noexcept
    {
        return { x > m_half ? x - m_half : 0u,
            static_cast<unsigned>(std::min<std::uint64_t>(std::uint64_t(x) + m_half + 1, m_width)),
            y > m_half ? y - m_half : 0u,
            static_cast<unsigned>(std::min<std::uint64_t>(std::uint64_t(y) + m_half + 1, m_height)) };
    }

    static std::uint64_t distance(unsigned a, unsigned b) noexcept { return a > b ? a - b : b - a; }

    // Pixels touched by carrying: columns over the old rows, then rows over
    // the new columns. Windows that do not overlap are recomputed.
    std::uint64_t carry_cost(const pixel_rect& next) const noexcept
    {
        const pixel_rect& c = m_current;
        if (next.x0 >= c.x1 || c.x0 >= next.x1 || next.y0 >= c.y1 || c.y0 >= next.y1)
            return next.area();
        return (distance(c.x0, next.x0) + distance(c.x1, next.x1)) * c.height()
            + (distance(c.y0, next.y0) + distance(c.y1, next.y1)) * next.width();
    }

    // Changes the range [a0, a1) to [b0, b1) (the two overlap): strip(lo,
    // hi, sign) removes (−1) or adds (+1) the pixels of [lo, hi) along the
    // range's axis.
    template <class Strip>
    static void shift(unsigned a0, unsigned a1, unsigned b0, unsigned b1, Strip&& strip)
    {
        if (b0 > a0)
            strip(a0, b0, -1);
        else if (b0 < a0)
            strip(b0, a0, +1);
        if (b1 < a1)
            strip(b1, a1, -1);
        else if (b1 > a1)
            strip(a1, b1, +1);
    }

    void shift_columns(const pixel_rect& next, Sums& sums)
    {
        const pixel_rect& c = m_current;
        shift(c.x0, c.x1, next.x0, next.x1, [&](unsigned lo, unsigned hi, int sign) {
            sums.add({ lo, hi, c.y0, c.y1 }, sign);
        });
    }

    void shift_rows(const pixel_rect& next, Sums& sums)
    {
        shift(m_current.y0, m_current.y1, next.y0, next.y1, [&](unsigned lo, unsigned hi, int sign) {
            sums.add({ next.x0, next.x1, lo, hi }, sign);
        });
    }

    unsigned m_width;
    unsigned m_height;
    unsigned m_half;
    pixel_rect m_current;
    bool m_valid = false;
};

// The set pixels of row y of a bit mask, left to right, into `out`
// (replacing its contents). Padding bits are never reported.
void set_pixels_of_row(const img::image<img::bit>& mask, unsigned y, std::vector<unsigned>& out);

// Calls visit(x, y) for every set pixel of the mask in serpentine order: even
// rows left to right, odd rows right to left. Each row is read before its
// pixels are visited, so `visit` may change the mask at the pixel it is given.
template <class Visit> void visit_serpentine(const img::image<img::bit>& mask, Visit&& visit)
{
    std::vector<unsigned> row;
    for (unsigned y = 0; y < mask.height; ++y) {
        set_pixels_of_row(mask, y, row);
        if (y & 1u)
            std::reverse(row.begin(), row.end());
        for (unsigned x : row)
            visit(x, y);
    }
}

} // namespace trm
