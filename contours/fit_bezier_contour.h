#pragma once

#include "contours/outline_edge_index.h"
#include "contours/point.h"

#include <vector>

namespace contours {

// Settings of one contour fit.
struct bezier_fit_settings {
    // Iterations of each loop below; none when <= 0.
    int iterations = 0;
    // Sampling step in pixels: no sampled piece of the contour is longer than
    // about this.
    float sample_step = 1.5f;
    // 0 pre-alignment only, 1 relaxation only, 2 pre-alignment then
    // relaxation; any other value does neither.
    unsigned mode = 2;
    // Motion model of the pre-alignment: 0 translation, 1 rigid, 2
    // similarity, 3 affine; values above 3 act as 0.
    unsigned model = 0;
    // Adds constraints that keep each segment's shape (its chord as a fixed
    // combination of its handles).
    bool preserve_segments = false;
};

// Moves a Bezier contour (layout node, out-handle, in-handle, node, ...;
// closed when its last point equals its first, 3N + 1 points, else 3N - 2)
// onto the outline that `index` holds, in place.
//
// `kinds` has one node kind (see node_kind) per node; missing entries act as
// corners. Optional: `prior`, the contour the `tractions` (one per point)
// refer to: a point with traction >= 1 stays at its prior place, one between
// 0 and 1 is pulled towards it; `flags`, one set of node_flag bits per node;
// `targets_out` and `samples_out`, cleared and then filled with each final
// sample's outline target and point. With a prior, the contour is cut into
// runs between fixed nodes that are fitted one by one.
//
// Throws std::runtime_error when the contour has a size that is no contour's,
// a coordinate that is not finite, or a prior, tractions, kinds or flags list
// that does not match it. A step whose system is singular, or whose result
// would not be finite, leaves the contour as it was.
void fit_bezier_contour(const outline_edge_index& index, const std::vector<unsigned>& kinds,
    const bezier_fit_settings& settings, std::vector<pointf>& contour, const std::vector<pointf>* prior,
    const std::vector<float>* tractions, const std::vector<unsigned>* flags, std::vector<pointf>* targets_out,
    std::vector<pointf>* samples_out);

// Fits one run (a whole contour or an open piece of one) as a whole: the
// pre-alignment, then the relaxation, then the outputs (appended, not
// cleared). Same arguments and errors as fit_bezier_contour.
void fit_bezier_run(const outline_edge_index& index, const std::vector<unsigned>& kinds,
    const bezier_fit_settings& settings, std::vector<pointf>& contour, const std::vector<pointf>* prior,
    const std::vector<float>* tractions, const std::vector<unsigned>* flags, std::vector<pointf>* targets_out,
    std::vector<pointf>* samples_out);

} // namespace contours
