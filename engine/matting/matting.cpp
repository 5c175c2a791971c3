#include "engine/matting/matting.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/masks/morphology.h"
#include "engine/matting/alpha_condition.h"
#include "engine/matting/alpha_passes.h"
#include "engine/matting/sliding_window.h"
#include "engine/matting/svd.h"
#include "foundation/image/blit.h"

namespace trm {

namespace {

using colour_image = img::image<img::BGRA<unsigned char>>;
using mask = img::image<img::bit>;
using grey_image = img::image<unsigned char>;
using weight_record = std::array<float, 6>;

// Pixel coordinates are features of the fit; up to this size their window
// sums and centred moments stay exact in 64 bits.
constexpr unsigned max_side = 1u << 20;
constexpr std::uint32_t foreground_label = 0xFFFFFFFFu;
constexpr std::uint32_t background_label = 0xFFFFFFFEu;
// Singular values below the double epsilon carry no information.
constexpr double smallest_singular_value = 2.220446049250313e-16;

const char* const stage = "matting";

template <class A, class B> void require_same_size(const A& a, const B& b, const char* what)
{
    if (a.width != b.width || a.height != b.height)
        throw std::runtime_error(std::string(stage) + ": " + what + " does not have the frame's size");
}

void check_frame(const colour_image& image)
{
    if (image.width > max_side || image.height > max_side)
        throw std::runtime_error(
            std::string(stage) + ": frames wider or higher than 1048576 pixels are not supported");
}

// The feature vector (red, green, blue, x, y) of a pixel.
std::array<std::int64_t, 5> features(const colour_image& image, unsigned x, unsigned y) noexcept
{
    const img::BGRA<unsigned char>& c = image.row(y)[x];
    return { c.r, c.g, c.b, x, y };
}

// Index of the product f_i f_j (i <= j) among the 15 packed products.
constexpr int packed(int i, int j) noexcept
{
    return i * 5 - i * (i - 1) / 2 + (j - i);
}

// Sums of the features and of their pairwise products over a window.
struct feature_sums {
    const colour_image* image = nullptr;
    std::int64_t n = 0;
    std::array<std::int64_t, 5> f {};
    std::array<std::int64_t, 15> ff {};

    void reset() noexcept
    {
        n = 0;
        f.fill(0);
        ff.fill(0);
    }

    void add(const pixel_rect& r, int sign) noexcept
    {
        std::array<std::int64_t, 5> tf {};
        std::array<std::int64_t, 15> tff {};
        for (unsigned y = r.y0; y < r.y1; ++y)
            for (unsigned x = r.x0; x < r.x1; ++x) {
                const std::array<std::int64_t, 5> v = features(*image, x, y);
                for (int i = 0; i < 5; ++i) {
                    tf[i] += v[i];
                    for (int j = i; j < 5; ++j)
                        tff[packed(i, j)] += v[i] * v[j];
                }
            }
        n += sign * static_cast<std::int64_t>(r.area());
        for (int i = 0; i < 5; ++i)
            f[i] += sign * tf[i];
        for (int i = 0; i < 15; ++i)
            ff[i] += sign * tff[i];
    }
};

// The weights of one pixel p: the last row of the pseudo-inverse of the
// normal matrix of the fit of alpha against the features relative to p,
// rewritten for absolute features. With d(q) = f(p) − f(q), the matrix is
// [[Σ d dᵀ, −Σ d], [−Σ dᵀ, N]].
weight_record weights_of(const feature_sums& s, const std::array<std::int64_t, 5>& fp)
{
    std::array<double, 36> m {};
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            const std::int64_t product = s.ff[i <= j ? packed(i, j) : packed(j, i)];
            const std::int64_t centred = s.n * fp[i] * fp[j] - fp[i] * s.f[j] - s.f[i] * fp[j] + product;
            m[i * 6 + j] = static_cast<double>(centred);
        }
        const double side = -static_cast<double>(s.n * fp[i] - s.f[i]);
        m[i * 6 + 5] = side;
        m[5 * 6 + i] = side;
    }
    m[35] = static_cast<double>(s.n);

    std::array<double, 36> v {};
    std::array<double, 6> singular {};
    std::array<double, 6> work {};
    singular_value_decomposition(m, v, singular, work);

    std::array<double, 6> t {};
    for (int i = 0; i < 6; ++i)
        t[i] = singular[i] < smallest_singular_value ? 0.0 : v[5 * 6 + i] / singular[i];
    weight_record w {};
    for (int j = 0; j < 6; ++j) {
        double sum = 0.0;
        for (int i = 0; i < 6; ++i)
            sum += m[j * 6 + i] * t[i];
        w[j] = static_cast<float>(sum);
    }
    double constant = w[5];
    for (int j = 0; j < 5; ++j)
        constant -= static_cast<double>(fp[j]) * static_cast<double>(w[j]);
    w[5] = static_cast<float>(constant);
    return w;
}

// Sums of the matte over a window: N, Σa, Σa², Σa·R, Σa·G, Σa·B, Σa·x, Σa·y.
struct matte_sums {
    const colour_image* image = nullptr;
    const grey_image* matte = nullptr;
    std::int64_t n = 0;
    std::int64_t a = 0;
    std::int64_t aa = 0;
    std::array<std::int64_t, 5> af {};

    void reset() noexcept
    {
        n = a = aa = 0;
        af.fill(0);
    }

    alpha_moments moments() const noexcept { return moments_of(n, a, aa); }

    void add(const pixel_rect& r, int sign) noexcept
    {
        std::int64_t ta = 0;
        std::int64_t taa = 0;
        std::array<std::int64_t, 5> taf {};
        for (unsigned y = r.y0; y < r.y1; ++y) {
            const unsigned char* alpha = matte->row(y);
            const img::BGRA<unsigned char>* colour = image->row(y);
            std::int64_t row_ax = 0;
            std::int64_t row_a = 0;
            for (unsigned x = r.x0; x < r.x1; ++x) {
                const std::int64_t av = alpha[x];
                if (av == 0)
                    continue;
                row_a += av;
                taa += av * av;
                taf[0] += av * colour[x].r;
                taf[1] += av * colour[x].g;
                taf[2] += av * colour[x].b;
                row_ax += av * x;
            }
            ta += row_a;
            taf[3] += row_ax;
            taf[4] += row_a * y;
        }
        n += sign * static_cast<std::int64_t>(r.area());
        a += sign * ta;
        aa += sign * taa;
        for (int i = 0; i < 5; ++i)
            af[i] += sign * taf[i];
    }
};

// One label per pixel: the markers of the fixed pixels, else the running
// number of the unknown pixel in raster order. `unknown` receives the
// unknown pixels. Bands of rows count their unknown pixels first, so that
// each band knows the number its first one gets.
std::vector<std::uint32_t> label_pixels(
    const mask& fixed_foreground, const mask& fixed_background, mask& unknown, std::uint32_t& count)
{
    const unsigned width = fixed_foreground.width;
    const unsigned height = fixed_foreground.height;
    std::vector<std::uint32_t> labels(static_cast<std::size_t>(width) * height);
    unknown.resize(width, height, 4);
    unknown.fill(false);
    std::vector<std::uint32_t> row_first(static_cast<std::size_t>(height) + 1, 0);
    parallel_rows(height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            std::uint32_t n = 0;
            for (unsigned x = 0; x < width; ++x) {
                std::uint32_t& label = labels[static_cast<std::size_t>(y) * width + x];
                if (fixed_foreground.at(x, y)) {
                    label = foreground_label;
                } else if (fixed_background.at(x, y)) {
                    label = background_label;
                } else {
                    label = n++;
                    unknown.at(x, y) = true;
                }
            }
            row_first[y + 1] = n;
        }
    });
    for (unsigned y = 0; y < height; ++y)
        row_first[y + 1] += row_first[y];
    count = row_first[height];
    parallel_rows(height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            std::uint32_t* label = labels.data() + static_cast<std::size_t>(y) * width;
            for (unsigned x = 0; x < width; ++x)
                if (label[x] != foreground_label && label[x] != background_label)
                    label[x] += row_first[y];
        }
    });
    return labels;
}

// Each unknown pixel's weights from the feature sums of its window: bands of
// rows on the engine's threads, each carrying its own (integer) sums, which
// do not depend on the path that led to a window.
std::vector<weight_record> compute_weights(const colour_image& image, const mask& unknown,
    const std::vector<std::uint32_t>& labels, std::uint32_t count, int half)
{
    std::vector<weight_record> weights(count);
    parallel_rows(image.height, [&](unsigned y0, unsigned y1) {
        feature_sums sums;
        sums.image = &image;
        sliding_window<feature_sums> window(image.width, image.height, static_cast<unsigned>(half));
        std::vector<unsigned> row;
        for (unsigned y = y0; y < y1; ++y) {
            set_pixels_of_row(unknown, y, row);
            if (y & 1u)
                std::reverse(row.begin(), row.end());
            for (unsigned x : row) {
                window.move_to(x, y, sums);
                weights[labels[static_cast<std::size_t>(y) * image.width + x]]
                    = weights_of(sums, features(image, x, y));
            }
        }
    });
    return weights;
}

// The fitted alpha at a pixel from its weights and the matte sums of its
// window, or -1 when the fit gives no number.
int fitted_alpha(const weight_record& w, const matte_sums& s) noexcept
{
    const double value = static_cast<double>(w[0]) * static_cast<double>(s.af[0])
        + static_cast<double>(w[1]) * static_cast<double>(s.af[1])
        + static_cast<double>(w[2]) * static_cast<double>(s.af[2])
        + static_cast<double>(w[3]) * static_cast<double>(s.af[3])
        + static_cast<double>(w[4]) * static_cast<double>(s.af[4])
        + static_cast<double>(w[5]) * static_cast<double>(s.a) + 0.5;
    const float v = static_cast<float>(value);
    if (v != v)
        return -1;
    if (v <= 0.0f)
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<int>(v);
}

void copy_pixels(grey_image& target, const grey_image& source)
{
    parallel_rows(source.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y)
            std::memcpy(target.row(y), source.row(y), source.width);
    });
}

} // namespace

void spatial_matting(
    const colour_image& image, const mask& m, grey_image& matte, const matting_options& o, std::ostream& log)
{
    require_same_size(m, image, "the mask");
    check_alpha_window_options(stage, o.window_half_size, o.max_condition_number);
    check_frame(image);

    matte.resize(image.width, image.height, 0);
    parallel_rows(image.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y)
            for (unsigned x = 0; x < image.width; ++x)
                matte.row(y)[x] = m.at(x, y) ? 255 : 0;
    });

    mask fixed_foreground;
    erode4_n(fixed_foreground, m, o.erode_steps);
    mask fixed_background;
    dilate4_n(fixed_background, m, o.dilate_steps);
    fixed_background.invert();

    mask outside(m);
    outside.invert();
    mask update;
    outline_band(m, outside, band_radius(o.max_condition_number, o.window_half_size), update);

    matting_passes(image, matte, fixed_foreground, fixed_background, update, o, log);
}

void matting_passes(const colour_image& image, grey_image& matte, const mask& fixed_foreground,
    const mask& fixed_background, mask& update, const matting_options& o, std::ostream& log)
{
    require_same_size(matte, image, "the matte");
    require_same_size(fixed_foreground, image, "the fixed foreground");
    require_same_size(fixed_background, image, "the fixed background");
    require_same_size(update, image, "the mask of pixels to update");
    check_alpha_window_options(stage, o.window_half_size, o.max_condition_number);
    check_frame(image);

    if (!o.quiet)
        log << "Spatial Kestrova(R) matting..." << std::endl;
    mask unknown;
    std::uint32_t count = 0;
    const std::vector<std::uint32_t> labels
        = label_pixels(fixed_foreground, fixed_background, unknown, count);
    const std::vector<weight_record> weights
        = compute_weights(image, unknown, labels, count, o.window_half_size);

    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    grey_image next(matte);
    matte_sums sums;
    sums.image = &image;
    sums.matte = &matte;
    alpha_passes(
        image.width, image.height, o.window_half_size, o.passes, o.quiet, log, update, sums,
        [&] {
            img::blit_and_not(update, 0, 0, width, height, fixed_foreground, 0, 0);
            img::blit_and_not(update, 0, 0, width, height, fixed_background, 0, 0);
        },
        [&](unsigned x, unsigned y, const matte_sums& sums) {
            if (sums.n == 0 || exceeds_condition(sums.moments(), o.max_condition_number))
                return false;
            const int v = fitted_alpha(weights[labels[static_cast<std::size_t>(y) * image.width + x]], sums);
            if (v < 0 || v == matte.row(y)[x])
                return false;
            next.row(y)[x] = static_cast<unsigned char>(v);
            return true;
        },
        [&](int) {
            copy_pixels(matte, next);
            dilate8_n(update, update, o.window_half_size);
        });
}

} // namespace trm
