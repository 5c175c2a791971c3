#pragma once

// The per-pixel model of the "Simple" and "Complex" smoothing methods: every
// colour of a window is explained as a mix (a/255)·F + (1 − a/255)·B of a
// local foreground colour F and background colour B fitted to the window,
// and a pixel's alpha is its position between B and F along a direction in
// colour space. Used by engine/smoothing.cpp; its own header so that the
// rules can be tested one by one.
//
// Colours are (blue, green, red). No function here divides by zero or lets
// a value that is not a number reach an integer: where the model has no
// answer the pixel keeps its alpha (-1).

#include <array>
#include <cstdint>

#include "foundation/image/image.h"

namespace trm::colour_model {

// Integer sums over a window: n pixels, Σa, Σa², Σc, Σa·c and, for the
// "Complex" method, the colour products Σ c cᵀ in the order blue·blue,
// green·blue, red·blue, green·green, red·green, red·red.
struct window_sums {
    std::int64_t n = 0;
    std::int64_t a = 0;
    std::int64_t aa = 0;
    std::array<std::int64_t, 3> c {};
    std::array<std::int64_t, 3> ac {};
    std::array<std::int64_t, 6> cc {};
};

struct two_colour_fit {
    std::array<double, 3> foreground {};
    std::array<double, 3> background {};
    // The condition number of the window's alpha moment matrix (1 or more).
    double kappa = 1.0;
};

// The least-squares F and B of the window. False (no fit) when the window's
// alpha condition number exceeds c or its moment matrix is singular.
bool fit_two_colours(const window_sums& s, float c, two_colour_fit& out);

// The alpha of a colour from p = −n·(x − B) and q = −n·(x − F), its signed
// distances along the direction n from the planes through B and F across n:
// between the planes, its relative position t from B (0) to F (1) mapped
// through a ramp that narrows towards a step as κ approaches c (t below
// m = (κ − 1)/(c − 1)/2 gives 0, above 1 − m gives 255); outside them, 255
// nearer F's plane, 0 nearer B's, 127 when p = q. -1 when p = q = 0.
int alpha_from_planes(double p, double q, double kappa, float c);

// "Simple": n is the principal direction of dF dFᵀ + dB dBᵀ (dF = x − F,
// dB = x − B), in single precision.
int alpha_spheres(const img::BGRA<unsigned char>& pixel, const two_colour_fit& fit, float c);

// "Complex": the same in the inner product of the inverse of the window's
// residual colour scatter (regularised by a thousandth of its trace).
int alpha_ellipses(
    const img::BGRA<unsigned char>& pixel, const two_colour_fit& fit, const window_sums& s, float c);

// The unit eigenvector of the largest eigenvalue of a symmetric 3 x 3 matrix,
// from the closed-form roots of its characteristic cubic. False when the
// eigenvalue is not simple enough to give one (all cross products of the rows
// of a − λI vanish).
bool principal_direction(const std::array<std::array<float, 3>, 3>& a, std::array<float, 3>& direction);

} // namespace trm::colour_model
