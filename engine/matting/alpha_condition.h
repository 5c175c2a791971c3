#pragma once

// What the matting and smoothing stages share about a window of an 8-bit
// alpha matte: its 2 x 2 moment matrix of alpha against its complement and
// whether that matrix is too badly conditioned to fit a model to, the width
// of the band around the outline that they update, and the checks of their
// common options.

#include <cstdint>

#include "foundation/image/image.h"

namespace trm {

// The largest window half size the two stages accept: their window sums and
// the products of moments below then stay exact in 64 bits.
inline constexpr int max_alpha_window_half_size = 100;

// [[p, r], [r, q]] with p = Σ(255 − a)², q = Σa², r = Σa(255 − a) over a
// window of alphas a.
struct alpha_moments {
    std::int64_t p = 0;
    std::int64_t q = 0;
    std::int64_t r = 0;
};

// The moments from the window's pixel count n, Σa and Σa².
alpha_moments moments_of(std::int64_t n, std::int64_t sum_a, std::int64_t sum_aa) noexcept;

// True when the condition number of the moment matrix exceeds c, that is
// ((c − 1)(p + q))² < ((q − p)² + 4r²)(c + 1)²: the window's alpha is (nearly)
// uniform and says nothing about how alpha varies.
bool exceeds_condition(const alpha_moments& m, float c) noexcept;

// trunc((c − 1) w / (c + 1) + 1) in single precision: how far on either side
// of the outline the stages update pixels. 0 when that is not a number or
// negative.
int band_radius(float c, int w) noexcept;

// Throws std::runtime_error naming the stage unless 0 <= w <= 100 and c is a
// finite number above 1.
void check_alpha_window_options(const char* stage, int window_half_size, float max_condition_number);

// band = (a dilated r times) AND (b dilated r times), 4-neighbourhood: with b
// the complement of a, the pixels within r steps of a's outline on either
// side. a and b have one size; band takes it.
void outline_band(
    const img::image<img::bit>& a, const img::image<img::bit>& b, int r, img::image<img::bit>& band);

} // namespace trm
