// Frame painting on exact small cases: the combined mask read as weights
// (crisp rows of odd widths, inversion, pixels outside the mask), and the
// pixels of Mask Only, Composition and Matted Foreground, including masks
// and backgrounds of another size than the frame.

#include "app/display/FramePainting.h"
#include "engine/frame_record.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <vector>

namespace {

using Pixel = img::BGRA<unsigned char>;

img::image<unsigned char> Grey(unsigned width, unsigned height, std::vector<unsigned char> values)
{
    img::image<unsigned char> grey(width, height, 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            grey.row(y)[x] = values[y * width + x];
    return grey;
}

img::image<img::bit> Bits(unsigned width, unsigned height, std::vector<int> values)
{
    img::image<img::bit> bits(width, height, 4);
    bits.fill(false);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            bits.at(x, y) = values[y * width + x] != 0;
    return bits;
}

// One layer with a crisp and a grey mask.
MaskLayer Layer(img::image<img::bit> bits, const img::image<unsigned char>& grey, int mode = MaskMode::Add,
    bool inverted = false)
{
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = std::move(bits);
    record->grey_mask.encode(grey);
    return { record, { mode, inverted } };
}

img::image<Pixel> Solid(unsigned width, unsigned height, Pixel value)
{
    img::image<Pixel> picture(width, height, 4);
    picture.fill(value);
    return picture;
}

std::vector<unsigned char> Row(const PaintingMask& mask, unsigned y, bool inverse, unsigned width)
{
    std::vector<unsigned char> row(width, 77);
    mask.ReadRow(y, inverse, row.data(), width);
    return row;
}

TEST(FramePainting, Div255TruncatesLikeIntegerDivision)
{
    for (unsigned x = 0; x <= 255u * 255u; ++x)
        ASSERT_EQ(FramePainting::Div255(static_cast<std::uint16_t>(x)), x / 255) << x;
}

TEST(PaintingMask, RowsOutsideTheMaskWeighZeroBeforeInversion)
{
    const PaintingMask none;
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(Row(none, 0, false, 3), (std::vector<unsigned char> { 0, 0, 0 }));
    EXPECT_EQ(Row(none, 5, true, 3), (std::vector<unsigned char> { 255, 255, 255 }));

    // 11 pixels: one whole byte and three bits of the next.
    const std::vector<int> values { 1, 0, 1, 1, 0, 0, 0, 1, 1, 0, 1 };
    const auto mask = PaintingMask::Combine(
        { Layer(Bits(11, 1, values), Grey(11, 1, std::vector<unsigned char>(11))) }, false, { 11, 1 });
    ASSERT_FALSE(mask.IsEmpty());
    EXPECT_EQ(mask.Width(), 11u);
    std::vector<unsigned char> expected;
    for (int v : values)
        expected.push_back(v ? 255 : 0);
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(Row(mask, 0, false, 13), expected);
    for (auto& e : expected)
        e = static_cast<unsigned char>(255 - e);
    EXPECT_EQ(Row(mask, 0, true, 13), expected);
    // A row below the mask, and a narrower read.
    EXPECT_EQ(Row(mask, 1, false, 2), (std::vector<unsigned char> { 0, 0 }));
    EXPECT_EQ(Row(mask, 0, false, 3), (std::vector<unsigned char> { 255, 0, 255 }));
}

TEST(PaintingMask, SmoothMasksAreDecodedAndCombinedByTheirModes)
{
    const auto a = Grey(3, 1, { 0, 100, 200 });
    const auto b = Grey(3, 1, { 50, 50, 100 });
    const auto bits = Bits(3, 1, { 0, 0, 0 });
    const auto mask = PaintingMask::Combine(
        { Layer(bits, a, MaskMode::Substitute), Layer(bits, b, MaskMode::Subtract) }, true, { 3, 1 });
    EXPECT_EQ(Row(mask, 0, false, 3), (std::vector<unsigned char> { 0, 50, 100 }));
    EXPECT_EQ(Row(mask, 0, true, 3), (std::vector<unsigned char> { 255, 205, 155 }));
}

TEST(PaintingMask, LayerWithoutItsMaskCountsAsAllClear)
{
    const auto bits = Bits(2, 1, { 1, 0 });
    const auto grey = Grey(2, 1, { 10, 20 });
    // First layer missing and inverted: all set; then "and" with the mask.
    MaskLayer missing { nullptr, { MaskMode::Add, true } };
    auto crisp = PaintingMask::Combine({ missing, Layer(bits, grey, MaskMode::Intersect) }, false, { 2, 1 });
    EXPECT_EQ(Row(crisp, 0, false, 2), (std::vector<unsigned char> { 255, 0 }));
    // A record without a grey mask under a smooth style.
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = bits;
    auto smooth = PaintingMask::Combine({ { record, { MaskMode::Add, false } } }, true, { 2, 1 });
    EXPECT_EQ(smooth.Width(), 2u);
    EXPECT_EQ(Row(smooth, 0, false, 2), (std::vector<unsigned char> { 0, 0 }));
}

TEST(FramePainting, MaskOnlyPaintsWeightsAsGreyWithComplementaryAlpha)
{
    img::image<Pixel> out;
    FramePainting::PaintMask(out, { 2, 2 }, PaintingMask(), false);
    ASSERT_EQ(out.width, 2u);
    ASSERT_EQ(out.height, 2u);
    for (const Pixel p : { out.at(0, 0).get(), out.at(1, 1).get() })
        EXPECT_EQ(p, (Pixel { 0, 0, 0, 255 }));
    FramePainting::PaintMask(out, { 2, 2 }, PaintingMask(), true);
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 255, 255, 255, 0 }));

    const auto crisp
        = PaintingMask::Combine({ Layer(Bits(2, 1, { 1, 0 }), Grey(2, 1, { 0, 0 })) }, false, { 2, 1 });
    FramePainting::PaintMask(out, { 2, 1 }, crisp, false);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 255, 255, 255, 0 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 0, 0, 0, 255 }));
    FramePainting::PaintMask(out, { 2, 1 }, crisp, true);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 0, 0, 0, 255 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 255, 255, 255, 0 }));

    const auto smooth
        = PaintingMask::Combine({ Layer(Bits(2, 1, { 0, 0 }), Grey(2, 1, { 30, 200 })) }, true, { 2, 1 });
    FramePainting::PaintMask(out, { 2, 1 }, smooth, false);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 30, 30, 30, 225 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 200, 200, 200, 55 }));
    FramePainting::PaintMask(out, { 2, 1 }, smooth, true);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 225, 225, 225, 30 }));
}

TEST(FramePainting, MaskOnlyClipsAMaskOfAnotherSize)
{
    // A 3 x 1 mask, all set, on a 2 x 2 frame.
    const auto wide
        = PaintingMask::Combine({ Layer(Bits(3, 1, { 1, 1, 1 }), Grey(3, 1, { 0, 0, 0 })) }, false, { 3, 1 });
    img::image<Pixel> out;
    FramePainting::PaintMask(out, { 2, 2 }, wide, false);
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 255, 255, 255, 0 }));
    EXPECT_EQ(out.at(1, 1).get(), (Pixel { 0, 0, 0, 255 }));
}

TEST(FramePainting, CompositionBlendsBackgroundInsideTheMask)
{
    const auto front = Solid(2, 1, { 200, 10, 0, 255 });
    const auto back = Solid(2, 1, { 50, 250, 255, 255 });
    const auto smooth
        = PaintingMask::Combine({ Layer(Bits(2, 1, { 0, 0 }), Grey(2, 1, { 100, 255 })) }, true, { 2, 1 });
    img::image<Pixel> out;
    FramePainting::PaintComposition(out, front, back, smooth, false);
    // (155 x 200 + 100 x 50) / 255 = 141, (155 x 10 + 100 x 250) / 255 = 104,
    // (100 x 255) / 255 = 100.
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 141, 104, 100, 155 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 50, 250, 255, 0 }));
    FramePainting::PaintComposition(out, front, back, smooth, true);
    // (100 x 200 + 155 x 50) / 255 = 108, (100 x 10 + 155 x 250) / 255 = 155,
    // (155 x 255) / 255 = 155.
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 108, 155, 155, 100 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 200, 10, 0, 255 }));

    const auto crisp
        = PaintingMask::Combine({ Layer(Bits(2, 1, { 1, 0 }), Grey(2, 1, { 0, 0 })) }, false, { 2, 1 });
    FramePainting::PaintComposition(out, front, back, crisp, false);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 50, 250, 255, 0 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 200, 10, 0, 255 }));
}

TEST(FramePainting, CompositionPaintsOnlyWhereFrameBackgroundAndMaskMeet)
{
    // A 3 x 3 frame, a 2 x 3 background and a 3 x 2 mask, all set: only the
    // 2 x 2 corner shows the background; the rest keeps the frame's pixels.
    const Pixel f { 1, 2, 3, 4 };
    const Pixel b { 9, 9, 9, 9 };
    const auto front = Solid(3, 3, f);
    const auto back = Solid(2, 3, b);
    const auto mask = PaintingMask::Combine(
        { Layer(Bits(3, 2, { 1, 1, 1, 1, 1, 1 }), Grey(3, 2, std::vector<unsigned char>(6))) }, false,
        { 3, 2 });
    img::image<Pixel> out = Solid(1, 1, {});
    FramePainting::PaintComposition(out, front, back, mask, false);
    ASSERT_EQ(out.width, 3u);
    ASSERT_EQ(out.height, 3u);
    for (unsigned y = 0; y < 3; ++y)
        for (unsigned x = 0; x < 3; ++x) {
            const Pixel expected = x < 2 && y < 2 ? Pixel { 9, 9, 9, 0 } : f;
            EXPECT_EQ(out.at(x, y).get(), expected) << x << "," << y;
        }
    // Without layers every pixel weighs 0: the frame, opaque.
    FramePainting::PaintComposition(out, front, back, PaintingMask(), false);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 1, 2, 3, 255 }));
    EXPECT_EQ(out.at(2, 2).get(), f);
}

TEST(FramePainting, MattedForegroundWeighsTheMatteByItsOpacity)
{
    const auto front = Solid(3, 1, { 200, 100, 0, 255 });
    const Pixel matte { 10, 20, 255, 128 };
    const auto smooth
        = PaintingMask::Combine({ Layer(Bits(2, 1, { 0, 0 }), Grey(2, 1, { 200, 0 })) }, true, { 2, 1 });
    img::image<Pixel> out;
    FramePainting::PaintMatted(out, front, smooth, false, matte);
    ASSERT_EQ(out.width, 3u);
    // a = 128 x 200 / 255 = 100: (155 x 200 + 100 x 10) / 255 = 125,
    // (155 x 100 + 100 x 20) / 255 = 68, (100 x 255) / 255 = 100.
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 125, 68, 100, 155 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 200, 100, 0, 255 }));
    // Beyond the mask the weight is 0 before inversion.
    EXPECT_EQ(out.at(2, 0).get(), (Pixel { 200, 100, 0, 255 }));
    FramePainting::PaintMatted(out, front, smooth, true, matte);
    // a = 128 x 55 / 255 = 27: (228 x 200 + 27 x 10) / 255 = 179,
    // (228 x 100 + 27 x 20) / 255 = 91, (27 x 255) / 255 = 27.
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 179, 91, 27, 228 }));
    EXPECT_EQ(out.at(2, 0).get(), (Pixel { 104, 59, 128, 127 }));

    const auto crisp
        = PaintingMask::Combine({ Layer(Bits(2, 1, { 1, 0 }), Grey(2, 1, { 0, 0 })) }, false, { 2, 1 });
    FramePainting::PaintMatted(out, front, crisp, false, matte);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 104, 59, 128, 127 }));
    EXPECT_EQ(out.at(1, 0).get(), (Pixel { 200, 100, 0, 255 }));
}

} // namespace
