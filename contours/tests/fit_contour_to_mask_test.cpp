#include "contours/fit_contour_to_mask.h"

#include "contours/crack_outline.h"
#include "contours/tests/mask_helpers.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace contours;
using namespace contours::testing;

namespace {

const contour_fit_params engine_params { 50, 0.001f, 2.0f / 3.0f, 5 };

// Tractions as the engine builds them: nodes, then handles.
std::vector<float> tractions_for(const std::vector<pointf>& contour, float nodes, float handles)
{
    std::vector<float> t(contour.size());
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = i % 3 == 0 ? nodes : handles;
    return t;
}

} // namespace

TEST(FitContourToMask, NewFitOfAnEllipseKeepsItsShape)
{
    const auto original = ellipse_mask(160, 120, 80.0, 60.0, 55.0, 35.0);
    auto mask = original;
    std::vector<pointf> contour;
    fit_contour_to_mask(mask, 7, true, engine_params, contour, nullptr, nullptr);
    EXPECT_EQ(contour.size(), 22u);
    EXPECT_EQ(contour.front(), contour.back());
    EXPECT_GT(overlap(mask, original), 0.98);
}

TEST(FitContourToMask, RefitFollowsTheObjectIntoTheNextFrame)
{
    auto first = ellipse_mask(160, 120, 80.0, 60.0, 45.0, 35.0);
    std::vector<pointf> reference;
    fit_contour_to_mask(first, 7, true, engine_params, reference, nullptr, nullptr);

    const auto moved = ellipse_mask(160, 120, 83.0, 58.0, 47.0, 34.0);
    auto mask = moved;
    std::vector<pointf> contour = reference;
    const std::vector<float> tractions = tractions_for(reference, 0.0f, 0.2f);
    fit_contour_to_mask(mask, 7, true, engine_params, contour, &reference, &tractions);
    EXPECT_EQ(contour.size(), reference.size());
    EXPECT_GT(overlap(mask, moved), 0.97);
    EXPECT_LT(overlap(first, moved), 0.9);
}

TEST(FitContourToMask, OnlyTheObjectWithTheLongestOutlineSurvives)
{
    auto mask = ellipse_mask(100, 80, 30.0, 40.0, 20.0, 25.0);
    for (unsigned y = 10; y < 14; ++y)
        for (unsigned x = 80; x < 84; ++x)
            set_pixel(mask, x, y, true);
    std::vector<pointf> contour;
    fit_contour_to_mask(mask, 7, true, engine_params, contour, nullptr, nullptr);
    EXPECT_FALSE(pixel(mask, 81, 11));
    EXPECT_TRUE(pixel(mask, 30, 40));
}

TEST(FitContourToMask, ObjectWithALongComplicatedHoleIsStillPainted)
{
    // A square object whose comb-shaped hole has the longer outline.
    auto mask = empty_mask(60, 60);
    for (unsigned y = 5; y < 55; ++y)
        for (unsigned x = 5; x < 55; ++x)
            set_pixel(mask, x, y, true);
    for (unsigned x = 8; x < 52; x += 2)
        for (unsigned y = 8; y < 50; ++y)
            set_pixel(mask, x, y, false);
    for (unsigned x = 8; x < 51; ++x)
        set_pixel(mask, x, 50, false);
    std::vector<crack_outline> outlines;
    trace_outlines(mask, outlines);
    ASSERT_EQ(outlines.size(), 2u);
    ASSERT_GT(outlines[1].size(), outlines[0].size());
    std::vector<pointf> contour;
    fit_contour_to_mask(mask, 7, false, engine_params, contour, nullptr, nullptr);
    // The object's border ring is painted, the outside stays clear.
    EXPECT_TRUE(pixel(mask, 6, 30));
    EXPECT_TRUE(pixel(mask, 30, 53));
    EXPECT_FALSE(pixel(mask, 2, 30));
    EXPECT_FALSE(pixel(mask, 57, 57));
}

TEST(FitContourToMask, SinglePixelGivesOneNodeAtItsCorner)
{
    auto mask = mask_from_rows({ "....", "..#.", "...." });
    std::vector<pointf> contour;
    fit_contour_to_mask(mask, 7, true, engine_params, contour, nullptr, nullptr);
    ASSERT_EQ(contour.size(), 4u);
    EXPECT_EQ(contour.front(), pointf(2.0f, 1.0f));
}

TEST(FitContourToMask, FailuresLeaveMaskAndContourUntouched)
{
    img::image<img::bit> full(8, 8, 4);
    full.fill(true);
    std::vector<pointf> contour { { 1.0f, 2.0f } };
    EXPECT_THROW(
        fit_contour_to_mask(full, 7, true, engine_params, contour, nullptr, nullptr), std::runtime_error);
    EXPECT_EQ(contour, std::vector<pointf> { pointf(1.0f, 2.0f) });
    EXPECT_EQ(count_set(full), 64u);

    auto mask = ellipse_mask(40, 40, 20.0, 20.0, 10.0, 10.0);
    const auto before = mask;
    std::vector<pointf> malformed(6, pointf(3.0f, 3.0f));
    EXPECT_THROW(
        fit_contour_to_mask(mask, 7, true, engine_params, malformed, nullptr, nullptr), std::runtime_error);
    EXPECT_EQ(overlap(mask, before), 1.0);

    auto wide = empty_mask(65536, 2);
    set_pixel(wide, 3, 0, true);
    std::vector<pointf> none;
    EXPECT_THROW(
        fit_contour_to_mask(wide, 7, true, engine_params, none, nullptr, nullptr), std::runtime_error);
}
