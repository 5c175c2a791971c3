#pragma once

// The "Diffuse" method of the "smoothing mask" stage: turns a frame's crisp
// bit mask into an 8-bit alpha matte with soft edges. Near the outline each
// pixel's alpha is re-estimated, pass after pass, as the value at that pixel
// of a local linear least-squares fit of alpha against colour and position
// (red, green, blue, x, y) over the square window around it; pixels deep
// inside or outside the mask stay fixed at 255 and 0.
//
// Diagnostic lines go to `log` unless options::quiet. Failures throw
// std::runtime_error: images and masks of different sizes, options out of
// range (window half size above 100, a maximum condition number that is not
// a finite number above 1), frames wider or higher than 1,048,576 pixels.
// Each call builds and frees everything it uses; calls on different data may
// run on different threads.

#include <iosfwd>

#include "foundation/image/image.h"

namespace trm {

struct matting_options {
    // Erosions of the mask that give the fixed foreground.
    int erode_steps = 2;
    // Dilations of the mask whose outside gives the fixed background.
    int dilate_steps = 2;
    // w: the fit window is (2w + 1) x (2w + 1) pixels, clipped to the frame.
    int window_half_size = 1;
    // Most passes.
    int passes = 100;
    // c: windows whose alpha condition number exceeds it are not updated.
    float max_condition_number = 100.0f;
    bool quiet = false;
};

// The method's entry: `matte` is resized to the image's size and receives
// the alpha matte of `mask` (same size as the image).
void spatial_matting(const img::image<img::BGRA<unsigned char>>& image, const img::image<img::bit>& mask,
    img::image<unsigned char>& matte, const matting_options& o, std::ostream& log);

// The pass loop over a matte that holds its start values: the fit weights of
// every pixel outside the fixed foreground and background, then passes over
// `update` (the pixels to update; changed by the call) until a pass changes
// nothing or `passes` passes are done. The fixed pixels keep their values.
// All images have one size.
void matting_passes(const img::image<img::BGRA<unsigned char>>& image, img::image<unsigned char>& matte,
    const img::image<img::bit>& fixed_foreground, const img::image<img::bit>& fixed_background,
    img::image<img::bit>& update, const matting_options& o, std::ostream& log);

} // namespace trm
