#pragma once

// Motion models: least-squares fits of a planar motion to the motion
// segments' displacements (each segment gives one point pair, its centroid
// and the centroid moved by its absolute displacement), the reverse step that
// seeds the displacements from a motion, and the log form of a motion.

#include <cstdint>
#include <iosfwd>

#include "engine/motion/affine_motion.h"
#include "engine/motion/motion_segmentation.h"

namespace trm {

// The model selector; values outside the named ones fit nothing.
enum class motion_model : std::int32_t {
    affine = 0, // all six parameters
    none = 1, // nothing is fitted
    translation = 2, // x, y
    rigid = 3, // rotation and translation
    rigid_zoom = 4, // rotation, uniform scale and translation
};

// Fits `model` to the point pairs of all segments, in index order, using the
// centroids as they stand (the caller makes them current), and writes the
// fitted motion to `out` and its log form to `log`. A set of points too
// degenerate for the model (all centroids on one line for the affine model,
// all at one place for the rigid ones), a singular affine result or one that
// is not finite gives
// the translation fit instead, and no segments give the identity: `out` never
// receives a value that is not finite. `none` and values outside the table
// leave `out` alone and write nothing.
void match_point_sets(
    motion_segmentation& segmentation, affine_motion& out, motion_model model, std::ostream& log);

// Sets every segment's current displacement to the motion's displacement at
// its centroid, rounded half away from zero and clamped into its score
// window. Segments without a score window keep their displacement, and so
// do all segments when the motion is not finite.
void seed_displacements(motion_segmentation& segmentation, const affine_motion& motion);

// A motion as a displacement polynomial: two rows of six coefficients
// (constant, x, y, x², x·y, y²) of the displacement in x and in y; the
// quadratic ones are always zero for an affine motion.
struct displacement_polynomial {
    float c[12];
    char separator = '\n';

    explicit displacement_polynomial(const affine_motion& m);
};

// Two lines "x(t+1) = c0 + x[ + c1 * x + c2 * y]" and the same for y, each
// coefficient in a field of width 12; the linear group only when some linear
// coefficient is not zero. Ends with std::endl.
std::ostream& operator<<(std::ostream& out, const displacement_polynomial& p);

} // namespace trm
