#include "engine/masks/morphology.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/tests/mask_test_support.h"

namespace {

using mask = img::image<img::bit>;
using trm::testing::mask_from_rows;
using trm::testing::random_mask;
using trm::testing::rows_of;

// One step by the definition: a pixel is combined with its neighbours inside
// the image only.
mask reference_step(const mask& s, bool erode, bool square)
{
    mask t(s.width, s.height, 4);
    for (unsigned y = 0; y < s.height; ++y) {
        for (unsigned x = 0; x < s.width; ++x) {
            bool v = s.at(x, y);
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (!square && dx != 0 && dy != 0)
                        continue;
                    const long nx = static_cast<long>(x) + dx;
                    const long ny = static_cast<long>(y) + dy;
                    if (nx < 0 || ny < 0 || nx >= s.width || ny >= s.height)
                        continue;
                    const bool n = s.at(static_cast<unsigned>(nx), static_cast<unsigned>(ny));
                    v = erode ? (v && n) : (v || n);
                }
            }
            t.at(x, y) = v;
        }
    }
    return t;
}

mask reference_n(mask m, int n, bool erode, bool square)
{
    for (int i = 0; i < n; ++i)
        m = reference_step(m, erode, square);
    return m;
}

TEST(Morphology, RepeatedStepsMatchTheNeighbourhoodDefinitionOnRandomMasks)
{
    std::mt19937 random(7);
    const unsigned sizes[][2] = { { 37, 23 }, { 70, 5 }, { 1, 1 }, { 9, 1 }, { 64, 17 } };
    for (const auto& size : sizes) {
        for (double density : { 0.3, 0.7 }) {
            const mask s = random_mask(size[0], size[1], density, random);
            for (int n = 0; n <= 3; ++n) {
                mask t;
                trm::erode4_n(t, s, n);
                EXPECT_EQ(rows_of(t), rows_of(reference_n(s, n, true, false))) << "erode4 " << n;
                trm::dilate4_n(t, s, n);
                EXPECT_EQ(rows_of(t), rows_of(reference_n(s, n, false, false))) << "dilate4 " << n;
                trm::erode8_n(t, s, n);
                EXPECT_EQ(rows_of(t), rows_of(reference_n(s, n, true, true))) << "erode8 " << n;
                trm::dilate8_n(t, s, n);
                EXPECT_EQ(rows_of(t), rows_of(reference_n(s, n, false, true))) << "dilate8 " << n;
            }
        }
    }
}

TEST(Morphology, SinglePixelDilatesToAPlusOrASquare)
{
    const mask dot = mask_from_rows({ ".....", ".....", "..#..", ".....", "....." });
    mask t;
    trm::dilate4(t, dot);
    EXPECT_EQ(rows_of(t), (std::vector<std::string> { ".....", "..#..", ".###.", "..#..", "....." }));
    trm::dilate8(t, dot);
    EXPECT_EQ(rows_of(t), (std::vector<std::string> { ".....", ".###.", ".###.", ".###.", "....." }));
}

TEST(Morphology, ImageBorderNeitherErodesNorDilates)
{
    const mask full = trm::testing::filled_mask(13, 6, true);
    mask t;
    trm::erode8_n(t, full, 4);
    EXPECT_EQ(t.count(), 13u * 6u);
    trm::erode4_n(t, full, 2);
    EXPECT_EQ(t.count(), 13u * 6u);
}

TEST(Morphology, TargetMayBeTheSource)
{
    std::mt19937 random(11);
    const mask s = random_mask(30, 12, 0.6, random);
    mask m = s;
    trm::erode4(m, m);
    EXPECT_EQ(rows_of(m), rows_of(reference_step(s, true, false)));
    m = s;
    trm::dilate8_n(m, m, 2);
    EXPECT_EQ(rows_of(m), rows_of(reference_n(s, 2, false, true)));
}

TEST(Morphology, OpeningRemovesThinPartsAndClosingFillsThinGaps)
{
    const mask s = mask_from_rows({
        "..........",
        ".####.....",
        ".####.#...",
        ".####.....",
        ".##.#.....",
        ".####.....",
        "..........",
    });
    mask t;
    trm::open4_n(t, s, 1);
    EXPECT_EQ(t.at(6, 2), false);
    EXPECT_EQ(t.at(2, 2), true);
    trm::close4_n(t, s, 1);
    EXPECT_EQ(t.at(3, 4), true);
    EXPECT_EQ(t.at(6, 2), true);
    EXPECT_EQ(t.at(8, 5), false);
}

} // namespace
