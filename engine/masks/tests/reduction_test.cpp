#include "engine/masks/reduction.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/tests/mask_test_support.h"

namespace {

using trm::testing::mask_from_rows;
using trm::testing::rows_of;
using colour = img::BGRA<unsigned char>;

img::image<colour> ramp(unsigned width, unsigned height)
{
    img::image<colour> im(width, height, 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            im.row(y)[x] = { static_cast<unsigned char>(x + 10 * y), static_cast<unsigned char>(2 * x),
                static_cast<unsigned char>(3 * y), static_cast<unsigned char>(200 + x) };
    return im;
}

TEST(ReduceMask, SetsABitOnlyWhenMoreThanHalfOfItsBlockIsSet)
{
    // 5 x 3 by 2: the last column and row are ignored; 2 of 4 stays clear,
    // 3 of 4 is set.
    const auto source = mask_from_rows({
        "##.##",
        ".#.##",
        "#####",
    });
    img::image<img::bit> target;
    trm::reduce_mask(source, target, 2, 2);
    EXPECT_EQ(rows_of(target), (std::vector<std::string> { "#." }));

    const auto nine = mask_from_rows({ "##.", "#.#", ".#." });
    trm::reduce_mask(nine, target, 3, 3);
    EXPECT_EQ(rows_of(target), (std::vector<std::string> { "#" }));
    const auto four = mask_from_rows({ "##.", "#..", "..#" });
    trm::reduce_mask(four, target, 3, 3);
    EXPECT_EQ(rows_of(target), (std::vector<std::string> { "." }));
}

TEST(ReduceMask, FactorOneCopiesAndTheTargetMayBeTheSource)
{
    auto m = mask_from_rows({ "#..#", "####", "....", "##.." });
    img::image<img::bit> copy;
    trm::reduce_mask(m, copy, 1, 1);
    EXPECT_EQ(rows_of(copy), rows_of(m));
    trm::reduce_mask(m, m, 2, 2);
    EXPECT_EQ(rows_of(m), (std::vector<std::string> { "##", ".." }));
}

TEST(ReduceImage, AveragesEachChannelOverWholeBlocksTruncating)
{
    const img::image<colour> source = ramp(7, 7);
    img::image<colour> target;
    trm::reduce_image(source, target, 3, 3);
    ASSERT_EQ(target.width, 2u);
    ASSERT_EQ(target.height, 2u);
    // Block (1, 1) covers x 3..5, y 3..5.
    const colour c = target.row(1)[1];
    EXPECT_EQ(c.b, 4 + 10 * 4);
    EXPECT_EQ(c.g, 8);
    EXPECT_EQ(c.r, 12);
    EXPECT_EQ(c.a, 204);

    img::image<colour> block(2, 2, 4);
    block.row(0)[0] = { 1, 1, 1, 1 };
    block.row(0)[1] = { 2, 2, 2, 2 };
    block.row(1)[0] = { 2, 2, 2, 2 };
    block.row(1)[1] = { 2, 2, 2, 2 };
    trm::reduce_image(block, target, 2, 2);
    EXPECT_EQ(target.row(0)[0], (colour { 1, 1, 1, 1 }));
}

TEST(ReduceImage, LargeBlocksDoNotOverflowTheirSums)
{
    img::image<colour> white(300, 300, 4);
    white.fill(colour { 255, 255, 255, 255 });
    img::image<colour> target;
    trm::reduce_image(white, target, 300, 300);
    ASSERT_EQ(target.width, 1u);
    EXPECT_EQ(target.row(0)[0], (colour { 255, 255, 255, 255 }));
}

TEST(ReduceImage, ZeroFactorIsRefused)
{
    const img::image<colour> source = ramp(4, 4);
    img::image<colour> target;
    EXPECT_THROW(trm::reduce_image(source, target, 0, 2), std::invalid_argument);
    img::image<img::bit> m(4, 4, 4);
    EXPECT_THROW(trm::reduce_mask(m, m, 2, 0), std::invalid_argument);
}

TEST(ExpandMask, ReplicatesBlocksAndLeavesTheRestOfTheTargetAlone)
{
    const auto source = mask_from_rows({ "#.", ".#" });
    // An odd target: the last column and row lie outside every block.
    auto target = mask_from_rows({
        "#####",
        "#####",
        "#####",
        "#####",
        "#####",
    });
    img::image<img::bit> cleared(5, 5, 4);
    cleared.fill(false);
    trm::expand_mask(source, cleared, 2, 2);
    EXPECT_EQ(rows_of(cleared), (std::vector<std::string> { "##...", "##...", "..##.", "..##.", "....." }));
    trm::expand_mask(source, target, 2, 2);
    EXPECT_EQ(rows_of(target), (std::vector<std::string> { "##..#", "##..#", "..###", "..###", "#####" }));
}

TEST(ExpandMask, ClipsBlocksToASmallerTarget)
{
    const auto source = mask_from_rows({ "###", "###" });
    img::image<img::bit> target(5, 3, 4);
    target.fill(false);
    trm::expand_mask(source, target, 2, 2);
    EXPECT_EQ(rows_of(target), (std::vector<std::string> { "#####", "#####", "#####" }));
}

} // namespace
