#include "contours/fill_contour.h"

#include "contours/fit_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace contours {

namespace {

constexpr double flatness = 0.01;
constexpr unsigned max_pieces = 1024;
// The most crossings held at once (8 MiB); more are filled band by band.
constexpr std::uint64_t max_band_crossings = std::uint64_t(1) << 20;

// The contour as a closed polygon. A cubic is cut into n equal parameter
// steps; the chord of a step stays within max|B''| / (8 n^2) of the curve,
// and |B''| <= 6 max(|P0 - 2 P1 + P2|, |P1 - 2 P2 + P3|).
void flatten(const std::vector<pointf>& contour, std::vector<pointd>& polygon)
{
    polygon.clear();
    polygon.push_back(pointd(contour[0]));
    for (std::size_t i = 0; i + 3 < contour.size(); i += 3) {
        const pointd p0(contour[i]), p1(contour[i + 1]), p2(contour[i + 2]), p3(contour[i + 3]);
        const double bend = std::sqrt(std::max(norm2(p0 - p1 * 2.0 + p2), norm2(p1 - p2 * 2.0 + p3)));
        const double wanted = std::ceil(std::sqrt(0.75 * bend / flatness));
        const unsigned pieces
            = wanted >= max_pieces ? max_pieces : std::max(1u, static_cast<unsigned>(wanted));
        for (unsigned k = 1; k < pieces; ++k)
            polygon.push_back(bezier_point(p0, p1, p2, p3, double(k) / pieces));
        polygon.push_back(p3);
    }
}

// The first pixel index whose centre x + 0.5 is at or right of `edge`,
// clamped to [0, limit].
std::int64_t first_centre_at(double edge, std::int64_t limit)
{
    const double index = std::ceil(edge - 0.5);
    if (index <= 0.0)
        return 0;
    if (index >= double(limit))
        return limit;
    return static_cast<std::int64_t>(index);
}

void set_span(unsigned char* row, std::int64_t from, std::int64_t to)
{
    if (from >= to)
        return;
    std::int64_t first_byte = from >> 3;
    const std::int64_t last_byte = (to - 1) >> 3;
    const unsigned head = 0xFFu >> (from & 7);
    const unsigned tail = 0xFFu << (7 - ((to - 1) & 7));
    if (first_byte == last_byte) {
        row[first_byte] |= static_cast<unsigned char>(head & tail);
        return;
    }
    row[first_byte++] |= static_cast<unsigned char>(head);
    if (last_byte > first_byte)
        std::memset(row + first_byte, 0xFF, static_cast<std::size_t>(last_byte - first_byte));
    row[last_byte] |= static_cast<unsigned char>(tail);
}

} // namespace

void fill_contour_into_mask(const std::vector<pointf>& contour, img::image<img::bit>& mask)
{
    if (!all_finite(contour))
        throw std::runtime_error("The contour to fill has coordinates that are not finite numbers");
    const std::int64_t width = mask.width;
    const std::int64_t height = mask.height;
    for (std::int64_t y = 0; y < height; ++y)
        std::memset(mask.rows[static_cast<std::size_t>(y)], 0, mask.stride);
    if (contour.size() < 4 || width == 0 || height == 0)
        return;

    std::vector<pointd> polygon;
    flatten(contour, polygon);
    const std::size_t count = polygon.size();
    const std::size_t rows = static_cast<std::size_t>(height);

    // Each edge crosses the rows whose centre line y + 0.5 lies in
    // [y_low, y_high); a closed polygon crosses every such line an even
    // number of times.
    auto row_range = [&](const pointd& a, const pointd& b, std::int64_t& from, std::int64_t& to) {
        from = first_centre_at(std::min(a.y, b.y), height);
        to = first_centre_at(std::max(a.y, b.y), height);
    };
    // Crossings left of every pixel centre all open or close spans at pixel
    // 0, and those right of every centre at the mask's width: of those only
    // the parity per row matters. An edge wholly on one side adds to that
    // parity over its rows in constant time, so that edges far outside the
    // mask cost nothing per row.
    enum side : unsigned char { inside, left, right };
    auto side_of = [&](const pointd& a, const pointd& b) {
        if (std::max(a.x, b.x) <= 0.5)
            return left;
        if (std::min(a.x, b.x) > double(width) - 0.5)
            return right;
        return inside;
    };
    std::vector<unsigned char> toggles(rows + 1, 0); // bit 0 left, bit 1 right
    std::vector<std::uint64_t> row_start(rows + 1, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const pointd& a = polygon[i];
        const pointd& b = polygon[(i + 1) % count];
        std::int64_t from, to;
        row_range(a, b, from, to);
        if (from >= to)
            continue;
        const side where = side_of(a, b);
        if (where != inside) {
            toggles[static_cast<std::size_t>(from)] ^= where;
            toggles[static_cast<std::size_t>(to)] ^= where;
            continue;
        }
        for (std::int64_t y = from; y < to; ++y)
            ++row_start[static_cast<std::size_t>(y) + 1];
    }
    unsigned char parity = 0;
    for (std::size_t y = 0; y < rows; ++y) {
        parity ^= toggles[y];
        toggles[y] = parity;
        row_start[y + 1] += row_start[y] + (parity & 1u) + (parity >> 1);
    }

    // The crossings are bucketed by row, in bands of rows whose crossings
    // fit the buffer (a band holds at least one row, whose crossings are
    // at most the polygon's edges), so that memory stays bounded whatever
    // the contour.
    std::vector<double> crossings;
    std::vector<std::uint64_t> fill;
    for (std::size_t band = 0; band < rows;) {
        std::size_t end = band + 1;
        while (end < rows && row_start[end + 1] - row_start[band] <= max_band_crossings)
            ++end;
        const std::uint64_t base = row_start[band];
        crossings.resize(static_cast<std::size_t>(row_start[end] - base));
        fill.assign(row_start.begin() + static_cast<std::ptrdiff_t>(band),
            row_start.begin() + static_cast<std::ptrdiff_t>(end));
        for (std::size_t y = band; y < end; ++y) {
            std::uint64_t& at = fill[y - band];
            if (toggles[y] & left)
                crossings[static_cast<std::size_t>(at++ - base)] = -1.0;
            if (toggles[y] & right)
                crossings[static_cast<std::size_t>(at++ - base)] = double(width) + 1.0;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const pointd& a = polygon[i];
            const pointd& b = polygon[(i + 1) % count];
            std::int64_t from, to;
            row_range(a, b, from, to);
            from = std::max<std::int64_t>(from, static_cast<std::int64_t>(band));
            to = std::min<std::int64_t>(to, static_cast<std::int64_t>(end));
            if (from >= to || side_of(a, b) != inside)
                continue;
            const double slope = (b.x - a.x) / (b.y - a.y);
            for (std::int64_t y = from; y < to; ++y)
                crossings[static_cast<std::size_t>(fill[static_cast<std::size_t>(y) - band]++ - base)]
                    = a.x + (double(y) + 0.5 - a.y) * slope;
        }

        for (std::size_t y = band; y < end; ++y) {
            const auto begin = crossings.begin() + static_cast<std::ptrdiff_t>(row_start[y] - base);
            const auto stop = crossings.begin() + static_cast<std::ptrdiff_t>(row_start[y + 1] - base);
            std::sort(begin, stop);
            unsigned char* row = mask.rows[y];
            for (auto it = begin; it + 1 < stop; it += 2)
                set_span(row, first_centre_at(*it, width), first_centre_at(*(it + 1), width));
        }
        band = end;
    }
}

} // namespace contours
