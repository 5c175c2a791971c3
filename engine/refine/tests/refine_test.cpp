#include "engine/refine/refine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/tests/mask_test_support.h"

namespace {

using refine::colour_image;
using refine::mask;
using trm::testing::filled_mask;
using trm::testing::mask_from_rows;
using trm::testing::rows_of;

constexpr img::BGRA<unsigned char> object_colour { 50, 50, 200, 255 };
constexpr img::BGRA<unsigned char> background_colour { 200, 50, 50, 255 };

// Object colour left of column `edge`, background colour from it on.
colour_image two_colour_frame(unsigned width, unsigned height, unsigned edge)
{
    colour_image im(width, height, 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            im.row(y)[x] = x < edge ? object_colour : background_colour;
    return im;
}

mask left_of(unsigned width, unsigned height, unsigned edge)
{
    mask m = filled_mask(width, height, false);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < edge && x < width; ++x)
            m.at(x, y) = true;
    return m;
}

colour_image uniform(unsigned width, unsigned height)
{
    colour_image im(width, height, 4);
    im.fill(img::BGRA<unsigned char> { 90, 90, 90, 255 });
    return im;
}

mask checkerboard(unsigned width, unsigned height)
{
    mask m = filled_mask(width, height, false);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            m.at(x, y) = (x + y) % 2 == 0;
    return m;
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

refine::options manual(int w)
{
    refine::options o;
    o.window_half_size = w;
    o.auto_threshold = false;
    o.enough_statistics = 3.5f;
    return o;
}

TEST(Refine, NeighbourVoteIgnoresThePixelItselfAndCountsOnlyNeighboursInsideTheImage)
{
    const mask m = mask_from_rows({
        "##...",
        "##.#.",
        ".....",
        "....#",
    });
    EXPECT_EQ(refine::local_vote(m, 0, 0), refine::object); // corner: three neighbours, all set
    EXPECT_EQ(refine::local_vote(m, 1, 0), refine::undecided); // edge: five neighbours, mixed
    EXPECT_EQ(refine::local_vote(m, 3, 1), refine::background); // set pixel, eight clear neighbours
    EXPECT_EQ(refine::local_vote(m, 2, 1), refine::undecided);
    EXPECT_EQ(refine::local_vote(m, 4, 3), refine::background); // corner, three clear neighbours
    EXPECT_EQ(refine::local_vote(m, 3, 3), refine::undecided);
    EXPECT_EQ(refine::local_vote(filled_mask(3, 3, true), 1, 1), refine::object);
    EXPECT_EQ(refine::local_vote(filled_mask(1, 1, true), 0, 0), refine::undecided);
    EXPECT_EQ(refine::local_vote(mask_from_rows({ "#.#" }), 1, 0), refine::object);
}

TEST(Refine, IsolatedPixelFlipsWithoutStatisticsAndTheLastPassIsKept)
{
    const colour_image im = uniform(9, 9);
    mask m = filled_mask(9, 9, false);
    m.at(4, 4) = true;
    const mask only_that_pixel = m;
    refine::options o = manual(2);
    o.check_mask = &only_that_pixel;
    std::ostringstream log;
    refine::adjust(im, m, o, log);
    // The pass made no scan and no sort, so the loop ends after it; its
    // change still reaches the result.
    EXPECT_EQ(m.count(), 0u);
    EXPECT_EQ(log.str(),
        "refining initiated...\n"
        "pass 0: checks=0, cache_size=0, sorts=0, scans=0, changes=1\n");
}

TEST(Refine, MaskOnTheColourEdgeEndsAfterOnePassWithoutChanges)
{
    const colour_image im = two_colour_frame(24, 12, 10);
    mask m = left_of(24, 12, 10);
    std::ostringstream log;
    refine::adjust(im, m, manual(4), log);
    EXPECT_EQ(rows_of(m), rows_of(left_of(24, 12, 10)));
    EXPECT_EQ(occurrences(log.str(), "pass "), 1u);
    EXPECT_EQ(log.str().rfind("refining initiated...\npass 0: checks=24, cache_size=24, sorts=", 0), 0u)
        << log.str();
    EXPECT_NE(log.str().find(", scans=24, changes=0\n"), std::string::npos) << log.str();
}

TEST(Refine, UndecidedPixelsFollowThePreference)
{
    // A checkerboard on a uniform frame: every pixel has mixed neighbours
    // and no vote of at most three window pixels is significant.
    const colour_image im = uniform(8, 8);
    for (auto [preference, expected] :
        { std::pair { refine::preference::none, 32u }, std::pair { refine::preference::masked, 64u },
            std::pair { refine::preference::unmasked, 0u } }) {
        mask m = checkerboard(8, 8);
        refine::options o = manual(1);
        o.preference = preference;
        std::ostringstream log;
        refine::adjust(im, m, o, log);
        EXPECT_EQ(m.count(), expected) << static_cast<int>(preference);
        if (preference == refine::preference::none) {
            EXPECT_EQ(rows_of(m), rows_of(checkerboard(8, 8)));
        }
    }
}

TEST(Refine, PassLimitEndsTheLoopAndKeepsTheLastPassesChanges)
{
    // The object colour reaches column 6, the mask column 14: the
    // statistics pull the outline back a little each pass.
    const colour_image im = two_colour_frame(40, 20, 6);
    mask unlimited = left_of(40, 20, 14);
    std::ostringstream full_log;
    refine::adjust(im, unlimited, manual(10), full_log);
    const std::size_t passes = occurrences(full_log.str(), "pass ");
    ASSERT_GE(passes, 3u) << full_log.str();

    mask limited = left_of(40, 20, 14);
    refine::options o = manual(10);
    o.max_passes = 1;
    std::ostringstream log;
    refine::adjust(im, limited, o, log);
    EXPECT_EQ(occurrences(log.str(), "pass "), 2u);
    // The result is the mask after pass 1, not after pass 0.
    mask after_pass_zero = left_of(40, 20, 14);
    o.max_passes = 0;
    std::ostringstream ignored;
    refine::adjust(im, after_pass_zero, o, ignored);
    EXPECT_NE(rows_of(limited), rows_of(after_pass_zero));
    EXPECT_NE(rows_of(limited), rows_of(left_of(40, 20, 14)));
}

TEST(Refine, ReferenceStatisticsMoveTheMaskToTheTargetsOutline)
{
    const colour_image reference = two_colour_frame(40, 16, 10);
    const mask reference_mask = left_of(40, 16, 10);
    const colour_image target = two_colour_frame(40, 16, 13);
    for (auto source : { refine::information_source::reference, refine::information_source::both }) {
        mask m = reference_mask;
        std::ostringstream log;
        refine::refine_frame(reference, reference_mask, target, m, source, {}, manual(6), log);
        EXPECT_EQ(rows_of(m), rows_of(left_of(40, 16, 13))) << static_cast<int>(source);
        EXPECT_EQ(log.str().rfind("\nrefine using reference frame\nrefining initiated...\n", 0), 0u);
        EXPECT_EQ(occurrences(log.str(), "\nrefine (adjust)\n"),
            source == refine::information_source::both ? 1u : 0u);
    }
}

TEST(Refine, TargetStatisticsAloneAdjustTheMaskToItsOwnColours)
{
    // The mask overshoots the object by one column.
    const colour_image target = two_colour_frame(40, 16, 13);
    const mask unused = left_of(40, 16, 10);
    mask m = left_of(40, 16, 14);
    std::ostringstream log;
    refine::refine_frame(target, unused, target, m, refine::information_source::target, {}, manual(6), log);
    EXPECT_EQ(rows_of(m), rows_of(left_of(40, 16, 13)));
    EXPECT_EQ(log.str().rfind("\nrefine (adjust)\nrefining initiated...\n", 0), 0u);
}

TEST(Refine, MotionMapsTargetPixelsToTheirReferencePositions)
{
    // The object's edge moved from column 10 to 30; the target mask reaches
    // column 28.
    const colour_image reference = two_colour_frame(60, 12, 10);
    const mask reference_mask = left_of(60, 12, 10);
    const colour_image target = two_colour_frame(60, 12, 30);
    const trm::affine_motion shift { 20.0, 0.0, 1.0, 0.0, 0.0, 1.0 };
    mask moved = left_of(60, 12, 28);
    std::ostringstream log;
    refine::refine_frame(reference, reference_mask, target, moved, refine::information_source::reference,
        shift, manual(6), log);
    EXPECT_EQ(rows_of(moved), rows_of(left_of(60, 12, 30)));

    // Without the motion the statistics come from the background around
    // column 28 of the reference: the mask does not reach the outline.
    mask unmoved = left_of(60, 12, 28);
    refine::refine_frame(reference, reference_mask, target, unmoved, refine::information_source::reference,
        {}, manual(6), log);
    EXPECT_FALSE(unmoved.at(29, 6));
    EXPECT_FALSE(unmoved.at(28, 6));
}

TEST(Refine, PositionsMappedOutsideTheReferenceStayUndecided)
{
    const colour_image reference = two_colour_frame(30, 10, 10);
    const mask reference_mask = left_of(30, 10, 10);
    const colour_image target = two_colour_frame(30, 10, 12);
    const trm::affine_motion away { 1000.0, 0.0, 1.0, 0.0, 0.0, 1.0 };
    mask m = left_of(30, 10, 10);
    std::ostringstream log;
    refine::refine_frame(
        reference, reference_mask, target, m, refine::information_source::reference, away, manual(3), log);
    EXPECT_EQ(rows_of(m), rows_of(left_of(30, 10, 10)));
    EXPECT_NE(
        log.str().find("pass 0: checks=20, cache_size=0, sorts=0, scans=0, changes=0\n"), std::string::npos)
        << log.str();

    refine::options masked = manual(3);
    masked.preference = refine::preference::masked;
    refine::refine_frame(
        reference, reference_mask, target, m, refine::information_source::reference, away, masked, log);
    EXPECT_GT(m.count(), left_of(30, 10, 10).count());
}

TEST(Refine, QuietPassesWriteNothing)
{
    const colour_image im = two_colour_frame(20, 8, 8);
    mask m = left_of(20, 8, 10);
    refine::options o = manual(3);
    o.quiet = true;
    std::ostringstream log;
    refine::refine_frame(im, m, im, m, refine::information_source::both, {}, o, log);
    EXPECT_EQ(log.str(), "");
}

TEST(Refine, BandHoldsThePixelsWithinRStepsOfTheOutline)
{
    const mask m = mask_from_rows({
        ".......",
        ".#####.",
        ".#####.",
        ".#####.",
        ".......",
    });
    mask out;
    refine::band(m, 1, out);
    EXPECT_EQ(rows_of(out),
        (std::vector<std::string> {
            ".#####.",
            "#######",
            "##...##",
            "#######",
            ".#####.",
        }));
    refine::band(m, 0, out);
    EXPECT_EQ(out.count(), 0u);
}

TEST(Refine, SecondRefinementRunsOneLevelPerRadiusWithinItsBand)
{
    // The outline moved 3 columns; a largest radius of 1 lets it follow by
    // one column only.
    const colour_image reference = two_colour_frame(64, 32, 30);
    const mask reference_mask = left_of(64, 32, 30);
    const colour_image target = two_colour_frame(64, 32, 33);
    for (auto [max_motion, max_level, levels, edge] : { std::tuple { 5, 3, 3u, 33u },
             std::tuple { 1, 3, 1u, 31u }, std::tuple { 8, 1, 2u, 33u }, std::tuple { 5, 5, 3u, 33u } }) {
        mask m = reference_mask;
        refine::refine2_options o;
        o.max_motion = max_motion;
        o.max_level = max_level;
        std::ostringstream log;
        refine::refine2(reference, reference_mask, target, m, o, log);
        EXPECT_EQ(occurrences(log.str(), "refining initiated..."), levels) << max_motion << " " << max_level;
        EXPECT_EQ(occurrences(log.str(), "\nrefine using reference frame\n"), 1u);
        EXPECT_EQ(rows_of(m), rows_of(left_of(64, 32, edge))) << max_motion << " " << max_level;
    }
}

TEST(Refine, SecondRefinementWithoutRadiiLeavesTheMask)
{
    const colour_image im = two_colour_frame(16, 8, 5);
    mask m = left_of(16, 8, 8);
    refine::refine2_options o;
    o.max_motion = 0;
    std::ostringstream log;
    refine::refine2(im, m, im, m, o, log);
    EXPECT_EQ(rows_of(m), rows_of(left_of(16, 8, 8)));
    EXPECT_EQ(log.str(), "");
}

TEST(Refine, MasksOfAnotherSizeAreRefused)
{
    const colour_image im = uniform(10, 10);
    const mask good = filled_mask(10, 10, true);
    mask target = filled_mask(10, 10, true);
    mask wrong = filled_mask(10, 9, true);
    std::ostringstream log;
    EXPECT_THROW(refine::refine_frame(
                     im, wrong, im, target, refine::information_source::reference, {}, manual(2), log),
        std::runtime_error);
    EXPECT_THROW(
        refine::refine_frame(im, good, im, wrong, refine::information_source::target, {}, manual(2), log),
        std::runtime_error);
    EXPECT_THROW(refine::adjust(im, wrong, manual(2), log), std::runtime_error);
    refine::options checked = manual(2);
    checked.check_mask = &wrong;
    EXPECT_THROW(refine::adjust(im, target, checked, log), std::runtime_error);
    EXPECT_THROW(refine::refine2(im, wrong, im, target, {}, log), std::runtime_error);
    EXPECT_THROW(refine::refine2(im, good, im, wrong, {}, log), std::runtime_error);
    EXPECT_THROW(refine::adjust(im, target, manual(0), log), std::runtime_error);
    // A smaller (reduced) reference with its own mask is fine.
    const colour_image small = uniform(5, 5);
    const mask small_mask = filled_mask(5, 5, true);
    EXPECT_NO_THROW(refine::refine_frame(
        small, small_mask, im, target, refine::information_source::both, {}, manual(2), log));
}

} // namespace
