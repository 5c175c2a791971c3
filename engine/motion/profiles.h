#pragma once

// Profiles ("profiles building"): the score of every candidate displacement of
// every motion segment, how well the segment's reference pixels moved by it
// match the frame being computed. Scores are costs negated, so 0 is the best.

#include <iosfwd>

#include "engine/motion/motion_segmentation.h"

namespace trm {

struct profile_param {
    // 0: each reference pixel is compared by its own colour (the only source).
    int colour_source = 0;
    // Cost of a colour difference with squared distance d² and segment
    // variance σ²: 0 d², 1 min(1, d²/σ²), 2 d²/(d²+σ²).
    int kernel = 2;
    // 0: one pass, reference against target; 1: two-pass profile matching.
    int mode = 1;
    // r, half size of the score window (displacements -r ... r).
    int radius = 10;
    // R, half size of the profile window (mode 1).
    int profile_radius = 2;
    // Read by no operation.
    float spare = 10.0f;
    // Factor applied to each segment's colour variance.
    float variance_scale = 2.0f;
    // Read by no operation of the modes offered.
    float pair_weight = -1.0f;
};

// The stage entry: colour statistics (scaled by variance_scale), then the
// pass or passes of the mode; every segment's score window becomes
// (2r+1) x (2r+1) with origin (r, r) around its base displacement.
// The segmentation's reference images and `target` must have the size of its
// segment-index grid: otherwise, and for options outside the table above, a
// line saying why goes to `log`, every score window is left empty (the motion
// stages then estimate no motion) and false is returned. Throws
// trm::not_enough_memory before allocating windows that would not fit.
bool build_profiles(
    motion_segmentation& segmentation, const float_image& target, const profile_param& p, std::ostream& log);

// Per-segment mean colour and colour variance over the reference images;
// skipped while the statistics are current with the same `scaled` flag.
// Scaled variances are multiplied by `scale`, and an exact 0 becomes 1e-5.
// Throws std::invalid_argument when the reference images are missing or do
// not have the grid's size.
void colour_statistics(motion_segmentation& segmentation, bool scaled, float scale);

// One pass with window half size `radius`: every segment's score window
// becomes the mean negated cost of its pixels of `first` against `second` at
// each displacement around the segment's base, over the pixels whose target
// lies inside `second` (cells that no pixel reaches stay 0); hit counts are
// left in the segments. Throws std::invalid_argument when an image does not
// have the grid's size or the radius is negative.
void profile_pass(motion_segmentation& segmentation, const float_image& first, const float_image& second,
    int kernel, int radius);

} // namespace trm
