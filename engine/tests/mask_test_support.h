#pragma once

// Small helpers for engine tests on 1-bit masks: building masks from text
// and random bits, and comparing them pixel by pixel or by region similarity.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "foundation/image/image.h"

namespace trm::testing {

// Rows of '#' (set) and '.' (clear), all of one length.
inline img::image<img::bit> mask_from_rows(const std::vector<std::string>& rows)
{
    const unsigned width = rows.empty() ? 0 : static_cast<unsigned>(rows[0].size());
    img::image<img::bit> m(width, static_cast<unsigned>(rows.size()), 4);
    m.fill(false);
    for (unsigned y = 0; y < m.height; ++y)
        for (unsigned x = 0; x < width; ++x)
            m.at(x, y) = rows[y][x] == '#';
    return m;
}

inline std::vector<std::string> rows_of(const img::image<img::bit>& m)
{
    std::vector<std::string> rows(m.height, std::string(m.width, '.'));
    for (unsigned y = 0; y < m.height; ++y)
        for (unsigned x = 0; x < m.width; ++x)
            if (m.at(x, y))
                rows[y][x] = '#';
    return rows;
}

inline img::image<img::bit> random_mask(unsigned width, unsigned height, double density, std::mt19937& random)
{
    std::bernoulli_distribution set(density);
    img::image<img::bit> m(width, height, 4);
    m.fill(false);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            m.at(x, y) = set(random);
    return m;
}

inline img::image<img::bit> filled_mask(unsigned width, unsigned height, bool value)
{
    img::image<img::bit> m(width, height, 4);
    m.fill(value);
    return m;
}

// Region similarity J of two masks of one size: the pixels set in both over
// those set in either; 1 when neither has any.
inline double region_similarity(const img::image<img::bit>& a, const img::image<img::bit>& b)
{
    std::uint64_t both = 0;
    std::uint64_t either = 0;
    for (unsigned y = 0; y < a.height; ++y)
        for (unsigned x = 0; x < a.width; ++x) {
            const bool p = a.at(x, y);
            const bool q = b.at(x, y);
            both += p && q;
            either += p || q;
        }
    return either ? static_cast<double>(both) / static_cast<double>(either) : 1.0;
}

} // namespace trm::testing
