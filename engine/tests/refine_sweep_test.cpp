// The refinement pass visits only the pixels whose neighbourhood can change
// them (found ahead on the engine's threads) and the ones a change brings in.
// These tests hold it to the plain pass that visits every pixel to check, row
// by row, on noisy frames and masks where changes cascade.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "engine/morphology.h"
#include "engine/refine.h"
#include "engine/sliding_window.h"
#include "engine/tests/mask_test_support.h"
#include "engine/thread_pool.h"
#include "foundation/image/blit.h"

namespace {

using refine::colour_image;
using refine::decision;
using refine::mask;

// The pass loop visiting every pixel to check; the motion's inverse maps
// target pixels to source pixels as the stage does.
void plain_passes(const colour_image& a, const mask& am, const colour_image& b, mask& bm,
    const trm::affine_motion* motion, const refine::options& o)
{
    std::ostream silent(nullptr);
    const bool using_reference = am.data != bm.data;
    refine::window_statistics statistics(a, o.window_half_size);
    trm::affine_motion inverse;
    if (motion) {
        inverse = motion->inverse(silent);
        inverse.x += 0.5;
        inverse.y += 0.5;
    }
    const auto map = [&](unsigned x, unsigned y, unsigned& sx, unsigned& sy) {
        if (!motion) {
            sx = x;
            sy = y;
            return x < a.width && y < a.height;
        }
        const double u = inverse.x + inverse.xx * x + inverse.xy * y;
        const double v = inverse.y + inverse.yx * x + inverse.yy * y;
        if (!(u > -1.0 && u < double(a.width) && v > -1.0 && v < double(a.height)))
            return false;
        sx = static_cast<unsigned>(static_cast<std::int64_t>(u));
        sy = static_cast<unsigned>(static_cast<std::int64_t>(v));
        return true;
    };
    const int width = static_cast<int>(b.width);
    const int height = static_cast<int>(b.height);
    mask check(b.width, b.height, 4);
    check.fill(true);
    mask unjudged;
    if (using_reference)
        unjudged = check;
    mask working(bm);
    std::vector<unsigned> row;
    for (int pass = 0;; ++pass) {
        const std::uint64_t sorts = statistics.sorts();
        const std::uint64_t scans = statistics.scans();
        unsigned changes = 0;
        if (using_reference)
            img::blit_and(check, 0, 0, width, height, unjudged, 0, 0);
        for (unsigned y = 0; y < b.height; ++y) {
            trm::set_pixels_of_row(check, y, row);
            for (unsigned x : row) {
                const bool m = bm.at(x, y);
                decision d = refine::local_vote(working, x, y);
                if (d == refine::undecided) {
                    if (using_reference)
                        unjudged.at(x, y) = false;
                    unsigned sx = 0;
                    unsigned sy = 0;
                    if (map(x, y, sx, sy))
                        d = statistics.decide(am, sx, sy, b.row(y)[x], o.auto_threshold, o.enough_statistics);
                }
                if ((d == refine::background && m) || (d == refine::object && !m)) {
                    working.at(x, y) = !m;
                    ++changes;
                } else {
                    check.at(x, y) = false;
                }
            }
        }
        if (changes == 0 || (statistics.sorts() == sorts && statistics.scans() == scans)
            || pass >= o.max_passes)
            break;
        img::copy_whole(bm, working);
        if (o.window_half_size <= 2)
            trm::dilate8_n(check, check, o.window_half_size);
        else
            trm::dilate4_n(check, check, o.window_half_size);
        statistics.age();
    }
    img::copy_whole(bm, working);
}

// A disc of object colour on background colour, both with strong noise, and
// a mask of the disc with speckles: many pixels stay undecided and changes
// run along rows and down columns.
struct noisy_scene {
    colour_image image;
    mask m;
};

noisy_scene make_noisy(unsigned width, unsigned height, std::uint32_t seed)
{
    noisy_scene s { colour_image(width, height, 4), trm::testing::filled_mask(width, height, false) };
    const auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    const double r = height / 3.0;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const bool inside = (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r;
            const auto noise = [&] { return static_cast<int>(next() % 120); };
            s.image.row(y)[x] = inside ? img::BGRA<unsigned char> { static_cast<unsigned char>(20 + noise()),
                static_cast<unsigned char>(40 + noise()), static_cast<unsigned char>(120 + noise()), 255 }
                                       : img::BGRA<unsigned char> { static_cast<unsigned char>(120 + noise()),
                                             static_cast<unsigned char>(60 + noise()),
                                             static_cast<unsigned char>(20 + noise()), 255 };
            s.m.at(x, y) = (next() % 7 == 0) ? !inside : inside;
        }
    return s;
}

struct threads_restored {
    ~threads_restored() { trm::thread_pool::set_threads(0); }
};

TEST(RefineSweep, AdjustEqualsThePassThatVisitsEveryPixel)
{
    const threads_restored restore;
    std::ostream silent(nullptr);
    // One pass alone shows a pixel missed within the pass; later passes
    // could mend it.
    for (unsigned threads : { 1u, 8u })
        for (int w : { 1, 2, 4 })
            for (int passes : { 0, 1, 150 }) {
                const bool automatic = passes != 1;
                trm::thread_pool::set_threads(threads);
                const noisy_scene s = make_noisy(97, 61, 7u + static_cast<std::uint32_t>(w));
                refine::options o;
                o.window_half_size = w;
                o.auto_threshold = automatic;
                o.max_passes = passes;
                o.quiet = true;
                mask expected = s.m;
                plain_passes(s.image, expected, s.image, expected, nullptr, o);
                mask got = s.m;
                refine::adjust(s.image, got, o, silent);
                EXPECT_EQ(trm::testing::rows_of(got), trm::testing::rows_of(expected))
                    << "threads " << threads << ", w " << w << ", passes " << passes;
            }
}

TEST(RefineSweep, ReferencePassUnderMotionEqualsThePassThatVisitsEveryPixel)
{
    const threads_restored restore;
    std::ostream silent(nullptr);
    // A turn and a shift: several target pixels share source positions, so
    // the first to ask builds the list the others use.
    trm::affine_motion motion;
    motion.xx = 1.02;
    motion.xy = -0.07;
    motion.yx = 0.07;
    motion.yy = 1.02;
    motion.x = 2.3;
    motion.y = -1.6;
    for (unsigned threads : { 1u, 8u })
        for (int passes : { 0, 150 }) {
            trm::thread_pool::set_threads(threads);
            const noisy_scene source = make_noisy(83, 67, 11u);
            const noisy_scene target = make_noisy(83, 67, 12u);
            refine::options o;
            o.window_half_size = 3;
            o.auto_threshold = false;
            o.max_passes = passes;
            o.quiet = true;
            mask expected = target.m;
            plain_passes(source.image, source.m, target.image, expected, &motion, o);
            mask got = target.m;
            refine::run_passes(source.image, source.m, target.image, got, &motion, o, true, silent);
            EXPECT_EQ(trm::testing::rows_of(got), trm::testing::rows_of(expected))
                << "threads " << threads << ", passes " << passes;
        }
}

} // namespace
