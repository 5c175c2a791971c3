#include "contours/crack_outline.h"

#include "contours/tests/mask_helpers.h"

#include <gtest/gtest.h>

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
        auto at
            = [&](int x, int y) { return x >= 0 && y >= 0 && x < int(w) && y < int(h) && pixel(mask, x, y); };

        // An object covering the whole border has no outer outline: no
        // scan finds a clear pixel beside it on the border.
        bool border_set = true;
        for (unsigned x = 0; x < w; ++x)
            border_set = border_set && at(x, 0) && at(x, h - 1);
        for (unsigned y = 0; y < h; ++y)
            border_set = border_set && at(0, y) && at(w - 1, y);
        std::set<std::pair<std::uint32_t, std::uint32_t>> boundary;
        for (int y = 0; y <= int(h); ++y)
            for (int x = 0; x <= int(w); ++x) {
                if (x < int(w) && at(x, y - 1) != at(x, y) && !(border_set && (y == 0 || y == int(h))))
                    boundary.insert({ make_vertex(x, y), make_vertex(x + 1, y) });
                if (y < int(h) && at(x - 1, y) != at(x, y) && !(border_set && (x == 0 || x == int(w))))
                    boundary.insert({ make_vertex(x, y), make_vertex(x, y + 1) });
            }
        std::set<std::pair<std::uint32_t, std::uint32_t>> walked;
        for (const crack_outline& outline : trace(mask)) {
            expect_closed_unit_steps(outline);
            for (std::size_t i = 1; i < outline.size(); ++i) {
                const auto crack = std::minmax(outline[i - 1], outline[i]);
                EXPECT_TRUE(walked.insert(crack).second) << "crack walked twice";
            }
        }
        EXPECT_EQ(walked, boundary);

        // The chosen outline encloses a part of the object, never only
        // background.
        const unsigned set = count_set(mask);
        if (set == 0 || set == w * h || border_set)
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
