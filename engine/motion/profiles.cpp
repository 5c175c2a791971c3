#include "engine/motion/profiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/common/check_memory.h"
#include "engine/common/thread_pool.h"

namespace trm {

namespace {

struct kernel_square {
    static float cost(float d2, float) noexcept { return d2; }
};

struct kernel_clipped {
    static float cost(float d2, float variance) noexcept { return std::min(1.0f, d2 / variance); }
};

struct kernel_robust {
    static float cost(float d2, float variance) noexcept { return d2 / (d2 + variance); }
};

// Bytes of the windows one segment holds at the peak of the stage: the cross
// costs with their hit counts, the profile set aside and the final scores.
double window_bytes(const profile_param& p)
{
    const double r = p.radius;
    const double pr = p.mode == 1 ? p.profile_radius : 0;
    const double cross = (2 * (r + pr) + 1) * (2 * (r + pr) + 1);
    const double profile = (2 * pr + 1) * (2 * pr + 1);
    const double scores = (2 * r + 1) * (2 * r + 1);
    return cross * (sizeof(double) + sizeof(int)) + (p.mode == 1 ? (profile + scores) * sizeof(double) : 0.0);
}

void check_window_memory(const motion_segmentation& s, const profile_param& p)
{
    const double bytes = window_bytes(p) * static_cast<double>(s.segments.size());
    const std::uint64_t needed = bytes >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(bytes);
    ensure_memory(needed,
        "motion profiles of " + std::to_string(s.segments.size()) + " segments with maximum motion "
            + std::to_string(p.radius));
}

bool same_size(const motion_segmentation& s, const float_image& image)
{
    return image.width == s.width && image.height == s.height;
}

// The reason the options or images cannot be used, or empty.
std::string unusable(const motion_segmentation& s, const float_image& target, const profile_param& p)
{
    const auto size = [](unsigned w, unsigned h) { return std::to_string(w) + "x" + std::to_string(h); };
    if (!s.reference_images)
        return "no reference frame";
    if (!same_size(s, *s.reference_images) || !same_size(s, target))
        return "frame size " + size(target.width, target.height) + " (reference "
            + size(s.reference_images->width, s.reference_images->height) + ") differs from mask size "
            + size(s.width, s.height);
    if (p.colour_source != 0 || p.kernel < 0 || p.kernel > 2 || (p.mode != 0 && p.mode != 1))
        return "unsupported profile options";
    if (p.radius < 0 || p.profile_radius < 0)
        return "negative window size";
    return {};
}

// Every segment's pixels as runs along rows, in row order: the order in
// which a single raster scan meets them, so that a segment's sums come out
// the same whoever computes them.
struct pixel_run {
    unsigned y = 0;
    unsigned x0 = 0;
    unsigned x1 = 0;
};

struct segment_runs {
    // Runs of segment i: runs[first[i]] ... runs[first[i + 1] - 1].
    std::vector<std::size_t> first;
    std::vector<pixel_run> runs;
};

// Rows per band of the scan that finds the runs; the runs do not depend on it.
constexpr unsigned run_band_rows = 16;

segment_runs runs_of_segments(const motion_segmentation& s)
{
    struct found {
        int segment;
        pixel_run run;
    };
    const std::size_t bands = (std::size_t(s.height) + run_band_rows - 1) / run_band_rows;
    std::vector<std::vector<found>> band_runs(bands);
    parallel_ranges(bands, 1, [&](std::size_t b, std::size_t) {
        const unsigned y0 = static_cast<unsigned>(b) * run_band_rows;
        const unsigned y1 = std::min(s.height, y0 + run_band_rows);
        std::vector<found>& out = band_runs[b];
        for (unsigned y = y0; y < y1; ++y) {
            const int* index = s.segment_index[y];
            for (unsigned x = 0; x < s.width;) {
                const int segment = index[x];
                unsigned end = x + 1;
                while (end < s.width && index[end] == segment)
                    ++end;
                if (segment >= 0)
                    out.push_back({ segment, { y, x, end } });
                x = end;
            }
        }
    });
    segment_runs r;
    r.first.assign(s.segments.size() + 1, 0);
    for (const std::vector<found>& band : band_runs)
        for (const found& f : band)
            ++r.first[static_cast<std::size_t>(f.segment) + 1];
    for (std::size_t i = 1; i < r.first.size(); ++i)
        r.first[i] += r.first[i - 1];
    r.runs.resize(r.first.back());
    std::vector<std::size_t> next(r.first.begin(), r.first.end() - 1);
    for (const std::vector<found>& band : band_runs)
        for (const found& f : band)
            r.runs[next[static_cast<std::size_t>(f.segment)]++] = f.run;
    return r;
}

// Calls body(i) for every segment index, on the engine's threads, a few
// segments per task so that large segments do not hold the others up.
void for_each_segment(std::size_t count, const std::function<void(std::size_t)>& body)
{
    parallel_ranges(count, 4, [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i)
            body(i);
    });
}

// Calls pixel(x, y, colour) for every pixel of segment i of `image`, in row
// order.
template <class Pixel>
void for_each_pixel(const segment_runs& runs, std::size_t i, const float_image& image, Pixel&& pixel)
{
    for (std::size_t k = runs.first[i]; k < runs.first[i + 1]; ++k) {
        const pixel_run& run = runs.runs[k];
        const img::BGRA<float>* row = image.row(run.y);
        for (unsigned x = run.x0; x < run.x1; ++x)
            pixel(x, run.y, row[x]);
    }
}

void statistics(motion_segmentation& s, const segment_runs& runs, bool scaled, float scale)
{
    if (s.statistics_current && s.statistics_scaled == scaled)
        return;
    if (!s.reference_images || !same_size(s, *s.reference_images))
        throw std::invalid_argument("reference images do not match the segmentation");
    const float_image& image = *s.reference_images;
    for_each_segment(s.segments.size(), [&](std::size_t i) {
        motion_segment& seg = s.segments[i];
        double m[3] = { 0.0, 0.0, 0.0 };
        for_each_pixel(runs, i, image, [&](unsigned, unsigned, const img::BGRA<float>& c) {
            m[0] += c.b;
            m[1] += c.g;
            m[2] += c.r;
        });
        // The variance is taken around the means as stored, in single
        // precision: stored first and read back, since g++ 12 at -O2 lets
        // the unrounded quotients through when one loop does both.
        for (int c = 0; c < 3; ++c)
            seg.mean_colour[c] = static_cast<float>(m[c] / seg.count);
        for (int c = 0; c < 3; ++c)
            m[c] = seg.mean_colour[c];
        double variance = 0.0;
        for_each_pixel(runs, i, image, [&](unsigned, unsigned, const img::BGRA<float>& c) {
            const double d0 = c.b - m[0];
            const double d1 = c.g - m[1];
            const double d2 = c.r - m[2];
            variance += d0 * d0 + d1 * d1 + d2 * d2;
        });
        double v = seg.count >= 2 ? variance / (seg.count - 1) : 0.0;
        if (scaled) {
            v *= scale;
            if (v == 0.0)
                v = 1e-5;
        }
        seg.variance = v;
    });
    s.statistics_current = true;
    s.statistics_scaled = scaled;
}

// One segment's score window: its pixels in row order, each adding its
// costs to every cell whose target lies inside `second`; then each cell
// divided by its hits.
template <class Kernel>
void score_segment(motion_segment& seg, const segment_runs& runs, std::size_t i, const float_image& first,
    const float_image& second, int radius)
{
    const int side = 2 * radius + 1;
    const int w = static_cast<int>(second.width);
    const int h = static_cast<int>(second.height);
    seg.scores.resize(static_cast<std::size_t>(side), static_cast<std::size_t>(side), 0.0);
    seg.hits.resize(static_cast<std::size_t>(side), static_cast<std::size_t>(side), 0);
    seg.origin = { radius, radius };
    const float variance = static_cast<float>(seg.variance);
    for_each_pixel(runs, i, first, [&](unsigned x, unsigned y, const img::BGRA<float>& source) {
        const float c0 = source.b;
        const float c1 = source.g;
        const float c2 = source.r;
        // Window cell (k, j) looks at (left + j, top + k) of the second
        // image; formed in 64 bits, so that no base displacement overflows.
        const std::int64_t left = std::int64_t(x) + seg.base.x - radius;
        const std::int64_t top = std::int64_t(y) + seg.base.y - radius;
        const int j0 = static_cast<int>(std::clamp<std::int64_t>(-left, 0, side));
        const int j1 = static_cast<int>(std::clamp<std::int64_t>(w - left, 0, side));
        const int k0 = static_cast<int>(std::clamp<std::int64_t>(-top, 0, side));
        const int k1 = static_cast<int>(std::clamp<std::int64_t>(h - top, 0, side));
        if (j0 >= j1)
            return;
        for (int k = k0; k < k1; ++k) {
            const img::BGRA<float>* t = second.row(static_cast<unsigned>(top + k)) + (left + j0);
            double* score = seg.scores[static_cast<std::size_t>(k)] + j0;
            int* hits = seg.hits[static_cast<std::size_t>(k)] + j0;
            for (int j = 0; j < j1 - j0; ++j) {
                const float d0 = t[j].b - c0;
                const float d1 = t[j].g - c1;
                const float d2 = t[j].r - c2;
                score[j] -= Kernel::cost(d0 * d0 + d1 * d1 + d2 * d2, variance);
                ++hits[j];
            }
        }
    });
    double* score = seg.scores.data();
    const int* hits = seg.hits.data();
    for (std::size_t c = 0; c < seg.scores.count(); ++c)
        if (hits[c] != 0)
            score[c] /= hits[c];
}

// Every segment's window summed by one task, pixel by pixel in row order,
// as a single thread would.
template <class Kernel>
void pass(motion_segmentation& s, const segment_runs& runs, const float_image& first,
    const float_image& second, int radius)
{
    for_each_segment(s.segments.size(),
        [&](std::size_t i) { score_segment<Kernel>(s.segments[i], runs, i, first, second, radius); });
}

void scores_pass(motion_segmentation& s, const segment_runs& runs, const float_image& first,
    const float_image& second, int kernel, int radius)
{
    switch (kernel) {
    case 0:
        pass<kernel_square>(s, runs, first, second, radius);
        break;
    case 1:
        pass<kernel_clipped>(s, runs, first, second, radius);
        break;
    default:
        pass<kernel_robust>(s, runs, first, second, radius);
        break;
    }
}

// The score of every displacement within r: minus the L1 distance between
// the segment's profile and the cross costs around that displacement. Each
// cell's sum runs over the profile in row order; a row of cells is summed
// side by side.
void match_profile(motion_segment& seg, const grid<double>& profile, int radius)
{
    const std::size_t side = 2 * static_cast<std::size_t>(radius) + 1;
    const std::size_t pside = profile.columns();
    grid<double> scores(side, side, 0.0);
    for (std::size_t row = 0; row < side; ++row) {
        double* sum = scores[row];
        for (std::size_t a = 0; a < pside; ++a) {
            const double* c = seg.scores[row + a];
            const double* t = profile[a];
            for (std::size_t b = 0; b < pside; ++b) {
                const double target = t[b];
                const double* cross = c + b;
                for (std::size_t col = 0; col < side; ++col)
                    sum[col] += std::fabs(cross[col] - target);
            }
        }
        for (std::size_t col = 0; col < side; ++col)
            sum[col] = -sum[col];
    }
    seg.scores.swap(scores);
    seg.origin = { radius, radius };
}

} // namespace

void colour_statistics(motion_segmentation& s, bool scaled, float scale)
{
    if (s.statistics_current && s.statistics_scaled == scaled)
        return;
    statistics(s, runs_of_segments(s), scaled, scale);
}

void profile_pass(
    motion_segmentation& s, const float_image& first, const float_image& second, int kernel, int radius)
{
    if (!same_size(s, first) || !same_size(s, second) || radius < 0)
        throw std::invalid_argument("images or window do not match the segmentation");
    scores_pass(s, runs_of_segments(s), first, second, kernel, radius);
}

bool build_profiles(
    motion_segmentation& s, const float_image& target, const profile_param& p, std::ostream& log)
{
    const std::string reason = unusable(s, target, p);
    if (!reason.empty()) {
        for (motion_segment& seg : s.segments) {
            seg.scores.clear();
            seg.hits.clear();
        }
        log << "profiles not built, no motion: " << reason << std::endl;
        return false;
    }
    check_window_memory(s, p);
    const float_image& reference = *s.reference_images;
    const segment_runs runs = runs_of_segments(s);
    statistics(s, runs, true, p.variance_scale);
    if (p.mode == 0) {
        scores_pass(s, runs, reference, target, p.kernel, p.radius);
        return true;
    }

    // Each segment's profile: its costs against the reference itself for
    // shifts up to R around no displacement.
    std::vector<int_offset> bases;
    bases.reserve(s.segments.size());
    for (motion_segment& seg : s.segments) {
        bases.push_back(seg.base);
        seg.base = {};
    }
    scores_pass(s, runs, reference, reference, p.kernel, p.profile_radius);
    std::vector<grid<double>> profiles(s.segments.size());
    for (std::size_t i = 0; i < s.segments.size(); ++i) {
        s.segments[i].base = bases[i];
        profiles[i].swap(s.segments[i].scores);
    }
    scores_pass(s, runs, reference, target, p.kernel, p.radius + p.profile_radius);
    for_each_segment(s.segments.size(), [&](std::size_t i) {
        s.segments[i].hits.clear();
        match_profile(s.segments[i], profiles[i], p.radius);
    });
    return true;
}

} // namespace trm
