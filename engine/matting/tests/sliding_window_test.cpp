#include "engine/matting/sliding_window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "engine/matting/alpha_condition.h"
#include "engine/tests/mask_test_support.h"

namespace {

using trm::pixel_rect;
using trm::testing::mask_from_rows;
using trm::testing::random_mask;

// Sums of a value and its square, and of the value times x and y, over a
// grid of small integers.
struct test_sums {
    const std::vector<std::vector<int>>* grid = nullptr;
    std::int64_t n = 0;
    std::int64_t v = 0;
    std::int64_t vv = 0;
    std::int64_t vx = 0;
    std::int64_t vy = 0;

    void reset() { n = v = vv = vx = vy = 0; }

    void add(const pixel_rect& r, int sign)
    {
        for (unsigned y = r.y0; y < r.y1; ++y)
            for (unsigned x = r.x0; x < r.x1; ++x) {
                const std::int64_t value = (*grid)[y][x];
                n += sign;
                v += sign * value;
                vv += sign * value * value;
                vx += sign * value * x;
                vy += sign * value * y;
            }
    }
};

test_sums from_scratch(const std::vector<std::vector<int>>& grid, unsigned x, unsigned y, unsigned half)
{
    test_sums s;
    s.grid = &grid;
    const unsigned width = static_cast<unsigned>(grid[0].size());
    const unsigned height = static_cast<unsigned>(grid.size());
    for (unsigned qy = 0; qy < height; ++qy)
        for (unsigned qx = 0; qx < width; ++qx)
            if (qx + half >= x && qx <= x + half && qy + half >= y && qy <= y + half)
                s.add({ qx, qx + 1, qy, qy + 1 }, +1);
    return s;
}

TEST(SlidingWindow, CarriedSumsEqualSumsFromScratchAlongSerpentinePathsAndAtBorders)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int> value(0, 255);
    for (unsigned half : { 0u, 1u, 2u, 4u, 9u }) {
        std::vector<std::vector<int>> grid(13, std::vector<int>(17));
        for (auto& row : grid)
            for (int& v : row)
                v = value(random);
        const img::image<img::bit> visited = random_mask(17, 13, 0.4, random);
        test_sums carried;
        carried.grid = &grid;
        trm::sliding_window<test_sums> window(17, 13, half);
        trm::visit_serpentine(visited, [&](unsigned x, unsigned y) {
            window.move_to(x, y, carried);
            const test_sums expected = from_scratch(grid, x, y, half);
            ASSERT_EQ(carried.n, expected.n) << x << "," << y << " half " << half;
            ASSERT_EQ(carried.v, expected.v);
            ASSERT_EQ(carried.vv, expected.vv);
            ASSERT_EQ(carried.vx, expected.vx);
            ASSERT_EQ(carried.vy, expected.vy);
        });
    }
}

TEST(SlidingWindow, SerpentineVisitsEvenRowsLeftToRightAndOddRowsRightToLeft)
{
    const img::image<img::bit> m = mask_from_rows({ "#.#.", "##..", "...#" });
    std::vector<std::pair<unsigned, unsigned>> order;
    trm::visit_serpentine(m, [&](unsigned x, unsigned y) { order.emplace_back(x, y); });
    const std::vector<std::pair<unsigned, unsigned>> expected { { 0, 0 }, { 2, 0 }, { 1, 1 }, { 0, 1 },
        { 3, 2 } };
    EXPECT_EQ(order, expected);
}

TEST(SlidingWindow, RowScanIgnoresPaddingBits)
{
    img::image<img::bit> m(11, 2, 4);
    m.fill(true);
    std::vector<unsigned> row;
    trm::set_pixels_of_row(m, 1, row);
    ASSERT_EQ(row.size(), 11u);
    EXPECT_EQ(row.back(), 10u);
}

TEST(AlphaCondition, BandRadiusFollowsConditionNumberAndWindow)
{
    EXPECT_EQ(trm::band_radius(5.0f, 1), 1);
    EXPECT_EQ(trm::band_radius(5.0f, 3), 3);
    EXPECT_EQ(trm::band_radius(100.0f, 50), 50);
    EXPECT_EQ(trm::band_radius(3.0f, 2), 2);
    EXPECT_EQ(trm::band_radius(-1.0f, 2), 0);
}

TEST(AlphaCondition, UniformAlphaExceedsEveryLimitAndAnEvenSplitNone)
{
    // Nine pixels of alpha 255: a rank-one moment matrix.
    EXPECT_TRUE(trm::exceeds_condition(trm::moments_of(9, 9 * 255, 9 * 255 * 255), 100.0f));
    // Half 0, half 255: condition number 1.
    EXPECT_FALSE(trm::exceeds_condition(trm::moments_of(8, 4 * 255, 4 * 255 * 255), 1.5f));
    // Three of nine at 255: condition number 2.
    const trm::alpha_moments m = trm::moments_of(9, 3 * 255, 3 * 255 * 255);
    EXPECT_FALSE(trm::exceeds_condition(m, 2.5f));
    EXPECT_TRUE(trm::exceeds_condition(m, 1.5f));
}

} // namespace
