#pragma once

// Building a whole frame from one field of an interlaced frame. The upper
// field is lines 0, 2, 4, ... (from the top), the lower field lines 1, 3,
// 5, ...; the kept field's lines stay as they are and the other lines are
// filled by duplicating the kept line above (line 0 from line 1 when the
// lower field is kept) or by the byte-wise mean of the kept lines around
// them, all four channels alike.

#include "foundation/image/image.h"

namespace lumvex {

// Fills the lines of the other field of `image` in place.
void fill_other_field(img::image<img::BGRA<unsigned char>>& image, bool upper, bool interpolate);

// Makes `target` (resized to the source's size, row alignment 4, when the
// size differs) the frame built from the kept field of `source`. A frame of
// one line has no lower field: with the lower field kept, its line is the
// source's.
void deinterlace(const img::image<img::BGRA<unsigned char>>& source,
    img::image<img::BGRA<unsigned char>>& target, bool upper, bool interpolate);

} // namespace lumvex
