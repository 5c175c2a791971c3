#include "engine/matting/smoothing.h"

#include <algorithm>
#include <ostream>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/masks/morphology.h"
#include "engine/matting/alpha_condition.h"
#include "engine/matting/alpha_passes.h"
#include "engine/matting/colour_model.h"

namespace trm {

namespace {

using colour_image = img::image<img::BGRA<unsigned char>>;
using mask = img::image<img::bit>;

enum class method { spheres, ellipses };

// The window sums of one method; the colour products only for "Complex".
struct smoothing_sums : colour_model::window_sums {
    const colour_image* image = nullptr;
    bool products = false;

    void reset() noexcept { static_cast<colour_model::window_sums&>(*this) = {}; }

    void add(const pixel_rect& r, int sign) noexcept
    {
        colour_model::window_sums t;
        for (unsigned y = r.y0; y < r.y1; ++y) {
            const img::BGRA<unsigned char>* row = image->row(y);
            for (unsigned x = r.x0; x < r.x1; ++x) {
                const img::BGRA<unsigned char>& p = row[x];
                const std::int64_t alpha = p.a;
                const std::int64_t b = p.b;
                const std::int64_t g = p.g;
                const std::int64_t red = p.r;
                t.a += alpha;
                t.aa += alpha * alpha;
                t.c[0] += b;
                t.c[1] += g;
                t.c[2] += red;
                t.ac[0] += alpha * b;
                t.ac[1] += alpha * g;
                t.ac[2] += alpha * red;
                if (products) {
                    t.cc[0] += b * b;
                    t.cc[1] += g * b;
                    t.cc[2] += red * b;
                    t.cc[3] += g * g;
                    t.cc[4] += red * g;
                    t.cc[5] += red * red;
                }
            }
        }
        n += sign * static_cast<std::int64_t>(r.area());
        a += sign * t.a;
        aa += sign * t.aa;
        for (int i = 0; i < 3; ++i) {
            c[i] += sign * t.c[i];
            ac[i] += sign * t.ac[i];
        }
        for (int i = 0; i < 6; ++i)
            cc[i] += sign * t.cc[i];
    }
};

// The pixels whose alpha is not 0 and those whose alpha is not 255.
void alpha_sides(const colour_image& image, mask& not_clear, mask& not_opaque)
{
    not_clear.resize(image.width, image.height, 4);
    not_opaque.resize(image.width, image.height, 4);
    // Clears the row padding that the loop below does not reach.
    not_clear.fill(false);
    not_opaque.fill(false);
    parallel_rows(image.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const img::BGRA<unsigned char>* row = image.row(y);
            unsigned char* clear_bits = not_clear.row(y);
            unsigned char* opaque_bits = not_opaque.row(y);
            for (unsigned x0 = 0; x0 < image.width; x0 += 8) {
                const unsigned x1 = std::min(image.width, x0 + 8);
                unsigned clear_byte = 0;
                unsigned opaque_byte = 0;
                for (unsigned x = x0; x < x1; ++x) {
                    const unsigned bit = 0x80u >> (x - x0);
                    if (row[x].a != 0)
                        clear_byte |= bit;
                    if (row[x].a != 255)
                        opaque_byte |= bit;
                }
                clear_bits[x0 >> 3] = static_cast<unsigned char>(clear_byte);
                opaque_bits[x0 >> 3] = static_cast<unsigned char>(opaque_byte);
            }
        }
    });
}

void smooth(colour_image& image, const smoothing_options& o, method kind, std::ostream& log)
{
    const char* const name = kind == method::spheres ? "Smooth-A & Despill" : "Smooth-B & Despill";
    check_alpha_window_options(name, o.window_half_size, o.max_condition_number);
    const float c = o.max_condition_number;

    mask not_clear;
    mask not_opaque;
    alpha_sides(image, not_clear, not_opaque);
    mask band;
    outline_band(not_clear, not_opaque, band_radius(c, o.window_half_size), band);
    if (!o.quiet)
        log << name << std::endl;

    // The alphas written by a pass; every read of the pass sees the image's.
    const std::size_t width = image.width;
    std::vector<unsigned char> next(width * image.height);
    parallel_rows(image.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const img::BGRA<unsigned char>* row = image.row(y);
            unsigned char* out = next.data() + y * width;
            for (unsigned x = 0; x < image.width; ++x)
                out[x] = row[x].a;
        }
    });

    smoothing_sums sums;
    sums.image = &image;
    sums.products = kind == method::ellipses;
    alpha_passes(
        image.width, image.height, o.window_half_size, o.passes, o.quiet, log, band, sums, [] {},
        [&](unsigned x, unsigned y, const smoothing_sums& sums) {
            const img::BGRA<unsigned char>& pixel = image.row(y)[x];
            colour_model::two_colour_fit fit;
            if (!colour_model::fit_two_colours(sums, c, fit))
                return false;
            const int v = kind == method::spheres ? colour_model::alpha_spheres(pixel, fit, c)
                                                  : colour_model::alpha_ellipses(pixel, fit, sums, c);
            if (v < 0 || v == pixel.a)
                return false;
            next[y * width + x] = static_cast<unsigned char>(v);
            return true;
        },
        [&](int pass) {
            parallel_rows(image.height, [&](unsigned y0, unsigned y1) {
                for (unsigned y = y0; y < y1; ++y) {
                    img::BGRA<unsigned char>* row = image.row(y);
                    const unsigned char* in = next.data() + y * width;
                    for (unsigned x = 0; x < image.width; ++x)
                        row[x].a = in[x];
                }
            });
            if (pass < o.passes)
                dilate8_n(band, band, o.window_half_size);
        });
}

} // namespace

void smooth_spheres(colour_image& image, const smoothing_options& o, std::ostream& log)
{
    smooth(image, o, method::spheres, log);
}

void smooth_ellipses(colour_image& image, const smoothing_options& o, std::ostream& log)
{
    smooth(image, o, method::ellipses, log);
}

} // namespace trm
