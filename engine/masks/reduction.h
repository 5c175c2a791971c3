#pragma once

// Block reduction of colour frames and masks, and block expansion of masks:
// the `downsample` reduction of the engine's stages and the levels of the
// graph cut's pyramid.
//
// The factors fx and fy are block sizes in pixels; 0 throws
// std::invalid_argument. Source and target may be the same record.

#include "foundation/image/image.h"

namespace trm {

// Each target pixel (X, Y) is the truncated mean, channel by channel (alpha
// included), of the fx x fy source block at (X·fx, Y·fy). The target has
// (source width / fx) x (source height / fy) pixels (integer division: the
// source columns and rows beyond the last whole block are ignored) and is
// resized (alignment 4) only when its size differs. fx = fy = 1 assigns the
// source. Returns the target.
img::image<img::BGRA<unsigned char>>& reduce_image(const img::image<img::BGRA<unsigned char>>& source,
    img::image<img::BGRA<unsigned char>>& target, unsigned fx, unsigned fy);

// Each target bit is set when more than (fx·fy) / 2 (integer division) bits of
// its fx x fy source block are set: 2 of 4 stays clear, 5 of 9 is set. The
// target is resized to (width / fx) x (height / fy), alignment 4.
// fx = fy = 1 assigns the source.
void reduce_mask(const img::image<img::bit>& source, img::image<img::bit>& target, unsigned fx, unsigned fy);

// Every source bit (X, Y) is written into the target bits x in
// [X·fx, X·fx + fx), y in [Y·fy, Y·fy + fy) that lie inside the target. The
// caller sizes the target; bits outside these blocks are not touched.
void expand_mask(const img::image<img::bit>& source, img::image<img::bit>& target, unsigned fx, unsigned fy);

} // namespace trm
