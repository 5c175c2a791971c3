#pragma once

// Image pyramids for coarse-to-fine stages: level 0 is the caller's image,
// each further level the one before halved by 2 x 2 blocks with the
// reductions of engine/reduction.h. Level 0 is not copied: the base must
// outlive the pyramid and not change while it is used.

#include <vector>

#include "foundation/image/image.h"

namespace trm {

// Colour levels: 2 x 2 block averages.
class colour_pyramid {
public:
    // `halvings` further levels after the base (none when 0 or less).
    colour_pyramid(const img::image<img::BGRA<unsigned char>>& base, int halvings);

    const img::image<img::BGRA<unsigned char>>& operator[](int level) const;

private:
    const img::image<img::BGRA<unsigned char>>& m_base;
    std::vector<img::image<img::BGRA<unsigned char>>> m_levels;
};

// Bit-mask levels: 2 x 2 block majority (3 or 4 of 4 set).
class mask_pyramid {
public:
    mask_pyramid(const img::image<img::bit>& base, int halvings);

    const img::image<img::bit>& operator[](int level) const;

private:
    const img::image<img::bit>& m_base;
    std::vector<img::image<img::bit>> m_levels;
};

} // namespace trm
