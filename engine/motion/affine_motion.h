#pragma once

// The motion of an object from a reference frame to a target frame, and the
// warp of a 1-bit mask by it.

#include <iosfwd>

#include "foundation/image/image.h"

namespace trm {

// Maps a point (u, v) of the reference frame to
// (x + xx·u + xy·v, y + yx·u + yy·v) in the target frame. Identity is
// {0, 0, 1, 0, 0, 1}. A plain value of six doubles.
struct affine_motion {
    double x = 0.0;
    double y = 0.0;
    double xx = 1.0;
    double xy = 0.0;
    double yx = 0.0;
    double yy = 1.0;

    struct point {
        double x;
        double y;
    };

    struct int_point {
        int x;
        int y;
    };

    // (u·xx + v·xy + x, u·yx + v·yy + y).
    point apply(double u, double v) const noexcept;

    // True when all six components are finite and the linear part is
    // invertible (its determinant is neither 0 nor infinite).
    bool is_regular() const noexcept;

    // The motion from the target frame back to the reference frame. A motion
    // that is not regular, or whose inverse is not finite, has no inverse:
    // the identity is returned (no motion) and a line saying so goes to `log`.
    affine_motion inverse(std::ostream& log) const;

    // True when the linear part is the identity and x and y are whole numbers:
    // each within 2.220446049250313e-15 (ten times the double epsilon) of its
    // nearest whole number (halves rounded up), which lies within the range of
    // int; then `translation` (when not null) receives those whole numbers.
    // The linear part is compared with the same tolerance.
    bool integer_translation(int_point* translation = nullptr) const noexcept;

    bool operator==(const affine_motion&) const = default;
};

// Warps the reference mask `source` by `m` into `target`, nearest-neighbour,
// mapping every target pixel back into the source (no holes); target pixels
// whose source position lies outside the source are cleared. The caller sizes
// the target; every target bit is written. Exceptions: the identity copies the
// source (the target then takes the source's size); a motion that is not
// regular is treated as no motion: the source is copied and a line saying so
// goes to `log`.
void warp_mask(const affine_motion& m, const img::image<img::bit>& source, img::image<img::bit>& target,
    std::ostream& log);

} // namespace trm
