#include "engine/matting/alpha_condition.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/masks/morphology.h"
#include "foundation/image/blit.h"

namespace trm {

alpha_moments moments_of(std::int64_t n, std::int64_t sum_a, std::int64_t sum_aa) noexcept
{
    return { 255 * 255 * n - 2 * 255 * sum_a + sum_aa, sum_aa, 255 * sum_a - sum_aa };
}

bool exceeds_condition(const alpha_moments& m, float c) noexcept
{
    // The squares reach about 1e22 for the largest windows: doubles, whose
    // rounding cannot move a comparison whose sides differ by a factor
    // ((c + 1) / (c − 1))² unless the window sits on the limit itself.
    const double p = static_cast<double>(m.p);
    const double q = static_cast<double>(m.q);
    const double r = static_cast<double>(m.r);
    const double limit = (static_cast<double>(c) - 1.0) * (p + q);
    const double spread = (q - p) * (q - p) + 4.0 * r * r;
    const double c1 = static_cast<double>(c) + 1.0;
    return limit * limit < spread * c1 * c1;
}

int band_radius(float c, int w) noexcept
{
    const float r = (c - 1.0f) * static_cast<float>(w) / (c + 1.0f) + 1.0f;
    if (!(r >= 0.0f))
        return 0;
    if (r >= 1e6f)
        return 1000000;
    return static_cast<int>(r);
}

void check_alpha_window_options(const char* stage, int window_half_size, float max_condition_number)
{
    if (window_half_size < 0 || window_half_size > max_alpha_window_half_size)
        throw std::runtime_error(std::string(stage) + ": the window half size must lie between 0 and "
            + std::to_string(max_alpha_window_half_size) + ", not " + std::to_string(window_half_size));
    if (!std::isfinite(max_condition_number) || !(max_condition_number > 1.0f))
        throw std::runtime_error(
            std::string(stage) + ": the maximum condition number must be a finite number above 1");
}

void outline_band(
    const img::image<img::bit>& a, const img::image<img::bit>& b, int r, img::image<img::bit>& band)
{
    img::image<img::bit> grown;
    dilate4_n(grown, b, r);
    dilate4_n(band, a, r);
    img::blit_and(band, 0, 0, static_cast<int>(band.width), static_cast<int>(band.height), grown, 0, 0);
}

} // namespace trm
