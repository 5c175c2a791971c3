#pragma once

#include "contours/point.h"
#include "foundation/image/image.h"

#include <vector>

namespace contours {

// Repaints the mask as the filled interior of the contour: its cubic
// segments are flattened to within 0.01 pixel and filled by the even-odd
// rule, a pixel being set when its centre lies inside and clear otherwise.
// The contour may reach outside the mask; only the mask's pixels are written
// (row padding is cleared). An open contour is closed by a straight line;
// points after the last complete cubic are ignored. Besides the flattened
// contour and a few values per row, working memory stays under 8 MiB however
// many rows the contour crosses. Throws std::runtime_error when a coordinate
// is not finite; the mask is then untouched.
void fill_contour_into_mask(const std::vector<pointf>& contour, img::image<img::bit>& mask);

} // namespace contours
