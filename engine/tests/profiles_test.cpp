#include "engine/profiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "engine/check_memory.h"
#include "engine/coherent_motion.h"
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
