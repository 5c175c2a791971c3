// The refinement pass visits only the pixels whose neighbourhood can change
// them (found ahead on the engine's threads) and the ones a change brings in,
// with most statistics decisions worked out ahead on the threads. These tests
// hold it to the plain pass that visits every pixel to check, row by row, and
// decides each in turn, on noisy frames and masks where changes cascade: the
// masks and the pass lines of the log (sorts and scans included) agree.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/masks/morphology.h"
#include "engine/matting/sliding_window.h"
#include "engine/refine/refine.h"
#include "engine/tests/mask_test_support.h"
#include "foundation/image/blit.h"

namespace {

using refine::colour_image;
using refine::decision;
using refine::mask;

// The pass loop visiting every pixel to check; the motion's inverse maps
// target pixels to source pixels as the stage does. Writes the stage's pass
// lines to `log`.
void plain_passes(const colour_image& a, const mask& am, const colour_image& b, mask& bm,
    const trm::affine_motion* motion, const refine::options& o, std::ostream& log)
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
        unsigned checks = 0;
        if (using_reference)
            img::blit_and(check, 0, 0, width, height, unjudged, 0, 0);
        for (unsigned y = 0; y < b.height; ++y) {
            trm::set_pixels_of_row(check, y, row);
            for (unsigned x : row) {
                const bool m = bm.at(x, y);
                decision d = refine::local_vote(working, x, y);
                if (d == refine::undecided) {
                    ++checks;
                    if (using_reference)
                        unjudged.at(x, y) = false;
                    unsigned sx = 0;
                    unsigned sy = 0;
                    if (map(x, y, sx, sy))
                        d = statistics.decide(am, sx, sy, b.row(y)[x], o.auto_threshold, o.enough_statistics);
                    if (d == refine::undecided && o.preference != refine::preference::none)
                        d = o.preference == refine::preference::masked ? refine::object : refine::background;
                }
                if ((d == refine::background && m) || (d == refine::object && !m)) {
                    working.at(x, y) = !m;
                    ++changes;
                } else {
                    check.at(x, y) = false;
                }
            }
        }
        log << "pass " << pass << ": checks=" << checks << ", cache_size=" << statistics.cache_size()
            << ", sorts=" << statistics.sorts() - sorts << ", scans=" << statistics.scans() - scans
            << ", changes=" << changes << "\n";
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

// The lines of a log that report passes.
std::string pass_lines(const std::string& log)
{
    std::istringstream in(log);
    std::string out;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("pass ", 0) == 0)
            out += line + "\n";
    return out;
}

struct threads_restored {
    ~threads_restored() { trm::thread_pool::set_threads(0); }
};

TEST(RefineSweep, AdjustEqualsThePassThatVisitsEveryPixel)
{
    const threads_restored restore;
    // One pass alone shows a pixel missed within the pass; later passes
    // could mend it.
    for (unsigned threads : { 1u, 8u })
        for (int w : { 1, 2, 3, 4 })
            for (int passes : { 0, 1, 150 }) {
                const bool automatic = passes != 1;
                trm::thread_pool::set_threads(threads);
                const noisy_scene s = make_noisy(97, 61, 7u + static_cast<std::uint32_t>(w));
                refine::options o;
                o.window_half_size = w;
                o.auto_threshold = automatic;
                o.max_passes = passes;
                mask expected = s.m;
                std::ostringstream expected_log;
                plain_passes(s.image, expected, s.image, expected, nullptr, o, expected_log);
                mask got = s.m;
                std::ostringstream log;
                refine::adjust(s.image, got, o, log);
                EXPECT_EQ(trm::testing::rows_of(got), trm::testing::rows_of(expected))
                    << "threads " << threads << ", w " << w << ", passes " << passes;
                EXPECT_EQ(pass_lines(log.str()), expected_log.str())
                    << "threads " << threads << ", w " << w << ", passes " << passes;
            }
}

TEST(RefineSweep, ReferencePassUnderMotionEqualsThePassThatVisitsEveryPixel)
{
    const threads_restored restore;
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
            mask expected = target.m;
            std::ostringstream expected_log;
            plain_passes(source.image, source.m, target.image, expected, &motion, o, expected_log);
            mask got = target.m;
            std::ostringstream log;
            refine::run_passes(source.image, source.m, target.image, got, &motion, o, true, log);
            EXPECT_EQ(trm::testing::rows_of(got), trm::testing::rows_of(expected))
                << "threads " << threads << ", passes " << passes;
            EXPECT_EQ(pass_lines(log.str()), expected_log.str())
                << "threads " << threads << ", passes " << passes;
        }
}

TEST(RefineSweep, ContractingMotionGivesThePlainPassesResultAndLogOnEveryThreadCount)
{
    // The target shows the source halved, turned and moved: up to four
    // target pixels share each source position, so the first to ask builds
    // the list the others vote on, and a list voted ahead serves several
    // pixels of different colours. Then the target adjusts itself.
    const threads_restored restore;
    trm::affine_motion motion;
    motion.xx = 0.55;
    motion.xy = -0.12;
    motion.yx = 0.12;
    motion.yy = 0.55;
    motion.x = 21.0;
    motion.y = 9.5;
    const noisy_scene source = make_noisy(96, 72, 31u);
    const noisy_scene target = make_noisy(96, 72, 32u);
    for (int w : { 2, 5 })
        for (bool automatic : { false, true }) {
            refine::options o;
            o.window_half_size = w;
            o.auto_threshold = automatic;
            o.preference = automatic ? refine::preference::masked : refine::preference::none;
            mask expected = target.m;
            std::ostringstream expected_log;
            plain_passes(source.image, source.m, target.image, expected, &motion, o, expected_log);
            std::string one_thread_log;
            mask one_thread;
            for (unsigned threads : { 1u, 2u, 8u }) {
                trm::thread_pool::set_threads(threads);
                mask reference_pass = target.m;
                std::ostringstream log;
                refine::run_passes(
                    source.image, source.m, target.image, reference_pass, &motion, o, true, log);
                EXPECT_EQ(trm::testing::rows_of(reference_pass), trm::testing::rows_of(expected))
                    << "threads " << threads << ", w " << w;
                EXPECT_EQ(pass_lines(log.str()), expected_log.str()) << "threads " << threads << ", w " << w;

                mask both = target.m;
                std::ostringstream both_log;
                refine::refine_frame(source.image, source.m, target.image, both,
                    refine::information_source::both, motion, o, both_log);
                if (threads == 1) {
                    one_thread = both;
                    one_thread_log = both_log.str();
                    // The motion halves: most pixels share their position.
                    EXPECT_NE(pass_lines(one_thread_log), "");
                } else {
                    EXPECT_EQ(trm::testing::rows_of(both), trm::testing::rows_of(one_thread))
                        << "threads " << threads << ", w " << w;
                    EXPECT_EQ(both_log.str(), one_thread_log) << "threads " << threads << ", w " << w;
                }
            }
        }
}

TEST(RefineSweep, SecondRefinementGivesTheSameMaskAndLogOnOneAndEightThreads)
{
    const threads_restored restore;
    const noisy_scene reference = make_noisy(128, 98, 41u);
    const noisy_scene target = make_noisy(128, 98, 42u);
    refine::refine2_options o;
    o.max_motion = 6;
    std::string first_log;
    mask first;
    for (unsigned threads : { 1u, 8u }) {
        trm::thread_pool::set_threads(threads);
        mask m = target.m;
        std::ostringstream log;
        refine::refine2(reference.image, reference.m, target.image, m, o, log);
        if (threads == 1) {
            first = m;
            first_log = log.str();
            EXPECT_NE(pass_lines(first_log), "");
        } else {
            EXPECT_EQ(trm::testing::rows_of(m), trm::testing::rows_of(first));
            EXPECT_EQ(log.str(), first_log);
        }
    }
}

} // namespace
