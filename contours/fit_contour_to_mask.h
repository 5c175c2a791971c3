#pragma once

#include "contours/point.h"
#include "foundation/image/image.h"

#include <vector>

namespace contours {

// The engine's settings of a contour fit, in this order.
struct contour_fit_params {
    unsigned iterations = 50; // iterations of each fitting loop
    float tolerance = 0.001f; // error per sample that ends a new cubic's fit
    float sampling_ratio = 2.0f / 3.0f; // samples per pixel of outline
    int motion_bound = 5; // how far (pixels) a refitted contour may move
};

// Replaces the main object's outline in a bit mask by a closed cubic Bezier
// contour and repaints the mask as the contour's filled interior.
//
// The outline is the mask's longest crack outline (the object around it when
// that outline bounds a hole). When `contour` is empty it is fitted anew:
// min(n / 3, degrees) nodes spread evenly along the outline's n vertices,
// smooth or corners by `smooth`. Otherwise `contour` (the reference frame's
// contour, copied in by the engine) is refitted onto the outline, pulled
// towards `reference` by `traction` (one per point) when they are given.
//
// Throws std::runtime_error "The bitmap contains no outlines" when the mask
// has no set or no clear pixel, and std::runtime_error when it is wider or
// taller than 65535 pixels, or when the contour, reference or traction are
// malformed; mask and contour are then untouched.
void fit_contour_to_mask(img::image<img::bit>& mask, unsigned degrees, bool smooth,
    const contour_fit_params& params, std::vector<pointf>& contour, const std::vector<pointf>* reference,
    const std::vector<float>* traction);

} // namespace contours
