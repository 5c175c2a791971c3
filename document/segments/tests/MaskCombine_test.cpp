// Mask combining: every mode and inversion in both bit depths, the first
// layer's rule, modes that change nothing, and sources of another size.

#include "document/segments/MaskCombine.h"
#include "document/segments/MaskMode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

namespace {

img::image<unsigned char> Grey(unsigned w, unsigned h, unsigned char v)
{
    img::image<unsigned char> image(w, h, 4);
    image.fill(v);
    return image;
}

int Combined(int d, int s, int mode, bool inverted)
{
    img::image<unsigned char> acc = Grey(3, 2, static_cast<unsigned char>(d));
    combine_masks(acc, Grey(3, 2, static_cast<unsigned char>(s)), mode, inverted, false);
    return acc.row(1)[2];
}

img::image<img::bit> RandomBits(unsigned w, unsigned h, std::mt19937& random)
{
    img::image<img::bit> bits(w, h, 4);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            bits.at(x, y) = (random() & 1) != 0;
    return bits;
}

img::image<unsigned char> AsGrey(const img::image<img::bit>& bits)
{
    img::image<unsigned char> grey(bits.width, bits.height, 4);
    for (unsigned y = 0; y < bits.height; ++y)
        for (unsigned x = 0; x < bits.width; ++x)
            grey.row(y)[x] = static_cast<bool>(bits.at(x, y)) ? 255 : 0;
    return grey;
}

TEST(MaskCombine, GreyKernelsFollowTheTable)
{
    // d = 200, s = 100; inverted, s' = 155.
    EXPECT_EQ(Combined(200, 100, MaskMode::Add, false), 255);
    EXPECT_EQ(Combined(200, 100, MaskMode::Subtract, false), 100);
    EXPECT_EQ(Combined(200, 100, MaskMode::Intersect, false), 78);
    EXPECT_EQ(Combined(200, 100, MaskMode::Lighten, false), 200);
    EXPECT_EQ(Combined(200, 100, MaskMode::Darken, false), 100);
    EXPECT_EQ(Combined(200, 100, MaskMode::Difference, false), 100);
    EXPECT_EQ(Combined(200, 100, MaskMode::Add, true), 255);
    EXPECT_EQ(Combined(200, 100, MaskMode::Subtract, true), 45);
    EXPECT_EQ(Combined(200, 100, MaskMode::Intersect, true), 121);
    EXPECT_EQ(Combined(200, 100, MaskMode::Lighten, true), 200);
    EXPECT_EQ(Combined(200, 100, MaskMode::Darken, true), 155);
    EXPECT_EQ(Combined(200, 100, MaskMode::Difference, true), 45);
    // Saturation at both ends and a difference the other way round.
    EXPECT_EQ(Combined(20, 100, MaskMode::Subtract, false), 0);
    EXPECT_EQ(Combined(20, 100, MaskMode::Difference, false), 80);
    EXPECT_EQ(Combined(100, 100, MaskMode::Add, true), 255);
    EXPECT_EQ(Combined(255, 255, MaskMode::Intersect, false), 255);
}

// The header's table, one pixel at a time.
int Expected(int d, int s, int mode, bool inverted)
{
    if (inverted)
        s = 255 - s;
    switch (mode) {
    case MaskMode::Add:
        return std::min(d + s, 255);
    case MaskMode::Subtract:
        return std::max(d - s, 0);
    case MaskMode::Intersect:
        return d * s / 255;
    case MaskMode::Lighten:
        return std::max(d, s);
    case MaskMode::Darken:
        return std::min(d, s);
    case MaskMode::Difference:
        return std::abs(d - s);
    }
    return d;
}

TEST(MaskCombine, GreyKernelsGiveTheTableForEveryPairOfLevels)
{
    // Rows of an odd width (a vector loop's last pixels are done apart)
    // starting at different alignments; every level meets every level.
    const unsigned w = 259;
    const unsigned h = 256;
    img::image<unsigned char> source(w, h, 4);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            source.row(y)[x] = static_cast<unsigned char>(y);
    for (const int mode : { MaskMode::Add, MaskMode::Subtract, MaskMode::Intersect, MaskMode::Lighten,
             MaskMode::Darken, MaskMode::Difference })
        for (const bool inverted : { false, true }) {
            img::image<unsigned char> acc(w, h, 4);
            for (unsigned y = 0; y < h; ++y)
                for (unsigned x = 0; x < w; ++x)
                    acc.row(y)[x] = static_cast<unsigned char>(x + y);
            combine_masks(acc, source, mode, inverted, false);
            for (unsigned y = 0; y < h; ++y)
                for (unsigned x = 0; x < w; ++x)
                    ASSERT_EQ(acc.row(y)[x], Expected((x + y) & 255, static_cast<int>(y), mode, inverted))
                        << "mode " << mode << (inverted ? " inverted" : "") << " at " << x << "," << y;
        }
}

TEST(MaskCombine, NoneAndSubstituteAndUnknownModesChangeNothingAfterTheFirstLayer)
{
    for (int mode : { int(MaskMode::None), int(MaskMode::Substitute), 8, -1 })
        for (bool inverted : { false, true }) {
            EXPECT_EQ(Combined(200, 100, mode, inverted), 200) << mode;
            std::mt19937 random(7);
            img::image<img::bit> acc = RandomBits(21, 5, random);
            const img::image<img::bit> before = acc;
            combine_bit_masks(acc, RandomBits(21, 5, random), mode, inverted, false);
            EXPECT_EQ(AsGrey(acc).row(3)[0], AsGrey(before).row(3)[0]);
            EXPECT_EQ(acc.count(), before.count());
        }
}

TEST(MaskCombine, FirstLayerIsCopiedAndInvertedOnlyWhenInversionDiffersFromSubtract)
{
    std::mt19937 random(3);
    const img::image<img::bit> source = RandomBits(37, 9, random);
    const img::image<unsigned char> grey = AsGrey(source);
    for (int mode = 0; mode <= 7; ++mode)
        for (bool inverted : { false, true }) {
            const bool flips = inverted != (mode == MaskMode::Subtract);
            img::image<img::bit> bits(2, 2, 4);
            combine_bit_masks(bits, source, mode, inverted, true);
            img::image<unsigned char> bytes;
            combine_masks(bytes, grey, mode, inverted, true);
            ASSERT_EQ(bits.width, 37u);
            ASSERT_EQ(bytes.height, 9u);
            for (unsigned y = 0; y < 9; ++y)
                for (unsigned x = 0; x < 37; ++x) {
                    const bool s = source.at(x, y);
                    ASSERT_EQ(static_cast<bool>(bits.at(x, y)), s != flips) << mode << inverted;
                    ASSERT_EQ(bytes.row(y)[x], (s != flips) ? 255 : 0) << mode << inverted;
                }
        }
    // A grey first layer inverts to 255 - v.
    img::image<unsigned char> acc;
    combine_masks(acc, Grey(4, 4, 30), MaskMode::Subtract, false, true);
    EXPECT_EQ(acc.row(2)[3], 225);
}

// On masks of 0 and 255 every grey kernel gives what the matching bit
// kernel gives, over a width that is no multiple of a byte or a word.
TEST(MaskCombine, BitKernelsAgreeWithGreyKernelsOnCrispMasks)
{
    std::mt19937 random(11);
    for (int mode = 1; mode <= 6; ++mode)
        for (bool inverted : { false, true }) {
            img::image<img::bit> acc = RandomBits(77, 6, random);
            const img::image<img::bit> source = RandomBits(77, 6, random);
            img::image<unsigned char> grey = AsGrey(acc);
            combine_bit_masks(acc, source, mode, inverted, false);
            combine_masks(grey, AsGrey(source), mode, inverted, false);
            const img::image<unsigned char> bits = AsGrey(acc);
            for (unsigned y = 0; y < 6; ++y)
                for (unsigned x = 0; x < 77; ++x)
                    ASSERT_EQ(bits.row(y)[x], grey.row(y)[x]) << "mode " << mode << " inverted " << inverted;
        }
}

TEST(MaskCombine, SmallerSourceChangesOnlyTheTopLeftItCovers)
{
    img::image<unsigned char> grey = Grey(10, 8, 0);
    combine_masks(grey, Grey(4, 3, 255), MaskMode::Add, false, false);
    EXPECT_EQ(grey.row(2)[3], 255);
    EXPECT_EQ(grey.row(3)[3], 0);
    EXPECT_EQ(grey.row(2)[4], 0);

    img::image<img::bit> bits(20, 8, 4);
    bits.fill(false);
    img::image<img::bit> small(9, 3, 4);
    small.fill(false);
    combine_bit_masks(bits, small, MaskMode::Add, true, false);
    EXPECT_EQ(bits.count(), 27u);
    EXPECT_TRUE(static_cast<bool>(bits.at(8, 2)));
    EXPECT_FALSE(static_cast<bool>(bits.at(9, 2)));
    EXPECT_FALSE(static_cast<bool>(bits.at(0, 3)));

    // A larger source is clipped to the accumulated mask.
    img::image<unsigned char> tiny = Grey(2, 2, 100);
    combine_masks(tiny, Grey(5, 5, 50), MaskMode::Difference, false, false);
    EXPECT_EQ(tiny.width, 2u);
    EXPECT_EQ(tiny.row(1)[1], 50);
}

// Layers apply in order: base, then each further layer on the result.
TEST(MaskCombine, LayersCombineInListOrder)
{
    auto run = [](std::initializer_list<std::pair<int, unsigned char>> layers) {
        img::image<unsigned char> acc;
        bool first = true;
        for (const auto& [mode, value] : layers) {
            combine_masks(acc, Grey(2, 1, value), mode, false, first);
            first = false;
        }
        return acc.row(0)[0];
    };
    EXPECT_EQ(
        run({ { MaskMode::Substitute, 100 }, { MaskMode::Add, 100 }, { MaskMode::Subtract, 50 } }), 150);
    EXPECT_EQ(
        run({ { MaskMode::Substitute, 100 }, { MaskMode::Subtract, 50 }, { MaskMode::Add, 100 } }), 150);
    EXPECT_EQ(
        run({ { MaskMode::Substitute, 200 }, { MaskMode::Add, 100 }, { MaskMode::Subtract, 100 } }), 155);
    EXPECT_EQ(
        run({ { MaskMode::Substitute, 200 }, { MaskMode::Subtract, 100 }, { MaskMode::Add, 100 } }), 200);
}

} // namespace
