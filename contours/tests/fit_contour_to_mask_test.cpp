#include "contours/fit_contour_to_mask.h"

#include "contours/crack_outline.h"
#include "contours/tests/mask_helpers.h"

#include <gtest/gtest.h>

#include <random>
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

TEST(FitContourToMask, ObjectCoveringTheWholeBorderWithAHoleStaysPainted)
{
    auto mask = empty_mask(10, 10);
    for (unsigned y = 0; y < 10; ++y)
        for (unsigned x = 0; x < 10; ++x)
            set_pixel(mask, x, y, !(y == 4 && x >= 3 && x < 6));
    std::vector<pointf> contour;
    fit_contour_to_mask(mask, 7, true, engine_params, contour, nullptr, nullptr);
    // The object's outer outline is the border; the fill covers the hole.
    EXPECT_EQ(count_set(mask), 100u);
}

namespace {

// Two squares of the given size touching at a corner.
img::image<img::bit> touching_squares(unsigned size)
{
    const unsigned lo = 10, mid = lo + size, hi = mid + size;
    auto mask = empty_mask(hi + 10, hi + 10);
    for (unsigned y = 0; y < mask.height; ++y)
        for (unsigned x = 0; x < mask.width; ++x)
            set_pixel(mask, x, y,
                (x >= lo && x < mid && y >= lo && y < mid) || (x >= mid && x < hi && y >= mid && y < hi));
    return mask;
}

// The figure-eight of straight segments round those squares, shifted
// diagonally, with the object on its left throughout.
std::vector<pointf> figure_eight(unsigned size, float shift)
{
    const float l = 10.0f + shift, m = l + float(size), h = m + float(size);
    const std::vector<pointf> corners { { l, l }, { l, m }, { m, m }, { m, h }, { h, h }, { h, m }, { m, m },
        { m, l }, { l, l } };
    std::vector<pointf> contour { corners[0] };
    for (std::size_t i = 1; i < corners.size(); ++i) {
        const pointf a = corners[i - 1], b = corners[i];
        contour.push_back(a + (b - a) * (1.0 / 3.0));
        contour.push_back(a + (b - a) * (2.0 / 3.0));
        contour.push_back(b);
    }
    return contour;
}

} // namespace

TEST(FitContourToMask, RefitOfSquaresTouchingAtACornerMatchesThem)
{
    for (unsigned size : { 8u, 30u })
        for (float shift : { 0.0f, 2.0f })
            for (int bound : { 10, 40 }) {
                SCOPED_TRACE(::testing::Message() << size << " " << shift << " " << bound);
                const auto original = touching_squares(size);
                const std::vector<pointf> reference = figure_eight(size, shift);
                const std::vector<float> tractions = tractions_for(reference, 0.0f, 0.2f);
                auto mask = original;
                std::vector<pointf> contour = reference;
                contour_fit_params params = engine_params;
                params.motion_bound = bound;
                fit_contour_to_mask(mask, 8, false, params, contour, &reference, &tractions);
                EXPECT_GT(overlap(mask, original), 0.995);
            }
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

namespace {

// Noise, blobs and stripes of many sizes, many touching the border.
img::image<img::bit> random_mask(std::mt19937& rng, unsigned w, unsigned h)
{
    auto mask = empty_mask(w, h);
    switch (rng() % 3) {
    case 0: {
        const unsigned density = rng() % 100;
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x)
                set_pixel(mask, x, y, rng() % 100 < density);
        break;
    }
    case 1:
        for (unsigned blobs = rng() % 4 + 1; blobs > 0; --blobs) {
            std::uniform_real_distribution<double> at(-2.0, double(std::max(w, h)) + 2.0);
            std::uniform_real_distribution<double> radius(0.3, 12.0);
            const double cx = at(rng), cy = at(rng), rx = radius(rng), ry = radius(rng);
            for (unsigned y = 0; y < h; ++y)
                for (unsigned x = 0; x < w; ++x) {
                    const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                    if (dx * dx + dy * dy <= 1.0)
                        set_pixel(mask, x, y, true);
                }
        }
        break;
    default:
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x)
                set_pixel(mask, x, y, (x + y) % 2 == 0 || x % 3 == 0);
        break;
    }
    return mask;
}

bool closed_and_finite(const std::vector<pointf>& contour)
{
    return contour.size() >= 4 && contour.size() % 3 == 1 && contour.front() == contour.back()
        && all_finite(contour);
}

} // namespace

TEST(FitContourToMask, RandomMasksFitAndFillBackWithFiniteClosedContours)
{
    std::mt19937 rng(20261209);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        std::uniform_int_distribution<unsigned> size(1, 40);
        const unsigned w = rng() % 5 == 0 ? 1 : size(rng);
        const unsigned h = rng() % 5 == 0 ? 1 : size(rng);
        auto mask = random_mask(rng, w, h);
        const unsigned degrees = rng() % 20 + 1;
        const bool smooth = rng() % 2 == 0;
        contour_fit_params params = engine_params;
        params.iterations = rng() % 30 + 1;
        params.motion_bound = static_cast<int>(rng() % 12);
        std::vector<pointf> contour;
        const unsigned set = count_set(mask);
        if (set == 0 || set == mask.width * mask.height) {
            EXPECT_THROW(fit_contour_to_mask(mask, degrees, smooth, params, contour, nullptr, nullptr),
                std::runtime_error);
            continue;
        }
        auto first = mask;
        fit_contour_to_mask(first, degrees, smooth, params, contour, nullptr, nullptr);
        ASSERT_TRUE(closed_and_finite(contour));

        // Refit the contour onto another random mask of the same size.
        auto next = random_mask(rng, w, h);
        const unsigned next_set = count_set(next);
        if (next_set == 0 || next_set == next.width * next.height)
            continue;
        const std::vector<pointf> reference = contour;
        const auto traction = tractions_for(contour, float(rng() % 3) / 2.0f, float(rng() % 3) / 2.0f);
        const bool with_reference = rng() % 2 == 0;
        fit_contour_to_mask(next, degrees, smooth, params, contour, with_reference ? &reference : nullptr,
            with_reference ? &traction : nullptr);
        ASSERT_TRUE(closed_and_finite(contour));
    }
}
