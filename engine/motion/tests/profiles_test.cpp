#include "engine/motion/profiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "engine/common/check_memory.h"
#include "engine/common/thread_pool.h"
#include "engine/motion/coherent_motion.h"
#include "engine/tests/mask_test_support.h"
#include "engine/tests/synthetic_scene.h"

namespace {

using trm::float_image;
using trm::motion_segmentation;
using trm::profile_param;
using trm::testing::filled_mask;

float_image uniform(unsigned width, unsigned height, float value)
{
    float_image f(width, height, 4);
    f.fill({ value, value, value, 255.0f });
    return f;
}

float_image as_float(const img::image<img::BGRA<unsigned char>>& frame)
{
    float_image f;
    f.assign(frame);
    return f;
}

// The segmentation of `mask` in blocks of 8 over `reference`.
motion_segmentation segmented(const img::image<img::bit>& mask, const float_image& reference)
{
    motion_segmentation s;
    s.build(mask, 8, 0);
    s.reference_images = &reference;
    return s;
}

// One segment of the single pixel (x, y) of a width x height frame.
motion_segmentation single_pixel(unsigned width, unsigned height, unsigned x, unsigned y)
{
    img::image<img::bit> mask = filled_mask(width, height, false);
    mask.at(x, y) = true;
    motion_segmentation s;
    s.build(mask, 1, 0);
    return s;
}

profile_param single_pass(int radius)
{
    profile_param p;
    p.mode = 0;
    p.radius = radius;
    return p;
}

TEST(Profiles, VarianceOfOnePixelIsZeroScaledToTheSmallestValue)
{
    const float_image reference = uniform(8, 8, 100.0f);
    motion_segmentation s = single_pixel(8, 8, 3, 3);
    s.reference_images = &reference;
    trm::colour_statistics(s, false, 2.0f);
    EXPECT_EQ(s.segments[0].variance, 0.0);
    EXPECT_FLOAT_EQ(s.segments[0].mean_colour[0], 100.0f);
    trm::colour_statistics(s, true, 2.0f);
    EXPECT_EQ(s.segments[0].variance, 1e-5);
    EXPECT_TRUE(s.statistics_current);
    EXPECT_TRUE(s.statistics_scaled);
}

// Sample variance of the colour distance to the mean, times the scale.
TEST(Profiles, VarianceIsTheScaledSampleVariance)
{
    float_image reference = uniform(2, 1, 0.0f);
    reference.at(1, 0) = img::BGRA<float> { 2.0f, 0.0f, 0.0f, 0.0f };
    motion_segmentation s;
    s.build(filled_mask(2, 1, true), 2, 0);
    s.reference_images = &reference;
    trm::colour_statistics(s, true, 3.0f);
    // Mean (1, 0, 0); squared distances 1 and 1; (1 + 1) / (2 - 1) = 2.
    EXPECT_DOUBLE_EQ(s.segments[0].variance, 6.0);
}

// A segment of identical pixels: the robust kernel costs about 1 for a
// visible difference and 0 for an exact match; cells looking outside the
// frame keep no hits and score 0; scores are means per hit.
TEST(Profiles, SinglePassScoresTheMeanCostOfTheCellsInsideTheFrame)
{
    const float_image reference = uniform(8, 8, 100.0f);
    float_image target = uniform(8, 8, 100.0f);
    target.at(1, 0) = img::BGRA<float> { 200.0f, 100.0f, 100.0f, 255.0f };
    motion_segmentation s = single_pixel(8, 8, 0, 0);
    s.reference_images = &reference;
    std::ostringstream log;
    ASSERT_TRUE(trm::build_profiles(s, target, single_pass(1), log));
    const trm::motion_segment& seg = s.segments[0];
    ASSERT_EQ(seg.scores.rows(), 3u);
    EXPECT_EQ(seg.origin, (trm::int_offset { 1, 1 }));
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) {
            const bool inside = k >= 1 && j >= 1;
            EXPECT_EQ(seg.hits[k][j], inside ? 1 : 0) << k << ", " << j;
            if (k == 1 && j == 2)
                EXPECT_NEAR(seg.scores[k][j], -1.0, 1e-6);
            else
                EXPECT_EQ(seg.scores[k][j], 0.0) << k << ", " << j;
        }
    EXPECT_TRUE(log.str().empty());
}

// Against itself with no base displacement, the cross costs around zero
// equal the profile: displacement zero scores 0, the best possible.
TEST(Profiles, TwoPassMatchingOfTheReferenceItselfScoresZeroAtNoDisplacement)
{
    const trm::testing::synthetic_scene scene = trm::testing::make_scene(160, 128);
    const float_image reference = as_float(scene.frame);
    motion_segmentation s = segmented(scene.object, reference);
    profile_param p;
    p.radius = 4;
    std::ostringstream log;
    ASSERT_TRUE(trm::build_profiles(s, reference, p, log));
    for (const trm::motion_segment& seg : s.segments) {
        ASSERT_EQ(seg.scores.columns(), 9u);
        EXPECT_TRUE(seg.hits.empty());
        EXPECT_EQ(seg.scores[4][4], 0.0);
        for (std::size_t c = 0; c < seg.scores.count(); ++c)
            EXPECT_LE(seg.scores.data()[c], 0.0);
    }
}

// The object moved 3 right and 2 up: inner segments score best there.
TEST(Profiles, BestScoreOfInnerSegmentsIsTheTrueShift)
{
    const trm::testing::synthetic_scene reference_scene = trm::testing::make_scene(200, 160);
    const trm::testing::synthetic_scene target_scene
        = trm::testing::make_scene(200, 160, trm::affine_motion { 3.0, -2.0, 1.0, 0.0, 0.0, 1.0 });
    const float_image reference = as_float(reference_scene.frame);
    const float_image target = as_float(target_scene.frame);
    motion_segmentation s = segmented(reference_scene.object, reference);
    profile_param p;
    p.radius = 5;
    std::ostringstream log;
    ASSERT_TRUE(trm::build_profiles(s, target, p, log));
    int right = 0;
    for (const trm::motion_segment& seg : s.segments) {
        std::size_t best = 0;
        for (std::size_t c = 1; c < seg.scores.count(); ++c)
            if (seg.scores.data()[c] > seg.scores.data()[best])
                best = c;
        right += best == (5 - 2) * 11 + (5 + 3);
    }
    EXPECT_GE(right, static_cast<int>(s.segment_count() * 8 / 10)) << right << " of " << s.segment_count();
}

// The sums a single raster scan forms: every pixel in row order adds to its
// segment's sums. Profiles must give exactly these numbers on any number of
// threads, so that a calculation's records do not depend on the machine.
struct raster_sums {
    std::vector<double> variance;
    std::vector<std::vector<double>> scores;
};

raster_sums raster_single_pass(const motion_segmentation& s, const float_image& reference,
    const float_image& target, float scale, int radius)
{
    const std::size_t n = s.segments.size();
    const int side = 2 * radius + 1;
    std::vector<double> mean(3 * n, 0.0);
    for (unsigned y = 0; y < s.height; ++y)
        for (unsigned x = 0; x < s.width; ++x)
            if (const int i = s.segment_index[y][x]; i >= 0) {
                const img::BGRA<float> p = reference.row(y)[x];
                mean[3 * i] += p.b;
                mean[3 * i + 1] += p.g;
                mean[3 * i + 2] += p.r;
            }
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            mean[3 * i + c] = static_cast<float>(mean[3 * i + c] / s.segments[i].count);
    raster_sums r;
    r.variance.assign(n, 0.0);
    r.scores.assign(n, std::vector<double>(static_cast<std::size_t>(side * side), 0.0));
    std::vector<std::vector<int>> hits(n, std::vector<int>(static_cast<std::size_t>(side * side), 0));
    for (unsigned y = 0; y < s.height; ++y)
        for (unsigned x = 0; x < s.width; ++x)
            if (const int i = s.segment_index[y][x]; i >= 0) {
                const img::BGRA<float> p = reference.row(y)[x];
                const double d[3] = { p.b - mean[3 * i], p.g - mean[3 * i + 1], p.r - mean[3 * i + 2] };
                r.variance[i] += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            }
    for (std::size_t i = 0; i < n; ++i)
        r.variance[i] = r.variance[i] / (s.segments[i].count - 1) * scale;
    for (unsigned y = 0; y < s.height; ++y)
        for (unsigned x = 0; x < s.width; ++x)
            if (const int i = s.segment_index[y][x]; i >= 0) {
                const img::BGRA<float> p = reference.row(y)[x];
                const auto variance = static_cast<float>(r.variance[i]);
                for (int k = 0; k < side; ++k)
                    for (int j = 0; j < side; ++j) {
                        const int tx = static_cast<int>(x) + s.segments[i].base.x + j - radius;
                        const int ty = static_cast<int>(y) + s.segments[i].base.y + k - radius;
                        if (tx < 0 || ty < 0 || tx >= static_cast<int>(target.width)
                            || ty >= static_cast<int>(target.height))
                            continue;
                        const img::BGRA<float> t = target.row(static_cast<unsigned>(ty))[tx];
                        const float d0 = t.b - p.b;
                        const float d1 = t.g - p.g;
                        const float d2 = t.r - p.r;
                        const float d2sum = d0 * d0 + d1 * d1 + d2 * d2;
                        r.scores[i][static_cast<std::size_t>(k * side + j)] -= d2sum / (d2sum + variance);
                        ++hits[i][static_cast<std::size_t>(k * side + j)];
                    }
            }
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t c = 0; c < r.scores[i].size(); ++c)
            if (hits[i][c] != 0)
                r.scores[i][c] /= hits[i][c];
    return r;
}

TEST(Profiles, EveryThreadCountGivesTheSumsOfARasterScanExactly)
{
    const trm::testing::synthetic_scene reference_scene = trm::testing::make_scene(200, 160);
    const trm::testing::synthetic_scene target_scene
        = trm::testing::make_scene(200, 160, trm::affine_motion { 2.0, 1.0, 1.0, 0.0, 0.0, 1.0 });
    const float_image reference = as_float(reference_scene.frame);
    const float_image target = as_float(target_scene.frame);
    motion_segmentation plain = segmented(reference_scene.object, reference);
    // Bases that move some windows partly out of the frame.
    for (std::size_t i = 0; i < plain.segments.size(); ++i)
        plain.segments[i].base = { static_cast<int>(i % 7) * 9 - 27, static_cast<int>(i % 5) * 11 - 22 };
    profile_param p = single_pass(3);
    const raster_sums expected = raster_single_pass(plain, reference, target, p.variance_scale, p.radius);
    struct restored {
        ~restored() { trm::thread_pool::set_threads(0); }
    } restore;
    for (unsigned threads : { 1u, 3u, 8u }) {
        trm::thread_pool::set_threads(threads);
        motion_segmentation s = plain;
        std::ostringstream log;
        ASSERT_TRUE(trm::build_profiles(s, target, p, log));
        for (std::size_t i = 0; i < s.segments.size(); ++i) {
            ASSERT_EQ(s.segments[i].variance, expected.variance[i]) << threads << " threads, segment " << i;
            ASSERT_EQ(s.segments[i].scores.count(), expected.scores[i].size());
            for (std::size_t c = 0; c < expected.scores[i].size(); ++c)
                ASSERT_EQ(s.segments[i].scores.data()[c], expected.scores[i][c])
                    << threads << " threads, segment " << i << ", cell " << c;
        }
    }
}

// A key mask of another size than the frames: no windows, a line in the log,
// and the motion stages estimate no motion instead of reading out of bounds.
TEST(Profiles, FramesOfAnotherSizeGiveNoProfilesAndNoMotion)
{
    const float_image reference = uniform(64, 64, 10.0f);
    const float_image small = uniform(32, 32, 10.0f);
    motion_segmentation s = segmented(filled_mask(64, 64, true), reference);
    std::ostringstream log;
    ASSERT_TRUE(trm::build_profiles(s, reference, profile_param(), log));

    EXPECT_FALSE(trm::build_profiles(s, small, profile_param(), log));
    EXPECT_NE(log.str().find("profiles not built, no motion: frame size 32x32"), std::string::npos);
    for (const trm::motion_segment& seg : s.segments)
        EXPECT_TRUE(seg.scores.empty());

    s.segments[0].displacement = { 2, 1 };
    trm::seed_displacements(s, trm::affine_motion { 5.0, 5.0, 1.0, 0.0, 0.0, 1.0 });
    EXPECT_EQ(s.segments[0].displacement, (trm::int_offset { 2, 1 }));

    trm::affine_motion out { 1.0, 2.0, 1.0, 0.0, 0.0, 1.0 };
    trm::random15 random;
    std::ostringstream motion_log;
    trm::find_coherent_motion(s, out, trm::coherent_motion_param(), random, motion_log);
    EXPECT_EQ(out, trm::affine_motion());
    EXPECT_NE(motion_log.str().find("no motion"), std::string::npos);

    EXPECT_THROW(trm::profile_pass(s, reference, small, 2, 1), std::invalid_argument);
    s.reference_images = &small;
    EXPECT_FALSE(trm::build_profiles(s, reference, profile_param(), log));
    s.reference_images = nullptr;
    EXPECT_FALSE(trm::build_profiles(s, reference, profile_param(), log));
    EXPECT_NE(log.str().find("no reference frame"), std::string::npos);
}

TEST(Profiles, UnsupportedOptionsGiveNoProfiles)
{
    const float_image reference = uniform(16, 16, 10.0f);
    motion_segmentation s = segmented(filled_mask(16, 16, true), reference);
    profile_param modes;
    modes.mode = 2;
    profile_param kernel;
    kernel.kernel = 3;
    profile_param radius;
    radius.radius = -1;
    for (const profile_param& p : { modes, kernel, radius }) {
        std::ostringstream log;
        EXPECT_FALSE(trm::build_profiles(s, reference, p, log));
        EXPECT_FALSE(log.str().empty());
    }
}

// Windows far beyond the available memory are refused before any is made.
TEST(Profiles, WindowsBeyondTheAvailableMemoryAreRefused)
{
    const float_image reference = uniform(64, 64, 10.0f);
    motion_segmentation s = segmented(filled_mask(64, 64, true), reference);
    profile_param p;
    p.radius = 100000;
    std::ostringstream log;
    try {
        trm::build_profiles(s, reference, p, log);
        FAIL() << "not refused";
    } catch (const trm::not_enough_memory& e) {
        EXPECT_NE(std::string(e.what()).find("Not enough memory for motion profiles of 64 segments"),
            std::string::npos);
    }
    for (const trm::motion_segment& seg : s.segments)
        EXPECT_TRUE(seg.scores.empty());
}

// A tracker size of 1 makes a segment of every mask pixel: with the largest
// maximum motion their windows would take hundreds of gigabytes.
TEST(Profiles, TinyTrackerSizeOnALargeMaskIsRefused)
{
    const unsigned side = 400;
    const float_image reference = uniform(side, side, 10.0f);
    motion_segmentation s;
    s.build(filled_mask(side, side, true), 1, 0);
    ASSERT_EQ(s.segment_count(), std::size_t(side) * side);
    s.reference_images = &reference;
    profile_param p;
    p.radius = 100;
    const std::uint64_t need = std::uint64_t(side) * side * (205 * 205 * 12 + 25 * 8 + 201 * 201 * 8);
    if (trm::available_memory() >= need)
        GTEST_SKIP() << "this machine has the memory";
    std::ostringstream log;
    EXPECT_THROW(trm::build_profiles(s, reference, p, log), trm::not_enough_memory);
}

} // namespace
