#include "engine/motion/coherent_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/motion/profiles.h"
#include "engine/tests/mask_test_support.h"
#include "engine/tests/synthetic_scene.h"

namespace {

using trm::affine_motion;
using trm::coherent_motion_param;
using trm::motion_segmentation;

// A row of `count` blocks of 8 x 8 pixels, each segment's window a copy of
// `window` (rows of equal length), origin at its centre.
motion_segmentation row_of_segments(std::size_t count, const std::vector<std::vector<double>>& window)
{
    motion_segmentation s;
    s.build(trm::testing::filled_mask(static_cast<unsigned>(8 * count), 8, true), 8, 0);
    for (trm::motion_segment& seg : s.segments) {
        seg.scores.resize(window[0].size(), window.size(), 0.0);
        for (std::size_t r = 0; r < window.size(); ++r)
            for (std::size_t c = 0; c < window[r].size(); ++c)
                seg.scores[r][c] = window[r][c];
        seg.origin = { static_cast<int>(window[0].size() / 2), static_cast<int>(window.size() / 2) };
    }
    return s;
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Windows with one best cell at (+1, -1).
const std::vector<std::vector<double>> sloped { { -3, -2, -1 }, { -2, -1, -2 }, { -5, -4, -3 } };

// Runs the stage with a generator of its own; returns the log.
std::string run(motion_segmentation& s, const coherent_motion_param& p, affine_motion& out)
{
    trm::random15 random;
    std::ostringstream log;
    trm::find_coherent_motion(s, out, p, random, log);
    return log.str();
}

TEST(Random15, FollowsTheClassicSequenceFromSeedOne)
{
    trm::random15 random;
    const unsigned expected[] = { 41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464 };
    for (unsigned value : expected)
        EXPECT_EQ(random.next(), value);
    trm::random15 other;
    for (int i = 0; i < 100000; ++i)
        EXPECT_LE(other.next(), trm::random15::max);
}

TEST(CoherentMotion, FewerThanTenSegmentsGiveTheIdentity)
{
    motion_segmentation s = row_of_segments(9, { { -1, -1, -1 }, { -1, 0, -1 }, { -1, -1, -1 } });
    affine_motion out { 1, 2, 3, 4, 5, 6 };
    const std::string text = run(s, coherent_motion_param(), out);
    EXPECT_EQ(out, affine_motion());
    EXPECT_EQ(text.rfind("\nFunctional maximization\n", 0), 0u);
    const std::size_t quality = text.find("motion quality=");
    ASSERT_NE(quality, std::string::npos);
    EXPECT_EQ(text.substr(text.find('\n', quality) + 1),
        "Segments count is less than 10, so it was decided not to find motion approximation\n");
}

// All scores zero: Fc = 0, so mu becomes 0 and F = 0, which ends the
// maximisation silently.
TEST(CoherentMotion, AllScoresZeroEndTheMaximisationSilently)
{
    motion_segmentation s = row_of_segments(12, { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 0, 0 } });
    affine_motion out;
    const std::string text = run(s, coherent_motion_param(), out);
    EXPECT_EQ(occurrences(text, "F(initial approximation) = 0\n"), 3u);
    EXPECT_EQ(occurrences(text, "F(step"), 0u);
    EXPECT_EQ(occurrences(text, "exceeded"), 0u);
    EXPECT_NE(text.find("mu=0\t\tFc=0\tFd=-0"), std::string::npos);
    EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.xx));
}

TEST(CoherentMotion, OneIterationTakesOneStep)
{
    motion_segmentation s = row_of_segments(12, sloped);
    coherent_motion_param p;
    p.max_iterations = 1;
    p.rounds = 0;
    affine_motion out;
    const std::string text = run(s, p, out);
    EXPECT_EQ(occurrences(text, "F(step 0)"), 1u);
    EXPECT_EQ(occurrences(text, "F(step 1)"), 0u);
    EXPECT_EQ(
        occurrences(text, "maximum iterations number exceeded.") + occurrences(text, "changed too little"),
        1u);
}

// Two equal maxima: the initial approximation takes either with about equal
// chance; a step keeps the first in row-major order.
TEST(CoherentMotion, TiesAreDrawnInTheApproximationAndFirstInAStep)
{
    const std::vector<std::vector<double>> window { { -1, -1, -1 }, { 0, -1, 0 }, { -1, -1, -1 } };
    trm::random15 random;
    coherent_motion_param approximation_only;
    approximation_only.max_iterations = 0;
    int left = 0;
    const int draws = 400;
    for (int i = 0; i < draws; ++i) {
        motion_segmentation s = row_of_segments(1, window);
        affine_motion out;
        std::ostringstream log;
        trm::find_coherent_motion(s, out, approximation_only, random, log);
        const trm::int_offset d = s.segments[0].displacement;
        ASSERT_TRUE(d == (trm::int_offset { -1, 0 }) || d == (trm::int_offset { 1, 0 }));
        left += d.x < 0;
    }
    EXPECT_GT(left, draws * 4 / 10);
    EXPECT_LT(left, draws * 6 / 10);

    // With mu fixed at 0 a step takes the best own score, the first of equal
    // ones, whichever the approximation drew.
    const std::vector<std::vector<double>> lower { { -2, -2, -2 }, { -1, -2, -1 }, { -2, -2, -2 } };
    coherent_motion_param steps;
    steps.mu_update = 0;
    steps.mu = 0.0f;
    for (int i = 0; i < 20; ++i) {
        motion_segmentation s = row_of_segments(1, lower);
        affine_motion out;
        std::ostringstream log;
        trm::find_coherent_motion(s, out, steps, random, log);
        ASSERT_NE(log.str().find("F(step 0)"), std::string::npos);
        EXPECT_EQ(s.segments[0].displacement, (trm::int_offset { -1, 0 }));
    }
}

// A segment without neighbours keeps the displacement of its best score
// whatever its neighbourless peers do.
TEST(CoherentMotion, SegmentWithoutNeighboursKeepsItsBestScore)
{
    motion_segmentation s = row_of_segments(12, { { -9, -9, -9 }, { -9, -5, -9 }, { -9, -9, -9 } });
    // Segment 5 is cut loose, with its best score at (+1, +1).
    for (trm::motion_segment& seg : s.segments)
        seg.neighbours.erase(s.segments[5].key);
    s.segments[5].neighbours.clear();
    s.segments[5].scores[2][2] = -1.0;
    coherent_motion_param p;
    p.rounds = 0;
    p.final_seed = false;
    affine_motion out;
    run(s, p, out);
    EXPECT_EQ(s.segments[5].displacement, (trm::int_offset { 1, 1 }));
    EXPECT_EQ(s.segments[4].displacement, (trm::int_offset { 0, 0 }));
}

TEST(CoherentMotion, LambdaZeroSetsTheLargestMu)
{
    motion_segmentation s = row_of_segments(12, sloped);
    coherent_motion_param p;
    p.lambda = 0.0f;
    p.rounds = 0;
    affine_motion out;
    const std::string text = run(s, p, out);
    EXPECT_NE(text.find("mu=1e+10\t\t"), std::string::npos);
    EXPECT_EQ(text.find("mu=0\t"), std::string::npos);
}

// Negative iterations: no approximation, base displacements zero, and the
// maximisations of the rounds still end.
TEST(CoherentMotion, NegativeIterationsResetTheBasesAndStillEnd)
{
    motion_segmentation s = row_of_segments(12, sloped);
    for (trm::motion_segment& seg : s.segments)
        seg.base = { 4, -4 };
    coherent_motion_param p;
    p.max_iterations = -1;
    affine_motion out;
    run(s, p, out);
    for (const trm::motion_segment& seg : s.segments)
        EXPECT_EQ(seg.base, (trm::int_offset {}));
    EXPECT_TRUE(std::isfinite(out.x));
}

struct scene_case {
    const char* name;
    affine_motion truth;
};

// The whole estimate on a textured object: block segmentation, profiles and
// coherent motion with the engine's fixed parameters recover the motion.
TEST(CoherentMotion, RecoversTheMotionOfATexturedObject)
{
    const unsigned w = 240;
    const unsigned h = 192;
    const scene_case cases[] = {
        { "shift", { 3.0, -2.0, 1.0, 0.0, 0.0, 1.0 } },
        { "turn", trm::testing::turn_and_shift(w, h, 0.03, 2.0, 1.0) },
    };
    const trm::testing::synthetic_scene reference = trm::testing::make_scene(w, h);
    trm::float_image reference_colour;
    reference_colour.assign(reference.frame);
    trm::random15 random;
    for (const scene_case& c : cases) {
        const trm::testing::synthetic_scene target = trm::testing::make_scene(w, h, c.truth);
        trm::float_image target_colour;
        target_colour.assign(target.frame);
        motion_segmentation s;
        s.build(reference.object, 8, 0);
        s.reference_images = &reference_colour;
        ASSERT_GE(s.segment_count(), 10u);
        std::ostringstream log;
        trm::profile_param pp;
        pp.radius = 6;
        ASSERT_TRUE(trm::build_profiles(s, target_colour, pp, log));
        affine_motion out;
        trm::find_coherent_motion(s, out, coherent_motion_param(), random, log);
        // Compare where the object is: the displacement at its centre and
        // at points of its outline.
        for (const auto& [u, v] : { std::pair { w / 2.0, h / 2.0 }, std::pair { w / 2.0 + 40, h / 2.0 },
                 std::pair { w / 2.0, h / 2.0 - 40 } }) {
            const affine_motion::point got = out.apply(u, v);
            const affine_motion::point want = c.truth.apply(u, v);
            EXPECT_NEAR(got.x, want.x, 0.5) << c.name;
            EXPECT_NEAR(got.y, want.y, 0.5) << c.name;
        }
    }
}

} // namespace

// Hundreds of segments with windows full of equal values, the best of them
// met again and again and also passed by better ones later in the scan: on one
// thread and on eight the approximation draws among equal maxima exactly as a
// scan of one segment after the other does, and the steps and the motion
// found come out the same.
TEST(CoherentMotion, ManySegmentsDrawAndStepAlikeOnAnyThreadCount)
{
    struct restored {
        ~restored() { trm::thread_pool::set_threads(0); }
    } restore;
    const std::size_t count = 700;
    std::mt19937 values(5);
    std::uniform_int_distribution<int> level(0, 3);
    std::vector<std::vector<std::vector<double>>> windows(count);
    for (auto& w : windows) {
        w.assign(5, std::vector<double>(5));
        for (auto& row : w)
            for (double& v : row)
                v = -level(values);
    }
    const auto segments = [&] {
        motion_segmentation s = row_of_segments(count, windows[0]);
        for (std::size_t i = 0; i < count; ++i)
            for (std::size_t r = 0; r < 5; ++r)
                for (std::size_t c = 0; c < 5; ++c)
                    s.segments[i].scores[r][c] = windows[i][r][c];
        return s;
    };

    // Without neighbours' weight each segment draws among its own maxima.
    coherent_motion_param own;
    own.neighbour_weight = 0.0f;
    own.max_iterations = 0;
    own.rounds = 0;
    own.final_seed = false;
    std::vector<trm::int_offset> expected(count);
    trm::random15 reference;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t chosen = 0;
        std::uint64_t ties = 0;
        double best = 0.0;
        for (std::size_t cell = 0; cell < 25; ++cell) {
            const double v = windows[i][cell / 5][cell % 5];
            if (cell == 0 || v > best) {
                best = v;
                chosen = cell;
                ties = 1;
            } else if (v == best && reference.next() * ++ties <= trm::random15::max) {
                chosen = cell;
            }
        }
        expected[i] = { static_cast<int>(chosen % 5) - 2, static_cast<int>(chosen / 5) - 2 };
    }
    std::string logs[2];
    std::vector<trm::int_offset> found[2];
    affine_motion motions[2];
    for (const unsigned threads : { 1u, 8u }) {
        SCOPED_TRACE(threads);
        trm::thread_pool::set_threads(threads);
        motion_segmentation s = segments();
        affine_motion out;
        run(s, own, out);
        for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(s.segments[i].displacement, expected[i]) << "segment " << i;

        motion_segmentation full = segments();
        logs[threads > 1] = run(full, coherent_motion_param {}, motions[threads > 1]);
        for (const trm::motion_segment& seg : full.segments)
            found[threads > 1].push_back(seg.displacement);
    }
    EXPECT_EQ(logs[0], logs[1]);
    EXPECT_EQ(found[0], found[1]);
    EXPECT_EQ(std::memcmp(&motions[0], &motions[1], sizeof(affine_motion)), 0);
}
