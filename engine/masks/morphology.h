#pragma once

// Erosion and dilation of 1-bit masks over the 4-neighbourhood (a plus sign)
// and the 8-neighbourhood (the 3 x 3 square).
//
// Border rule: neighbours outside the image count as neither set nor clear,
// so an image border neither erodes nor dilates a mask by itself.
// The target takes the source's size; source and target may be the same
// record. Repetition counts n are magnitudes: 0 (or less) copies the source.

#include "foundation/image/image.h"

namespace trm {

void erode4(img::image<img::bit>& target, const img::image<img::bit>& source);
void dilate4(img::image<img::bit>& target, const img::image<img::bit>& source);
void erode8(img::image<img::bit>& target, const img::image<img::bit>& source);
void dilate8(img::image<img::bit>& target, const img::image<img::bit>& source);

void erode4_n(img::image<img::bit>& target, const img::image<img::bit>& source, int n);
void dilate4_n(img::image<img::bit>& target, const img::image<img::bit>& source, int n);
void erode8_n(img::image<img::bit>& target, const img::image<img::bit>& source, int n);
void dilate8_n(img::image<img::bit>& target, const img::image<img::bit>& source, int n);

// Erosion then dilation, n steps each (4-neighbourhood).
void open4_n(img::image<img::bit>& target, const img::image<img::bit>& source, int n);
// Dilation then erosion, n steps each (4-neighbourhood).
void close4_n(img::image<img::bit>& target, const img::image<img::bit>& source, int n);

} // namespace trm
