#pragma once

// Flood fill of a 1-bit mask: the 4-connected region of pixels that differ
// from a value, grown from a seed, takes the value. Spans of rows are filled
// with an explicit stack on the heap, so a region of any shape on the
// largest frames fills without deep recursion.

#include "foundation/image/image.h"

namespace My {

// Fills from (x, y) with value; nothing when the seed lies outside the mask
// or already has the value. Answers the number of pixels changed.
std::uint64_t FloodFill(img::image<img::bit>& mask, int x, int y, bool value);

} // namespace My
