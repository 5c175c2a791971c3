#include "engine/profiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/check_memory.h"
#include "engine/thread_pool.h"

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

// The lowest and highest segment index met on each row and in each column
// (lowest > highest where no segment pixel lies), so that a group of
// segments visits only the rectangle that holds its pixels.
struct index_spans {
    std::vector<int> row_low;
    std::vector<int> row_high;
    std::vector<int> column_low;
    std::vector<int> column_high;
};

index_spans segment_spans(const motion_segmentation& s)
{
    index_spans r;
    r.row_low.assign(s.height, 0);
    r.row_high.assign(s.height, -1);
    r.column_low.assign(s.width, INT32_MAX);
    r.column_high.assign(s.width, -1);
    parallel_rows(s.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const int* index = s.segment_index[y];
            int low = INT32_MAX;
            int high = -1;
            for (unsigned x = 0; x < s.width; ++x)
                if (index[x] >= 0) {
                    low = std::min(low, index[x]);
                    high = std::max(high, index[x]);
                }
            if (high >= 0) {
                r.row_low[y] = low;
                r.row_high[y] = high;
            }
        }
    });
    const std::size_t bands = std::size_t(thread_pool::shared().threads()) * 8;
    parallel_ranges(s.width, std::max<std::size_t>(1, (s.width + bands - 1) / bands),
        [&](std::size_t x0, std::size_t x1) {
            for (unsigned y = 0; y < s.height; ++y) {
                const int* index = s.segment_index[y];
                for (std::size_t x = x0; x < x1; ++x)
                    if (index[x] >= 0) {
                        r.column_low[x] = std::min(r.column_low[x], index[x]);
                        r.column_high[x] = std::max(r.column_high[x], index[x]);
                    }
            }
        });
    return r;
}

// [first, last) of the positions whose span meets segments [a, b); empty
// when none does.
std::pair<unsigned, unsigned> meeting(const std::vector<int>& low, const std::vector<int>& high, int a, int b)
{
    unsigned first = 0;
    const auto n = static_cast<unsigned>(low.size());
    while (first < n && (high[first] < a || low[first] >= b))
        ++first;
    unsigned last = n;
    while (last > first && (high[last - 1] < a || low[last - 1] >= b))
        --last;
    return { first, last };
}

// The segments in groups of consecutive indices, a group per task: every
// segment's window is summed by one task, pixel by pixel in row order, as a
// single thread would.
template <class Kernel>
void pass(motion_segmentation& s, const float_image& first, const float_image& second, int radius)
{
    const int side = 2 * radius + 1;
    const int w = static_cast<int>(second.width);
    const int h = static_cast<int>(second.height);
    const index_spans spans = segment_spans(s);
    const std::size_t groups = std::size_t(thread_pool::shared().threads()) * 4;
    const std::size_t grain = std::max<std::size_t>(1, (s.segments.size() + groups - 1) / groups);
    parallel_ranges(s.segments.size(), grain, [&](std::size_t first_segment, std::size_t last_segment) {
        const int a = static_cast<int>(first_segment);
        const int b = static_cast<int>(last_segment);
        const auto [y0, y1] = meeting(spans.row_low, spans.row_high, a, b);
        const auto [x0, x1] = meeting(spans.column_low, spans.column_high, a, b);
        for (unsigned y = y0; y < y1; ++y) {
            if (spans.row_high[y] < a || spans.row_low[y] >= b)
                continue;
            const int* index = s.segment_index[y];
            const img::BGRA<float>* source = first.row(y);
            for (unsigned x = x0; x < x1; ++x) {
                if (index[x] < a || index[x] >= b)
                    continue;
                motion_segment& seg = s.segments[static_cast<std::size_t>(index[x])];
                const float c0 = source[x].b;
                const float c1 = source[x].g;
                const float c2 = source[x].r;
                const float variance = static_cast<float>(seg.variance);
                // Window cell (k, j) looks at (left + j, top + k) of the
                // second image; formed in 64 bits, so that no base
                // displacement overflows.
                const std::int64_t left = std::int64_t(x) + seg.base.x - radius;
                const std::int64_t top = std::int64_t(y) + seg.base.y - radius;
                const int j0 = static_cast<int>(std::clamp<std::int64_t>(-left, 0, side));
                const int j1 = static_cast<int>(std::clamp<std::int64_t>(w - left, 0, side));
                const int k0 = static_cast<int>(std::clamp<std::int64_t>(-top, 0, side));
                const int k1 = static_cast<int>(std::clamp<std::int64_t>(h - top, 0, side));
                if (j0 >= j1)
                    continue;
                for (int k = k0; k < k1; ++k) {
                    const img::BGRA<float>* t = second.row(static_cast<unsigned>(top + k)) + (left + j0);
                    double* score = seg.scores[k] + j0;
                    int* hits = seg.hits[k] + j0;
                    for (int j = 0; j < j1 - j0; ++j) {
                        const float d0 = t[j].b - c0;
                        const float d1 = t[j].g - c1;
                        const float d2 = t[j].r - c2;
                        score[j] -= Kernel::cost(d0 * d0 + d1 * d1 + d2 * d2, variance);
                        ++hits[j];
                    }
                }
            }
        }
    });
}

// Calls body(i) for every segment index, on the engine's threads.
void for_each_segment(std::size_t count, const std::function<void(std::size_t)>& body)
{
    parallel_ranges(count, 16, [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i)
            body(i);
    });
}

// The score of every displacement within r: minus the L1 distance between
// the segment's profile and the cross costs around that displacement.
void match_profile(motion_segment& seg, const grid<double>& profile, int radius)
{
    const std::size_t side = 2 * static_cast<std::size_t>(radius) + 1;
    const std::size_t pside = profile.columns();
    grid<double> scores(side, side, 0.0);
    for (std::size_t row = 0; row < side; ++row)
        for (std::size_t col = 0; col < side; ++col) {
            double sum = 0.0;
            for (std::size_t a = 0; a < pside; ++a) {
                const double* c = seg.scores[row + a] + col;
                const double* t = profile[a];
                for (std::size_t b = 0; b < pside; ++b)
                    sum += std::fabs(c[b] - t[b]);
            }
            scores[row][col] = -sum;
        }
    seg.scores.swap(scores);
    seg.origin = { radius, radius };
}

} // namespace

void colour_statistics(motion_segmentation& s, bool scaled, float scale)
{
    if (s.statistics_current && s.statistics_scaled == scaled)
        return;
    if (!s.reference_images || !same_size(s, *s.reference_images))
        throw std::invalid_argument("reference images do not match the segmentation");
    const std::size_t n = s.segments.size();
    std::vector<double> mean(3 * n, 0.0);
    std::vector<double> variance(n, 0.0);
    const float_image& image = *s.reference_images;
    for (unsigned y = 0; y < s.height; ++y) {
        const int* index = s.segment_index[y];
        const img::BGRA<float>* row = image.row(y);
        for (unsigned x = 0; x < s.width; ++x)
            if (index[x] >= 0) {
                double* m = &mean[3 * static_cast<std::size_t>(index[x])];
                m[0] += row[x].b;
                m[1] += row[x].g;
                m[2] += row[x].r;
            }
    }
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            s.segments[i].mean_colour[c] = static_cast<float>(mean[3 * i + c] / s.segments[i].count);
            mean[3 * i + c] = s.segments[i].mean_colour[c];
        }
    for (unsigned y = 0; y < s.height; ++y) {
        const int* index = s.segment_index[y];
        const img::BGRA<float>* row = image.row(y);
        for (unsigned x = 0; x < s.width; ++x)
            if (index[x] >= 0) {
                const double* m = &mean[3 * static_cast<std::size_t>(index[x])];
                const double d0 = row[x].b - m[0];
                const double d1 = row[x].g - m[1];
                const double d2 = row[x].r - m[2];
                variance[index[x]] += d0 * d0 + d1 * d1 + d2 * d2;
            }
    }
    for (std::size_t i = 0; i < n; ++i) {
        motion_segment& seg = s.segments[i];
        double v = seg.count >= 2 ? variance[i] / (seg.count - 1) : 0.0;
        if (scaled) {
            v *= scale;
            if (v == 0.0)
                v = 1e-5;
        }
        seg.variance = v;
    }
    s.statistics_current = true;
    s.statistics_scaled = scaled;
}

void profile_pass(
    motion_segmentation& s, const float_image& first, const float_image& second, int kernel, int radius)
{
    if (!same_size(s, first) || !same_size(s, second) || radius < 0)
        throw std::invalid_argument("images or window do not match the segmentation");
    const std::size_t side = 2 * static_cast<std::size_t>(radius) + 1;
    for (motion_segment& seg : s.segments) {
        seg.scores.resize(side, side, 0.0);
        seg.hits.resize(side, side, 0);
        seg.origin = { radius, radius };
    }
    switch (kernel) {
    case 0:
        pass<kernel_square>(s, first, second, radius);
        break;
    case 1:
        pass<kernel_clipped>(s, first, second, radius);
        break;
    default:
        pass<kernel_robust>(s, first, second, radius);
        break;
    }
    for_each_segment(s.segments.size(), [&](std::size_t i) {
        motion_segment& seg = s.segments[i];
        double* score = seg.scores.data();
        const int* hits = seg.hits.data();
        for (std::size_t c = 0; c < seg.scores.count(); ++c)
            if (hits[c] != 0)
                score[c] /= hits[c];
    });
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
    colour_statistics(s, true, p.variance_scale);
    if (p.mode == 0) {
        profile_pass(s, reference, target, p.kernel, p.radius);
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
    profile_pass(s, reference, reference, p.kernel, p.profile_radius);
    std::vector<grid<double>> profiles(s.segments.size());
    for (std::size_t i = 0; i < s.segments.size(); ++i) {
        s.segments[i].base = bases[i];
        profiles[i].swap(s.segments[i].scores);
    }
    profile_pass(s, reference, target, p.kernel, p.radius + p.profile_radius);
    for_each_segment(s.segments.size(), [&](std::size_t i) {
        s.segments[i].hits.clear();
        match_profile(s.segments[i], profiles[i], p.radius);
    });
    return true;
}

} // namespace trm
