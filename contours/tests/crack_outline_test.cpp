#include "contours/crack_outline.h"

#include "contours/tests/mask_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <stdexcept>

using namespace contours;
using namespace contours::testing;

namespace {

std::vector<std::uint32_t> vertices(std::initializer_list<std::pair<unsigned, unsigned>> points)
{
    std::vector<std::uint32_t> out;
    for (auto [x, y] : points)
        out.push_back(make_vertex(x, y));
    return out;
}

std::vector<crack_outline> trace(const img::image<img::bit>& mask)
{
    std::vector<crack_outline> outlines;
    trace_outlines(mask, outlines);
    return outlines;
}

// Every step has length 1 and the outline ends where it starts.
void expect_closed_unit_steps(const crack_outline& outline)
{
    ASSERT_GE(outline.size(), 5u);
    EXPECT_EQ(outline.front(), outline.back());
    for (std::size_t i = 1; i < outline.size(); ++i) {
        const int dx = int(vertex_x(outline[i])) - int(vertex_x(outline[i - 1]));
        const int dy = int(vertex_y(outline[i])) - int(vertex_y(outline[i - 1]));
        EXPECT_EQ(std::abs(dx) + std::abs(dy), 1) << "step " << i;
    }
}

// Along every step the pixel on the left (seen along the walk) is set and
// the one on the right clear, pixels outside the mask counting as clear.
void expect_set_pixels_on_the_left(const img::image<img::bit>& mask, const crack_outline& outline)
{
    auto at = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < int(mask.width) && y < int(mask.height) && pixel(mask, x, y);
    };
    for (std::size_t i = 1; i < outline.size(); ++i) {
        const int x0 = int(vertex_x(outline[i - 1])), y0 = int(vertex_y(outline[i - 1]));
        const int dx = int(vertex_x(outline[i])) - x0, dy = int(vertex_y(outline[i])) - y0;
        // The two pixels beside the step; for an east step (x0, y0 - 1) on the
        // left and (x0, y0) on the right, the others turned alike.
        const int lx = x0 + std::min(0, dx) + std::min(0, dy), ly = y0 + std::min(0, dy) - std::max(0, dx);
        const int rx = x0 + std::min(0, dx) - std::max(0, dy), ry = y0 + std::min(0, dy) + std::min(0, dx);
        ASSERT_TRUE(at(lx, ly)) << "step " << i << " has a clear pixel on its left";
        ASSERT_FALSE(at(rx, ry)) << "step " << i << " has a set pixel on its right";
    }
}

} // namespace

TEST(CrackOutline, SinglePixelIsWalkedDownRightUpLeft)
{
    const auto outlines = trace(mask_from_rows({ "....", "..#.", "...." }));
    ASSERT_EQ(outlines.size(), 1u);
    EXPECT_EQ(outlines[0], vertices({ { 2, 1 }, { 2, 2 }, { 3, 2 }, { 3, 1 }, { 2, 1 } }));
}

TEST(CrackOutline, PixelInTheCornerStartsFromTheLeftColumnScan)
{
    const auto outlines = trace(mask_from_rows({ "#.", ".." }));
    ASSERT_EQ(outlines.size(), 1u);
    EXPECT_EQ(outlines[0], vertices({ { 0, 1 }, { 1, 1 }, { 1, 0 }, { 0, 0 }, { 0, 1 } }));
}

TEST(CrackOutline, FullAndEmptyMasksHaveNoOutline)
{
    img::image<img::bit> full(5, 4, 4);
    full.fill(true);
    EXPECT_TRUE(trace(full).empty());
    crack_outline out { 7 };
    EXPECT_THROW(longest_outline(full, out), std::runtime_error);
    EXPECT_EQ(out, crack_outline { 7 });
    try {
        longest_outline(empty_mask(5, 4), out);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The bitmap contains no outlines");
    }
}

TEST(CrackOutline, PixelsTouchingAtACornerShareOneOutlinePassingItTwice)
{
    const auto outlines = trace(mask_from_rows({ "....", ".#..", "..#.", "...." }));
    ASSERT_EQ(outlines.size(), 1u);
    expect_closed_unit_steps(outlines[0]);
    EXPECT_EQ(outlines[0].size(), 9u);
    EXPECT_EQ(std::count(outlines[0].begin(), outlines[0].end(), make_vertex(2, 2)), 2);
}

TEST(CrackOutline, OutlineKeepsItsOrientationWhereGroupsTouchAtACorner)
{
    // Two squares and a diagonal chain touching corner to corner, and a hole
    // pair touching corner to corner inside an object.
    const auto mask = mask_from_rows({
        "..........",
        ".##.......",
        ".##.......",
        "...##.....",
        "...##.....",
        ".....#....",
        "..........",
        ".#####....",
        ".#.###....",
        ".##.##....",
        ".#####....",
        "..........",
    });
    const auto outlines = trace(mask);
    ASSERT_EQ(outlines.size(), 4u);
    for (const crack_outline& outline : outlines) {
        expect_closed_unit_steps(outline);
        expect_set_pixels_on_the_left(mask, outline);
    }
    // The chain is one object passing each touching corner twice; the two
    // holes touch only at a corner and are two.
    EXPECT_EQ(outlines[0].size(), 21u);
    EXPECT_EQ(std::count(outlines[0].begin(), outlines[0].end(), make_vertex(3, 3)), 2);
    EXPECT_EQ(std::count(outlines[0].begin(), outlines[0].end(), make_vertex(5, 5)), 2);
    EXPECT_EQ(outlines[2].size(), 5u);
    EXPECT_EQ(outlines[3].size(), 5u);
}

TEST(CrackOutline, ObjectCoveringTheWholeBorderHasTheBorderAsItsOuterOutline)
{
    auto mask = empty_mask(10, 10);
    for (unsigned y = 0; y < 10; ++y)
        for (unsigned x = 0; x < 10; ++x)
            set_pixel(mask, x, y, !(y == 4 && x >= 3 && x < 6));
    const auto outlines = trace(mask);
    ASSERT_EQ(outlines.size(), 2u);
    expect_closed_unit_steps(outlines[0]);
    expect_set_pixels_on_the_left(mask, outlines[0]);
    EXPECT_EQ(outlines[0].size(), 41u);
    EXPECT_EQ(outlines[0][0], make_vertex(0, 0));
    EXPECT_EQ(outlines[0][1], make_vertex(0, 1));
    EXPECT_EQ(outlines[1].size(), 9u);
    crack_outline chosen;
    longest_outline(mask, chosen);
    EXPECT_EQ(chosen, outlines[0]);

    // Even when the hole's outline is the longer one.
    const auto comb = mask_from_rows({
        "############",
        "############",
        "##.#.#.#.###",
        "##.#.#.#.###",
        "##.#.#.#.###",
        "##.#.#.#.###",
        "##.#.#.#.###",
        "##.#.#.#.###",
        "##.......###",
        "############",
        "############",
        "############",
    });
    const auto comb_outlines = trace(comb);
    ASSERT_EQ(comb_outlines.size(), 2u);
    ASSERT_GT(comb_outlines[1].size(), comb_outlines[0].size());
    longest_outline(comb, chosen);
    EXPECT_EQ(chosen, comb_outlines[0]);
}

TEST(CrackOutline, RingHasSeparateClosedOuterAndHoleOutlines)
{
    const auto outlines = trace(mask_from_rows({ ".....", ".###.", ".#.#.", ".###.", "....." }));
    ASSERT_EQ(outlines.size(), 2u);
    expect_closed_unit_steps(outlines[0]);
    expect_closed_unit_steps(outlines[1]);
    EXPECT_EQ(outlines[0].size(), 13u);
    EXPECT_EQ(outlines[1].size(), 5u);
}

TEST(CrackOutline, ObjectsOnTheBorderRunAlongIt)
{
    const auto outlines = trace(mask_from_rows({ "###..", "###..", "....." }));
    ASSERT_EQ(outlines.size(), 1u);
    expect_closed_unit_steps(outlines[0]);
    EXPECT_EQ(outlines[0].size(), 11u);
    const auto right = trace(mask_from_rows({ "...", "..#", "..#" }));
    ASSERT_EQ(right.size(), 1u);
    expect_closed_unit_steps(right[0]);
    EXPECT_EQ(right[0].size(), 7u);
}

TEST(CrackOutline, LongestOutlinePicksTheObjectAroundALongerHole)
{
    // The hole's comb-shaped outline is longer than the object's square one.
    const auto mask = mask_from_rows({
        "..............",
        ".############.",
        ".#.#.#.#.#.##.",
        ".#.#.#.#.#.##.",
        ".#.#.#.#.#.##.",
        ".#.#.#.#.#.##.",
        ".#.#.#.#.#.##.",
        ".#.#.#.#.#.##.",
        ".#.........##.",
        ".############.",
        "..............",
    });
    const auto outlines = trace(mask);
    ASSERT_EQ(outlines.size(), 2u);
    ASSERT_GT(outlines[1].size(), outlines[0].size());
    crack_outline chosen;
    longest_outline(mask, chosen);
    EXPECT_EQ(chosen, outlines[0]);
}

TEST(CrackOutline, LongestOutlineKeepsTheLongestObjectAmongSeveral)
{
    const auto mask = mask_from_rows({ "#.......", "..####..", "..####..", "........" });
    crack_outline chosen;
    longest_outline(mask, chosen);
    EXPECT_EQ(chosen.size(), 13u);
}

TEST(CrackOutline, MasksWiderThanTheVertexFormatAreRefused)
{
    std::vector<crack_outline> outlines;
    EXPECT_THROW(trace_outlines(empty_mask(65536, 1), outlines), std::runtime_error);
    EXPECT_NO_THROW(trace_outlines(empty_mask(65535, 1), outlines));
}

TEST(CrackOutline, RandomMasksWalkEveryBoundaryCrackOnceInClosedOutlines)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const unsigned w = rng() % 4 == 0 ? 1 : rng() % 24 + 1;
        const unsigned h = rng() % 4 == 0 ? 1 : rng() % 24 + 1;
        const unsigned density = rng() % 100;
        auto mask = empty_mask(w, h);
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x)
                set_pixel(mask, x, y, rng() % 100 < density);
        // Objects covering the whole border, with and without holes.
        if (rng() % 4 == 0)
            for (unsigned y = 0; y < h; ++y)
                for (unsigned x = 0; x < w; ++x)
                    if (x == 0 || y == 0 || x + 1 == w || y + 1 == h)
                        set_pixel(mask, x, y, true);
        auto at
            = [&](int x, int y) { return x >= 0 && y >= 0 && x < int(w) && y < int(h) && pixel(mask, x, y); };
        const unsigned set = count_set(mask);

        // A full mask has no outline.
        std::set<std::pair<std::uint32_t, std::uint32_t>> boundary;
        for (int y = 0; y <= int(h) && set < w * h; ++y)
            for (int x = 0; x <= int(w); ++x) {
                if (x < int(w) && at(x, y - 1) != at(x, y))
                    boundary.insert({ make_vertex(x, y), make_vertex(x + 1, y) });
                if (y < int(h) && at(x - 1, y) != at(x, y))
                    boundary.insert({ make_vertex(x, y), make_vertex(x, y + 1) });
            }
        std::set<std::pair<std::uint32_t, std::uint32_t>> walked;
        for (const crack_outline& outline : trace(mask)) {
            expect_closed_unit_steps(outline);
            expect_set_pixels_on_the_left(mask, outline);
            for (std::size_t i = 1; i < outline.size(); ++i) {
                const auto crack = std::minmax(outline[i - 1], outline[i]);
                EXPECT_TRUE(walked.insert(crack).second) << "crack walked twice";
            }
        }
        EXPECT_EQ(walked, boundary);

        // The chosen outline encloses a part of the object, never only
        // background.
        if (set == 0 || set == w * h)
            continue;
        crack_outline chosen;
        longest_outline(mask, chosen);
        bool encloses_set = false;
        for (unsigned y = 0; y < h; ++y)
            for (unsigned x = 0; x < w; ++x) {
                bool inside = false;
                for (std::size_t i = 1; i < chosen.size(); ++i)
                    if (vertex_x(chosen[i]) == vertex_x(chosen[i - 1]) && vertex_x(chosen[i]) <= x
                        && std::min(vertex_y(chosen[i]), vertex_y(chosen[i - 1])) == y)
                        inside = !inside;
                encloses_set = encloses_set || (inside && pixel(mask, x, y));
            }
        EXPECT_TRUE(encloses_set);
    }
}
