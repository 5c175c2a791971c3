#include "engine/masks/pyramid.h"

#include <algorithm>
#include <cstddef>

#include "engine/masks/reduction.h"

namespace trm {

colour_pyramid::colour_pyramid(const img::image<img::BGRA<unsigned char>>& base, int halvings)
    : m_base(base)
    , m_levels(static_cast<std::size_t>(std::max(halvings, 0)))
{
    for (std::size_t i = 0; i < m_levels.size(); ++i)
        reduce_image(i == 0 ? base : m_levels[i - 1], m_levels[i], 2, 2);
}

const img::image<img::BGRA<unsigned char>>& colour_pyramid::operator[](int level) const
{
    return level == 0 ? m_base : m_levels[static_cast<std::size_t>(level - 1)];
}

mask_pyramid::mask_pyramid(const img::image<img::bit>& base, int halvings)
    : m_base(base)
    , m_levels(static_cast<std::size_t>(std::max(halvings, 0)))
{
    for (std::size_t i = 0; i < m_levels.size(); ++i)
        reduce_mask(i == 0 ? base : m_levels[i - 1], m_levels[i], 2, 2);
}

const img::image<img::bit>& mask_pyramid::operator[](int level) const
{
    return level == 0 ? m_base : m_levels[static_cast<std::size_t>(level - 1)];
}

} // namespace trm
