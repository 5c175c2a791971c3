#include "contours/fill_contour.h"

#include "contours/crack_outline.h"
#include "contours/tests/mask_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

using namespace contours;
using namespace contours::testing;

namespace {

// A closed contour of straight cubics (handles at the thirds) through the
// polygon's vertices.
std::vector<pointf> polygon_contour(const std::vector<pointd>& polygon)
{
    std::vector<pointf> contour { polygon[0].to_float() };
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const pointd a = polygon[i];
        const pointd b = polygon[(i + 1) % polygon.size()];
        contour.push_back((a + (b - a) / 3.0).to_float());
        contour.push_back((a + (b - a) * (2.0 / 3.0)).to_float());
        contour.push_back(b.to_float());
    }
    return contour;
}

// Even-odd test of a point against a polygon, independent of the filler.
bool inside(const std::vector<pointd>& polygon, double x, double y)
{
    bool in = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const pointd a = polygon[i], b = polygon[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
            in = !in;
    }
    return in;
}

void expect_polygon_fill(const std::vector<pointd>& polygon, unsigned width, unsigned height)
{
    img::image<img::bit> mask = empty_mask(width, height);
    fill_contour_into_mask(polygon_contour(polygon), mask);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            ASSERT_EQ(pixel(mask, x, y), inside(polygon, x + 0.5, y + 0.5)) << x << ", " << y;
}

} // namespace

TEST(FillContour, AxisAlignedRectangleFillsThePixelsWhoseCentresItHolds)
{
    expect_polygon_fill({ { 2, 1 }, { 2, 6 }, { 7, 6 }, { 7, 1 } }, 10, 8);
    img::image<img::bit> mask = empty_mask(10, 8);
    fill_contour_into_mask(
        polygon_contour({ { 2.5, 1.2 }, { 2.5, 5.6 }, { 7.49, 5.6 }, { 7.49, 1.2 } }), mask);
    EXPECT_EQ(count_set(mask), 5u * 5u);
    EXPECT_TRUE(pixel(mask, 2, 1));
    EXPECT_TRUE(pixel(mask, 6, 5));
    EXPECT_FALSE(pixel(mask, 7, 5));
}

TEST(FillContour, SlantedAndSelfCrossingPolygonsFollowTheEvenOddRule)
{
    expect_polygon_fill({ { 1.3, 2.7 }, { 17.9, 4.1 }, { 6.2, 13.6 } }, 20, 16);
    // A pentagram: its inner pentagon is crossed twice and stays empty.
    std::vector<pointd> star;
    for (int i = 0; i < 5; ++i) {
        const double angle = i * 4.0 * std::numbers::pi / 5.0 - std::numbers::pi / 2.0;
        star.push_back({ 20.0 + 17.0 * std::cos(angle), 20.0 + 17.0 * std::sin(angle) });
    }
    expect_polygon_fill(star, 40, 40);
    img::image<img::bit> mask = empty_mask(40, 40);
    fill_contour_into_mask(polygon_contour(star), mask);
    EXPECT_FALSE(pixel(mask, 20, 20));
}

TEST(FillContour, ShapesReachingOutsideAreClipped)
{
    expect_polygon_fill({ { -30.5, -7.0 }, { 12.25, 40.0 }, { 50.0, -3.0 } }, 24, 16);
    img::image<img::bit> mask = empty_mask(16, 8);
    mask.fill(true);
    fill_contour_into_mask(polygon_contour({ { 100, 100 }, { 100, 200 }, { 200, 150 } }), mask);
    EXPECT_EQ(count_set(mask), 0u);
    fill_contour_into_mask(polygon_contour({ { -1e30, -1e30 }, { -1e30, 1e30 }, { 1e30, 0 } }), mask);
    EXPECT_EQ(count_set(mask), 16u * 8u);
}

TEST(FillContour, EdgesJustShortOfAPixelBoundaryKeepTheirColumn)
{
    // A fitted edge at 119.9999 still holds column 119's centre, and one at
    // -0.5 holds column 0's.
    img::image<img::bit> mask = empty_mask(130, 4);
    fill_contour_into_mask(
        polygon_contour({ { -0.5, 0 }, { -0.5, 4 }, { 119.9999, 4 }, { 119.9999, 0 } }), mask);
    EXPECT_EQ(count_set(mask), 120u * 4u);
    EXPECT_TRUE(pixel(mask, 0, 0));
    EXPECT_TRUE(pixel(mask, 119, 3));
}

TEST(FillContour, CrackOutlineOfAMaskFillsBackToTheSameMask)
{
    std::mt19937 random(11);
    for (int trial = 0; trial < 20; ++trial) {
        // A random star-shaped blob: one outline, no holes.
        img::image<img::bit> mask = empty_mask(61, 47);
        double radius[16];
        for (double& r : radius)
            r = 6.0 + random() % 15;
        for (unsigned y = 0; y < 47; ++y)
            for (unsigned x = 0; x < 61; ++x) {
                const double dx = x + 0.5 - 30.0, dy = y + 0.5 - 23.0;
                const double a = std::atan2(dy, dx) + std::numbers::pi;
                const int sector = std::min(15, int(a / (2 * std::numbers::pi) * 16));
                set_pixel(mask, x, y, std::hypot(dx, dy) < radius[sector]);
            }
        crack_outline outline;
        longest_outline(mask, outline);
        std::vector<pointd> polygon;
        for (std::size_t i = 0; i + 1 < outline.size(); ++i)
            polygon.push_back({ double(vertex_x(outline[i])), double(vertex_y(outline[i])) });
        img::image<img::bit> filled = empty_mask(61, 47);
        fill_contour_into_mask(polygon_contour(polygon), filled);
        std::vector<crack_outline> all;
        trace_outlines(mask, all);
        if (all.size() == 1) {
            ASSERT_EQ(overlap(mask, filled), 1.0) << "trial " << trial;
        }
    }
}

TEST(FillContour, CurvedContourMatchesTheCircleItApproximates)
{
    const double r = 40.0, h = 0.5522847498 * r, c = 50.0;
    auto p = [](double x, double y) { return pointf(float(x), float(y)); };
    const std::vector<pointf> circle { p(c + r, c), p(c + r, c + h), p(c + h, c + r), p(c, c + r),
        p(c - h, c + r), p(c - r, c + h), p(c - r, c), p(c - r, c - h), p(c - h, c - r), p(c, c - r),
        p(c + h, c - r), p(c + r, c - h), p(c + r, c) };
    img::image<img::bit> mask = empty_mask(100, 100);
    fill_contour_into_mask(circle, mask);
    // The cubic circle strays at most 0.0003 r from the true one.
    unsigned mismatches = 0;
    for (unsigned y = 0; y < 100; ++y)
        for (unsigned x = 0; x < 100; ++x) {
            const double d = std::hypot(x + 0.5 - c, y + 0.5 - c);
            if (std::abs(d - r) > 0.05)
                mismatches += pixel(mask, x, y) != (d < r);
        }
    EXPECT_EQ(mismatches, 0u);
}

TEST(FillContour, ClearsRowPaddingAndRefusesNonFiniteContours)
{
    img::image<img::bit> mask(13, 3, 4);
    mask.fill(true);
    fill_contour_into_mask(polygon_contour({ { 0, 0 }, { 0, 3 }, { 13, 3 }, { 13, 0 } }), mask);
    EXPECT_EQ(mask.rows[0][1], 0xF8);
    EXPECT_EQ(mask.rows[0][2], 0x00);

    std::vector<pointf> broken = polygon_contour({ { 0, 0 }, { 0, 3 }, { 13, 3 } });
    broken[2].y = std::nanf("");
    EXPECT_THROW(fill_contour_into_mask(broken, mask), std::runtime_error);
    EXPECT_EQ(mask.rows[0][1], 0xF8);
}

TEST(FillContour, CrossingsBeyondThirtyTwoBitsAreCountedWithoutOverrunningTheBuffer)
{
    // 4096 edges zigzag over all 2^20 rows left of the mask, then one edge
    // goes down at x = 8 and one back up across the mask: 4098 crossings per
    // row, more than 2^32 in all.
    const unsigned height = 1u << 20;
    const double top = -1.0, bottom = height + 1.0;
    std::vector<pointd> polygon;
    for (int i = 0; i < 4096; ++i)
        polygon.push_back({ i % 2 == 0 ? -20.0 : -10.0, i % 2 == 0 ? top : bottom });
    polygon.push_back({ -20.0, top });
    polygon.push_back({ 8.0, top });
    polygon.push_back({ 8.0, bottom });
    img::image<img::bit> mask = empty_mask(16, height);
    fill_contour_into_mask(polygon_contour(polygon), mask);
    // Row y holds the pixels whose centre lies between the returning edge
    // and x = 8.
    for (unsigned y : { 0u, 1u, height / 2, height - 2, height - 1 }) {
        const double back = 8.0 - 28.0 * (bottom - (y + 0.5)) / (bottom - top);
        for (unsigned x = 0; x < 16; ++x)
            ASSERT_EQ(pixel(mask, x, y), x + 0.5 >= back && x + 0.5 < 8.0) << x << ", " << y;
    }
}

TEST(FillContour, TallMasksAndEdgesOutsideFillByTheEvenOddRule)
{
    // Many edges over a tall mask (filled in several bands of rows), with
    // vertices far left, far right and inside.
    std::mt19937 random(24);
    std::uniform_real_distribution<double> x(-100.0, 140.0);
    std::uniform_real_distribution<double> y(-50.0, 6050.0);
    for (int round = 0; round < 3; ++round) {
        std::vector<pointd> polygon;
        for (int i = 0; i < 1200; ++i)
            polygon.push_back({ x(random), y(random) });
        img::image<img::bit> mask = empty_mask(40, 6000);
        fill_contour_into_mask(polygon_contour(polygon), mask);
        for (unsigned row = round; row < mask.height; row += 37)
            for (unsigned column = 0; column < mask.width; ++column)
                ASSERT_EQ(pixel(mask, column, row), inside(polygon, column + 0.5, row + 0.5))
                    << column << ", " << row;
    }
}
