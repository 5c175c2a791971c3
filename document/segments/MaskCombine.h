#pragma once

// The combining of the segments' masks of one frame into the frame's mask.
// The caller walks a frame's mask layers in combining order (base first, top
// last) and calls one of these once per layer, `first` true for the first
// layer only. A first layer makes the accumulated mask a copy of its source,
// inverted when `inverted` differs from (mode == Subtract); a further layer
// with mode None or Substitute changes nothing, and the other modes combine
// the source (inverted when `inverted`) into the accumulated mask over the
// region both cover, top-left corners together. Neither throws, except for
// allocation failures when a first layer is copied.

#include "foundation/image/image.h"

// 1-bit masks: Add and Lighten "or", Intersect and Darken "and", Subtract
// "and not", Difference "xor".
void combine_bit_masks(img::image<img::bit>& accumulated, const img::image<img::bit>& source, int mode,
    bool inverted, bool first);

// 8-bit masks (0 outside, 255 inside): Add min(d + s, 255), Subtract
// max(d - s, 0), Intersect d * s / 255 truncated, Lighten max, Darken min,
// Difference |d - s|.
void combine_masks(img::image<unsigned char>& accumulated, const img::image<unsigned char>& source, int mode,
    bool inverted, bool first);
