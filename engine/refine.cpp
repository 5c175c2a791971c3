#include "engine/refine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "engine/morphology.h"
#include "engine/pyramid.h"
#include "engine/reduction.h"
#include "engine/sliding_window.h"
#include "engine/thread_pool.h"
#include "foundation/blit.h"

namespace refine {

namespace {

template <class A, class B> void require_same_size(const A& a, const B& b, const char* message)
{
    if (a.width != b.width || a.height != b.height)
        throw std::runtime_error(message);
}

void require_image_sizes(const colour_image& a, const mask& am, const colour_image& b, const mask& bm)
{
    require_same_size(am, a, "refinement: the reference mask does not have the reference image's size");
    require_same_size(bm, b, "refinement: the target mask does not have the target image's size");
}

// Set bits among three (a lookup: std::popcount is a library call unless the
// target has the instruction).
constexpr int set_of_three[8] = { 0, 1, 1, 2, 1, 2, 2, 3 };

// Bits x − 1, x and x + 1 of a row, x − 1 the highest; 1 <= x < width − 1.
unsigned three_bits(const unsigned char* row, unsigned x) noexcept
{
    const unsigned first = (x - 1) >> 3;
    const unsigned last = (x + 1) >> 3;
    const unsigned pair = static_cast<unsigned>(row[first]) << 8 | (last == first ? 0u : row[last]);
    return (pair >> (13 - ((x - 1) & 7))) & 7u;
}

constexpr int all_neighbours = 8;

// Target pixel (x, y) to source pixel (trunc(u), trunc(v)) through the
// inverse of the motion with 0.5 added to its translation (the identity
// without a motion); false outside the source.
class position_map {
public:
    position_map(const trm::affine_motion* motion, const colour_image& source, std::ostream& log)
        : m_identity(motion == nullptr)
        , m_width(source.width)
        , m_height(source.height)
    {
        if (motion) {
            m_inverse = motion->inverse(log);
            m_inverse.x += 0.5;
            m_inverse.y += 0.5;
        }
    }

    bool operator()(unsigned x, unsigned y, unsigned& sx, unsigned& sy) const noexcept
    {
        if (m_identity) {
            sx = x;
            sy = y;
            return x < m_width && y < m_height;
        }
        const double u = m_inverse.x + m_inverse.xx * x + m_inverse.xy * y;
        const double v = m_inverse.y + m_inverse.yx * x + m_inverse.yy * y;
        // Compared before any conversion: trunc lands inside exactly when
        // −1 < u < width.
        if (!(u > -1.0 && u < static_cast<double>(m_width) && v > -1.0 && v < static_cast<double>(m_height)))
            return false;
        sx = static_cast<unsigned>(static_cast<std::int64_t>(u));
        sy = static_cast<unsigned>(static_cast<std::int64_t>(v));
        return true;
    }

private:
    bool m_identity;
    unsigned m_width;
    unsigned m_height;
    trm::affine_motion m_inverse;
};

struct pixel {
    unsigned x = 0;
    unsigned y = 0;
};

// Sets bits first to last (both included) of a mask row.
void set_span(unsigned char* row, unsigned first, unsigned last) noexcept
{
    const unsigned first_byte = first >> 3;
    const unsigned last_byte = last >> 3;
    const auto head = static_cast<unsigned char>(0xFFu >> (first & 7));
    const auto tail = static_cast<unsigned char>(0xFFu << (7 - (last & 7)));
    if (first_byte == last_byte) {
        row[first_byte] |= head & tail;
        return;
    }
    row[first_byte] |= head;
    std::memset(row + first_byte + 1, 0xFF, last_byte - first_byte - 1);
    row[last_byte] |= tail;
}

// The pixels to check in the next pass: those within w steps of a pixel the
// pass changed (4-neighbour steps, or 8-neighbour ones when w <= 2), as
// dilating the changed pixels w times would give, kept only where `limit`
// and `also` (either may be null) are set. `changed` is in row order. Bands
// of rows are drawn on the engine's threads.
void grow_check(mask& check, const std::vector<pixel>& changed, int w, const mask* limit, const mask* also)
{
    const bool square = w <= 2;
    const unsigned reach = static_cast<unsigned>(w);
    const std::size_t bytes = (check.width + 7) / 8;
    trm::parallel_rows(check.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y)
            std::memset(check.row(y), 0, bytes);
        const unsigned top = y0 > reach ? y0 - reach : 0;
        auto it = std::lower_bound(
            changed.begin(), changed.end(), top, [](const pixel& p, unsigned row) { return p.y < row; });
        for (; it != changed.end() && it->y < y1 + reach; ++it) {
            const unsigned first_row = std::max(y0, it->y > reach ? it->y - reach : 0);
            const unsigned last_row = std::min(y1 - 1, it->y + reach);
            for (unsigned y = first_row; y <= last_row; ++y) {
                const unsigned r = square ? reach : reach - (y > it->y ? y - it->y : it->y - y);
                set_span(check.row(y), it->x > r ? it->x - r : 0, std::min(check.width - 1, it->x + r));
            }
        }
        for (const mask* m : { limit, also })
            if (m)
                for (unsigned y = y0; y < y1; ++y) {
                    unsigned char* row = check.row(y);
                    const unsigned char* keep = m->row(y);
                    for (std::size_t i = 0; i < bytes; ++i)
                        row[i] &= keep[i];
                }
    });
}

decision preferred(const options& o, decision d) noexcept
{
    if (d != undecided)
        return d;
    if (o.preference == preference::masked)
        return object;
    if (o.preference == preference::unmasked)
        return background;
    return undecided;
}

// One pass's plan, made on the engine's threads from the mask as it stands
// before the pass: per row, the pixels to check whose neighbours disagree or
// whose neighbours' vote changes them, with the statistics decision worked
// out ahead for those that will ask for one: voted ahead on the position's
// list, or prepared with a list of its own for a position without one.
// Every other pixel to check would keep its bit: the pass skips it, unless a
// neighbour visited before it changes during the pass (the pass then visits
// it too). A decision worked out ahead is the one the pass would make, so
// the result does not depend on the threads.
struct planned_pixel {
    unsigned x = 0;
    // Index of its prepared decision in its row's, or -1.
    std::int32_t ahead = -1;
};

struct row_plan {
    std::vector<planned_pixel> pixels;
    std::vector<window_statistics::prepared> decisions;
};

void plan_pass(std::vector<row_plan>& plan, window_statistics& statistics, const mask& check,
    const mask& working, const position_map& map, const mask& am, const colour_image& b, const mask& bm,
    const options& o)
{
    plan.resize(b.height);
    trm::parallel_rows(b.height, [&](unsigned y0, unsigned y1) {
        std::vector<unsigned> row;
        for (unsigned y = y0; y < y1; ++y) {
            row_plan& out = plan[y];
            out.pixels.clear();
            out.decisions.clear();
            trm::set_pixels_of_row(check, y, row);
            for (unsigned x : row) {
                const decision d = local_vote(working, x, y);
                if (d == undecided) {
                    planned_pixel p { x, -1 };
                    unsigned sx = 0;
                    unsigned sy = 0;
                    if (map(x, y, sx, sy)) {
                        if (statistics.has_list(sx, sy)) {
                            statistics.vote_ahead(am, sx, sy, o.auto_threshold, o.enough_statistics);
                        } else {
                            p.ahead = static_cast<std::int32_t>(out.decisions.size());
                            statistics.prepare(out.decisions.emplace_back(), am, sx, sy, b.row(y)[x],
                                o.auto_threshold, o.enough_statistics);
                        }
                    }
                    out.pixels.push_back(p);
                } else if ((d == background) == bm.at(x, y)) {
                    out.pixels.push_back({ x, -1 });
                }
            }
        }
    });
}

void reference_pass(const colour_image& a, const mask& am, const colour_image& b, mask& bm,
    const trm::affine_motion* motion, const options& o, std::ostream& log)
{
    if (!o.quiet)
        log << "\nrefine using reference frame\n";
    run_passes(a, am, b, bm, motion, o, true, log);
}

} // namespace

decision local_vote(const mask& m, unsigned x, unsigned y) noexcept
{
    if (x >= 1 && y >= 1 && x + 1 < m.width && y + 1 < m.height) {
        const int set = set_of_three[three_bits(m.row(y - 1), x)] + set_of_three[three_bits(m.row(y), x) & 5u]
            + set_of_three[three_bits(m.row(y + 1), x)];
        return set == all_neighbours ? object : set == 0 ? background : undecided;
    }
    int inside = 0;
    int set = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const std::int64_t nx = static_cast<std::int64_t>(x) + dx;
            const std::int64_t ny = static_cast<std::int64_t>(y) + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= m.width || ny >= m.height)
                continue;
            ++inside;
            set += m.at(static_cast<unsigned>(nx), static_cast<unsigned>(ny));
        }
    if (inside == 0)
        return undecided;
    return set == inside ? object : set == 0 ? background : undecided;
}

void run_passes(const colour_image& a, const mask& am, const colour_image& b, mask& bm,
    const trm::affine_motion* motion, const options& o, bool using_reference, std::ostream& log)
{
    require_image_sizes(a, am, b, bm);
    if (o.check_mask)
        require_same_size(
            *o.check_mask, b, "refinement: the mask of pixels to check does not have the frame's size");
    using_reference = using_reference || am.data != bm.data;
    window_statistics statistics(a, o.window_half_size);
    if (!o.quiet)
        log << "refining initiated..." << std::endl;
    std::ostream silent(nullptr);
    const position_map map(motion, a, o.quiet ? silent : log);

    mask check(b.width, b.height, 4);
    check.fill(true);
    if (o.check_mask)
        img::blit_and(
            check, 0, 0, static_cast<int>(b.width), static_cast<int>(b.height), *o.check_mask, 0, 0);
    // Pixels never judged by statistics.
    mask unjudged;
    if (using_reference) {
        unjudged = mask(b.width, b.height, 4);
        unjudged.fill(true);
    }
    mask working(bm);
    std::vector<row_plan> plan;
    std::vector<unsigned> brought;
    std::vector<unsigned> changed_below;
    // The pixels the pass changed, in the order it visited them.
    std::vector<pixel> changed;
    for (int pass = 0;; ++pass) {
        const std::uint64_t sorts = statistics.sorts();
        const std::uint64_t scans = statistics.scans();
        unsigned checks = 0;
        changed.clear();
        plan_pass(plan, statistics, check, working, map, am, b, bm, o);
        // Rows in order, each pixel in order: the planned ones, and those a
        // change of a neighbour before them brings in.
        changed_below.clear();
        for (unsigned y = 0; y < b.height; ++y) {
            row_plan& rp = plan[y];
            brought.swap(changed_below);
            changed_below.clear();
            std::size_t i = 0;
            std::size_t j = 0;
            std::int64_t last = -1;
            std::int64_t carry = -1;
            for (;;) {
                std::int64_t x = INT64_MAX;
                if (i < rp.pixels.size())
                    x = rp.pixels[i].x;
                if (j < brought.size())
                    x = std::min<std::int64_t>(x, brought[j]);
                if (carry > last)
                    x = std::min(x, carry);
                if (x == INT64_MAX)
                    break;
                window_statistics::prepared* ahead = nullptr;
                if (i < rp.pixels.size() && rp.pixels[i].x == x) {
                    if (rp.pixels[i].ahead >= 0)
                        ahead = &rp.decisions[static_cast<std::size_t>(rp.pixels[i].ahead)];
                    ++i;
                }
                while (j < brought.size() && brought[j] <= x)
                    ++j;
                if (x <= last)
                    continue;
                last = x;
                const auto ux = static_cast<unsigned>(x);
                if (!check.at(ux, y))
                    continue;
                const bool m = bm.at(ux, y);
                decision d = local_vote(working, ux, y);
                if (d == undecided) {
                    ++checks;
                    if (using_reference)
                        unjudged.at(ux, y) = false;
                    unsigned sx = 0;
                    unsigned sy = 0;
                    if (map(ux, y, sx, sy))
                        d = statistics.decide(
                            am, sx, sy, b.row(y)[ux], o.auto_threshold, o.enough_statistics, ahead);
                    d = preferred(o, d);
                }
                if ((d == background && m) || (d == object && !m)) {
                    working.at(ux, y) = !m;
                    changed.push_back({ ux, y });
                    // The neighbours visited after this pixel see the change.
                    if (ux + 1 < b.width)
                        carry = x + 1;
                    if (y + 1 < b.height) {
                        if (ux > 0)
                            changed_below.push_back(ux - 1);
                        changed_below.push_back(ux);
                        if (ux + 1 < b.width)
                            changed_below.push_back(ux + 1);
                    }
                }
            }
        }
        const auto changes = static_cast<unsigned>(changed.size());
        if (!o.quiet)
            log << "pass " << pass << ": checks=" << checks << ", cache_size=" << statistics.cache_size()
                << ", sorts=" << statistics.sorts() - sorts << ", scans=" << statistics.scans() - scans
                << ", changes=" << changes << std::endl;
        // The target mask takes the pass's changes (the working mask differs
        // from it there alone).
        for (const pixel& p : changed)
            bm.at(p.x, p.y) = static_cast<bool>(working.at(p.x, p.y));
        if (changes == 0 || (statistics.sorts() == sorts && statistics.scans() == scans)
            || pass >= o.max_passes)
            break;
        grow_check(check, changed, o.window_half_size, using_reference ? &unjudged : nullptr, o.check_mask);
        statistics.age();
    }
}

void refine_frame(const colour_image& reference, const mask& reference_mask, const colour_image& target,
    mask& target_mask, information_source source, const trm::affine_motion& motion, const options& o,
    std::ostream& log)
{
    require_image_sizes(reference, reference_mask, target, target_mask);
    const bool from_reference = source == information_source::reference || source == information_source::both;
    const bool from_target = source == information_source::target || source == information_source::both;
    if (!from_reference && !from_target)
        throw std::runtime_error("refinement: unknown information source");
    if (from_reference)
        reference_pass(reference, reference_mask, target, target_mask, &motion, o, log);
    if (from_target) {
        if (!o.quiet)
            log << "\nrefine (adjust)\n";
        run_passes(target, target_mask, target, target_mask, nullptr, o, false, log);
    }
}

void adjust(const colour_image& image, mask& m, const options& o, std::ostream& log)
{
    run_passes(image, m, image, m, nullptr, o, false, log);
}

void band(const mask& m, int r, mask& out)
{
    mask inner;
    trm::erode4_n(inner, m, r);
    trm::dilate4_n(out, m, r);
    img::blit_and_not(out, 0, 0, static_cast<int>(out.width), static_cast<int>(out.height), inner, 0, 0);
}

void refine2(const colour_image& i1, const mask& m1, const colour_image& i2, mask& m2,
    const refine2_options& o, std::ostream& log)
{
    require_image_sizes(i1, m1, i2, m2);
    // Radii from max_motion halving down, one per pyramid level, the largest
    // at full resolution.
    std::vector<int> radii;
    for (int r = o.max_motion; r > 0 && static_cast<long>(radii.size()) <= static_cast<long>(o.max_level);
         r /= 2)
        radii.push_back(r);
    if (radii.empty())
        return;
    const int top = static_cast<int>(radii.size()) - 1;
    const unsigned factor = 1u << top;

    // Reduced at once here; the target's levels halve step by step (equal
    // sizes: floor(floor(n / 2) / 2) = floor(n / 4)). The reduced reference
    // mask is a copy even at full size, since m1 may be m2.
    colour_image reduced_reference;
    if (factor > 1)
        trm::reduce_image(i1, reduced_reference, factor, factor);
    const colour_image& x1 = factor > 1 ? reduced_reference : i1;
    mask y1;
    trm::reduce_mask(m1, y1, factor, factor);
    const trm::colour_pyramid p(i2, top);
    const trm::mask_pyramid q(m2, top);

    mask current(q[top]);
    mask check;
    options level_options;
    level_options.window_half_size = 5;
    level_options.auto_threshold = true;
    level_options.enough_statistics = 3.5f;
    level_options.quiet = o.quiet;
    level_options.check_mask = &check;
    band(q[top], radii[static_cast<std::size_t>(top)], check);
    reference_pass(x1, y1, p[top], current, nullptr, level_options, log);

    level_options.auto_threshold = false;
    for (int level = top - 1; level >= 0; --level) {
        const mask& given = q[level];
        const int width = static_cast<int>(given.width);
        const int height = static_cast<int>(given.height);
        band(given, radii[static_cast<std::size_t>(level)], check);
        // Inside the band the coarser result, outside it the given mask.
        mask coarse(given.width, given.height, 4);
        coarse.fill(false);
        trm::expand_mask(current, coarse, 2, 2);
        img::blit_and(coarse, 0, 0, width, height, check, 0, 0);
        mask next(given);
        img::blit_and_not(next, 0, 0, width, height, check, 0, 0);
        img::blit_or(next, 0, 0, width, height, coarse, 0, 0);
        current.swap(next);
        adjust(p[level], current, level_options, log);
    }
    img::copy_whole(m2, current);
}

} // namespace refine
