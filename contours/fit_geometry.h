#pragma once

#include "contours/point.h"

#include <vector>

namespace contours {

// Cubic Bezier basis in Hermite-like form over node positions and handle
// offsets: B(t) = h0 P0 + b1 (P1 - P0) + b2 (P2 - P3) + h1 P3.
struct bezier_basis {
    double h0, b1, b2, h1;
    explicit bezier_basis(double t)
    {
        const double u = 1.0 - t;
        h0 = (1.0 + 2.0 * t) * u * u;
        b1 = 3.0 * t * u * u;
        b2 = 3.0 * t * t * u;
        h1 = (3.0 - 2.0 * t) * t * t;
    }
};

// The point of the cubic with control points p0..p3 at t in [0, 1].
inline pointd bezier_point(pointd p0, pointd p1, pointd p2, pointd p3, double t)
{
    const double u = 1.0 - t;
    return p0 * (u * u * u) + p1 * (3.0 * u * u * t) + p2 * (3.0 * u * t * t) + p3 * (t * t * t);
}

// The derivative dB/dt of that cubic at t.
inline pointd bezier_derivative(pointd p0, pointd p1, pointd p2, pointd p3, double t)
{
    const double u = 1.0 - t;
    return (p1 - p0) * (3.0 * u * u) + (p2 - p1) * (6.0 * u * t) + (p3 - p2) * (3.0 * t * t);
}

// v / |v|; a zero or not-a-number length gives (1, 0).
pointd normalise(pointd v);

struct handle_ratio {
    double a; // coefficient of the in-handle
    double b; // coefficient of the out-handle
};

// The length ratio that keeps a smooth node's handles in their current
// proportion: with l_in, l_out the handle lengths, (a, b) = (l_in, l_out)
// scaled to sum 2, a negated when `is_signed` and the handles point to
// opposite sides; (-1, 1) when both handles have zero length.
handle_ratio smooth_ratio(
    const std::vector<pointf>& contour, std::size_t in, std::size_t node, std::size_t out, bool is_signed);

struct decomposition {
    double alpha;
    double beta;
};

// Solves c = alpha a + beta b by Cramer's rule; a and b must not be parallel.
decomposition decompose(pointd c, pointd a, pointd b);

} // namespace contours
