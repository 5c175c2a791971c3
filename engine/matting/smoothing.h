#pragma once

// The colour-model methods of the "smoothing mask" stage: "Simple"
// (Smooth-A & Despill) and "Complex" (Smooth-B & Despill). Both turn the
// crisp alpha of a frame into a soft one: around the outline each pixel's
// colour is explained as a mix of a local foreground and background colour
// estimated from its window, and its alpha becomes its position between the
// two along a direction in colour space. Passes repeat on the pixels that
// changed until nothing changes.
//
// Only the alpha channel of the image changes, and only in a band around the
// outline of its crisp alpha. Diagnostic lines go to `log` unless
// options::quiet. Options out of range (window half size outside 0 to 100,
// a maximum condition number that is not a finite number above 1) throw
// std::runtime_error. Each call keeps its state to itself.

#include <iosfwd>

#include "foundation/image/image.h"

namespace trm {

struct smoothing_options {
    // w: the window is (2w + 1) x (2w + 1) pixels, clipped to the frame.
    int window_half_size = 1;
    // Most passes.
    int passes = 7;
    // c: windows whose alpha condition number exceeds it are not updated.
    float max_condition_number = 5.0f;
    bool quiet = false;
};

// "Simple": the colour direction is the principal direction of the pixel's
// offsets from the two colours.
void smooth_spheres(
    img::image<img::BGRA<unsigned char>>& image, const smoothing_options& o, std::ostream& log);

// "Complex": the same in the metric of the window's residual colour scatter.
void smooth_ellipses(
    img::image<img::BGRA<unsigned char>>& image, const smoothing_options& o, std::ostream& log);

} // namespace trm
