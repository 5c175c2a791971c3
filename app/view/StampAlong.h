#pragma once

// The stamps of a brush stroke between two pointer positions: a pointer that
// moves faster than the brush is wide between two mouse events still leaves
// a closed trace, so that a fill inside a quickly drawn ring stays inside.

#include "app/view/ViewGeometry.h"
#include "foundation/image/image.h"

namespace My {

// Stamps `stamp` (a square of side 2 x radius, centred on each point) into
// `mask` along the segment from `from` to `to` (image points), each stamp at
// most radius / 2 from the one before; the stamp at `from` is left out (the
// stroke's previous step made it). set: the stamp's bits are ORed in, else
// cleared. Only the part of the segment that can touch the mask is stamped,
// so a far-off pointer costs nothing. Allocates nothing; answers whether any
// stamp was made.
bool StampAlong(img::image<img::bit>& mask, const img::image<img::bit>& stamp, int radius, ImagePoint from,
    ImagePoint to, bool set) noexcept;

} // namespace My
