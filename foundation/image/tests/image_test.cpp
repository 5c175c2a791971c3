#include "foundation/image/image.h"

#include "platform/kernel/block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using img::BGRA;
using img::bit;
using img::image;

using colour = BGRA<unsigned char>;

std::vector<unsigned char> bytes_of(const image<bit>& m)
{
    return { m.data, m.data + m.size };
}

void expect_rows_follow_the_invariant(const auto& m)
{
    ASSERT_EQ(m.rows.size(), m.height);
    for (unsigned i = 0; i < m.height; ++i) {
        const std::size_t index = m.top_down ? i : m.height - 1 - i;
        EXPECT_EQ(m.rows[i], m.data + std::size_t { m.stride } * index) << "row " << i;
    }
}

void fill_grey_ramp(image<unsigned char>& grey)
{
    for (unsigned y = 0; y < grey.height; ++y)
        for (unsigned x = 0; x < grey.width; ++x)
            grey.row(y)[x] = static_cast<unsigned char>(y * 31 + x);
}

TEST(Image, EmptyImageHasNoBufferAndResizingToEmptyIsANoOp)
{
    image<unsigned char> grey(0, 0, 1);
    EXPECT_EQ(grey.data, nullptr);
    EXPECT_TRUE(grey.owns);
    EXPECT_TRUE(grey.rows.empty());
    EXPECT_EQ(grey.size, 0u);
    grey.resize(0, 0, 1);
    EXPECT_EQ(grey.data, nullptr);
    EXPECT_EQ(grey.alignment, 1u);

    image<bit> mask;
    EXPECT_EQ(mask.data, nullptr);
    EXPECT_EQ(mask.alignment, 4u);
    EXPECT_EQ(mask.begin(), mask.end());
}

TEST(Image, StrideIsThePixelBytesRoundedUpToTheAlignment)
{
    EXPECT_EQ(image<bit>(13, 2, 4).stride, 4u);
    EXPECT_EQ(image<bit>(13, 2, 1).stride, 2u);
    EXPECT_EQ(image<bit>(16, 2, 1).stride, 2u);
    EXPECT_EQ(image<unsigned char>(10, 3, 4).stride, 12u);
    EXPECT_EQ(image<unsigned char>(10, 3, 4).size, 36u);
    EXPECT_EQ(image<colour>(3, 2, 1).stride, 12u);
    EXPECT_EQ(image<BGRA<float>>(3, 2, 64).stride, 64u);
    image<unsigned char> grey(7, 0, 4);
    EXPECT_EQ(grey.data, nullptr);
    EXPECT_TRUE(grey.rows.empty());
}

TEST(Image, ChangingOnlyTheAlignmentKeepsThePixels)
{
    image<unsigned char> grey(10, 3, 1);
    fill_grey_ramp(grey);
    const image<unsigned char> before = grey;
    grey.resize(10, 3, 4);
    EXPECT_EQ(grey.stride, 12u);
    expect_rows_follow_the_invariant(grey);
    for (unsigned y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(grey.row(y), before.row(y), 10), 0) << y;
}

TEST(Image, BottomUpRowZeroIsTheLastRowOfTheBufferAndAssignmentKeepsPixelPositions)
{
    image<unsigned char> grey(5, 3, 4);
    grey.top_down = false;
    grey.update_rows();
    expect_rows_follow_the_invariant(grey);
    EXPECT_EQ(grey.rows[0], grey.data + 16);
    fill_grey_ramp(grey);

    image<unsigned char> top_down(5, 3, 4);
    top_down = grey;
    EXPECT_TRUE(top_down.top_down);
    for (unsigned y = 0; y < 3; ++y)
        for (unsigned x = 0; x < 5; ++x)
            EXPECT_EQ(top_down.row(y)[x], grey.row(y)[x]);
    EXPECT_EQ(top_down.data[0], grey.data[16]);

    const image<unsigned char> copy(grey);
    EXPECT_TRUE(copy.top_down);
    EXPECT_EQ(copy.alignment, 4u);
    EXPECT_EQ(copy.row(2)[4], grey.row(2)[4]);
}

TEST(Image, AssignmentOfEqualSizesKeepsTheTargetLayoutExceptForMasks)
{
    image<colour> source(3, 2, 4);
    source.fill({ 1, 2, 3, 4 });
    image<colour> target(3, 2, 1);
    target.top_down = false;
    target.update_rows();
    target = source;
    EXPECT_EQ(target.alignment, 1u);
    EXPECT_FALSE(target.top_down);
    EXPECT_EQ(target.row(1)[2], (colour { 1, 2, 3, 4 }));

    image<bit> mask(13, 2, 1);
    mask.fill(true);
    image<bit> other(13, 2, 1);
    other = mask;
    EXPECT_EQ(other.alignment, 4u);
    EXPECT_EQ(other.count(), 26u);
}

TEST(Image, ResizingAnAttachedBufferTakesAnOwnCopyAndLeavesTheBufferAlone)
{
    std::vector<unsigned char> external(16);
    std::iota(external.begin(), external.end(), 1);
    const std::vector<unsigned char> original = external;

    image<unsigned char> grey;
    grey.attach(external.data(), 5, 2, 4);
    EXPECT_FALSE(grey.owns);
    EXPECT_EQ(grey.stride, 8u);
    EXPECT_EQ(grey.row(1)[0], 9);

    grey.resize(5, 2, 4);
    EXPECT_TRUE(grey.owns);
    EXPECT_NE(grey.data, external.data());
    EXPECT_EQ(grey.row(1)[0], 9);
    EXPECT_EQ(grey.row(0)[4], 5);
    grey.row(0)[0] = 99;
    EXPECT_EQ(external, original);
}

TEST(Image, AttachDetachAndClearNeverFreeALentBuffer)
{
    std::vector<unsigned char> external(8, 0xAB);
    image<bit> mask(40, 40, 4); // owned buffer, freed by attach
    mask.top_down = false;
    mask.attach(external.data(), 16, 4, 0);
    EXPECT_EQ(mask.alignment, 4u) << "alignment 0 keeps the current one";
    EXPECT_FALSE(mask.owns);
    EXPECT_EQ(mask.stride, 4u);
    expect_rows_follow_the_invariant(mask);

    unsigned char* returned = mask.detach();
    EXPECT_EQ(returned, external.data());
    EXPECT_EQ(mask.data, nullptr);
    EXPECT_EQ(mask.width, 0u);
    EXPECT_EQ(mask.alignment, 0u);
    EXPECT_TRUE(mask.rows.empty());
    EXPECT_FALSE(mask.owns);
    EXPECT_FALSE(mask.top_down);

    image<colour> frame;
    frame.attach(external.data(), 2, 1, 4);
    frame.clear();
    EXPECT_EQ(frame.data, nullptr);
    EXPECT_FALSE(frame.owns);
    {
        image<unsigned char> scoped;
        scoped.attach(external.data(), 8, 1, 1);
    }
    EXPECT_EQ(external, std::vector<unsigned char>(8, 0xAB));

    image<colour> owned(4, 4, 4);
    owned.clear();
    EXPECT_EQ(owned.data, nullptr);
    EXPECT_EQ(owned.alignment, 4u);
    EXPECT_TRUE(owned.owns);
}

TEST(Image, TooLargeSizesAreRefusedBeforeAnyAllocation)
{
    image<colour> frame(4, 4, 4);
    frame.fill({ 9, 9, 9, 9 });
    try {
        frame.resize(70000, 70000, 4); // 19.6 GB; would wrap in 32 bits
        FAIL() << "no error";
    } catch (const img::image_too_large& e) {
        EXPECT_EQ(std::string(e.what()),
            "Image of 70000 x 70000 pixels is too large: it needs 19600000000 bytes, more than the "
            "4294967295 an "
            "image can hold");
    }
    EXPECT_EQ(frame.width, 4u);
    EXPECT_EQ(frame.row(3)[3], (colour { 9, 9, 9, 9 }));

    EXPECT_THROW(image<bit>(0xFFFFFFFFu, 0xFFFFFFFFu, 4), std::bad_alloc);
    EXPECT_THROW(image<BGRA<float>>(0x10000000u, 1, 4), img::image_too_large);
    EXPECT_THROW(image<unsigned char>(0, 0xFFFFFFFFu, 4), img::image_too_large) << "row table";
    // 65536 x 65536 x 4 is exactly 2^34 and 2^32 + 4 bytes are one too many.
    EXPECT_THROW(image<colour>(65536, 65536, 4), img::image_too_large);
    EXPECT_THROW(image<unsigned char>(0x40000001u, 4, 1), img::image_too_large);

    // A stride of 2^36 bytes times 2^28 rows is 2^64: in 64 bits the size
    // wrapped to 0 and the record took the geometry without a buffer.
    image<BGRA<float>> wide(1, 1, 4);
    try {
        wide.resize(0xFFFFFFFFu, 1u << 28, 32);
        FAIL() << "no error";
    } catch (const img::image_too_large& e) {
        EXPECT_NE(std::string(e.what()).find("needs 18446744073709551616 bytes"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(wide.width, 1u);
    EXPECT_NE(wide.data, nullptr);

    image<bit> lent;
    unsigned char byte = 0;
    EXPECT_THROW(lent.attach(&byte, 0xFFFFFFFFu, 0xFFFFFFFFu, 1), img::image_too_large);
    EXPECT_EQ(lent.data, nullptr);
}

TEST(Image, CountSeesOnlyPixelsAndNeverThePaddingBits)
{
    image<bit> mask(8, 3, 1);
    mask.fill(true);
    EXPECT_EQ(mask.count(), 24u);

    image<bit> padded(13, 3, 4);
    padded.fill(true);
    EXPECT_EQ(padded.count(), 39u);
    padded.invert();
    EXPECT_EQ(padded.count(), 0u);
    EXPECT_EQ(bytes_of(padded), std::vector<unsigned char>(12, 0));

    image<bit> wide(100, 2, 1);
    wide.fill(false);
    wide.at(0, 0) = true;
    wide.at(63, 0) = true;
    wide.at(64, 1) = true;
    wide.at(99, 1) = true;
    EXPECT_EQ(wide.count(), 4u);
    wide.invert();
    EXPECT_EQ(wide.count(), 196u);
    EXPECT_FALSE(wide.at(99, 1));
    EXPECT_TRUE(wide.at(98, 1));
}

TEST(Image, MasksWithTheSamePixelsAreTheSameWhateverTheirPaddingAndRowOrder)
{
    image<bit> a(13, 3, 1);
    a.fill(false);
    a.at(12, 2) = true;
    image<bit> b(13, 3, 4);
    b.fill(true);
    b.top_down = false;
    b.update_rows();
    for (unsigned y = 0; y < 3; ++y)
        for (unsigned x = 0; x < 13; ++x)
            b.at(x, y) = x == 12 && y == 2;
    EXPECT_TRUE(a.same_pixels(b));
    EXPECT_TRUE(b.same_pixels(a));

    b.at(12, 2) = false;
    EXPECT_FALSE(a.same_pixels(b));
    b.at(12, 2) = true;
    b.at(0, 0) = true;
    EXPECT_FALSE(a.same_pixels(b));

    image<bit> narrower(12, 3, 1);
    narrower.fill(false);
    image<bit> clear(13, 3, 1);
    clear.fill(false);
    EXPECT_FALSE(clear.same_pixels(narrower));
    EXPECT_TRUE(image<bit>().same_pixels(image<bit>()));
}

TEST(Image, CountAgreesWithThePixelsOnRandomMasks)
{
    std::mt19937 random(11);
    for (int round = 0; round < 60; ++round) {
        image<bit> mask(static_cast<unsigned>(random() % 3000), static_cast<unsigned>(random() % 4),
            random() % 2 ? 4 : 1);
        for (std::uint32_t i = 0; i < mask.size; ++i)
            mask.data[i] = static_cast<unsigned char>(random());
        std::uint64_t expected = 0;
        for (auto p : std::as_const(mask))
            expected += p ? 1 : 0;
        EXPECT_EQ(mask.count(), expected) << mask.width << " x " << mask.height;
    }
}

TEST(Image, SwapAndMoveExchangeBuffersWithoutCopying)
{
    image<bit> a(10, 2, 4);
    image<bit> b(3, 7, 1);
    unsigned char* a_data = a.data;
    unsigned char* b_data = b.data;
    a.swap(b);
    EXPECT_EQ(a.data, b_data);
    EXPECT_EQ(a.width, 3u);
    EXPECT_EQ(b.data, a_data);
    EXPECT_EQ(b.alignment, 4u);
    expect_rows_follow_the_invariant(a);
    a.swap(a);
    EXPECT_EQ(a.data, b_data);

    image<bit> moved(std::move(a));
    EXPECT_EQ(moved.data, b_data);
    EXPECT_EQ(a.data, nullptr);
    b = std::move(moved);
    EXPECT_EQ(b.data, b_data);
    EXPECT_EQ(moved.data, nullptr);
}

TEST(Image, LargeBuffersAreGivenBackAndTakenAgainBySizeWithPixelsRewritten)
{
    platform::block_pool& pool = platform::image_block_pool();
    if (pool.limit() == 0)
        GTEST_SKIP() << "this build keeps no buffers";
    const std::uint64_t before = pool.held();
    const std::size_t bytes = std::size_t { 1024 } * 512 * 4;
    unsigned char* first = nullptr;
    {
        image<colour> frame(1024, 512, 4);
        first = frame.data;
        frame.fill({ 1, 2, 3, 4 });
    }
    EXPECT_EQ(pool.held(), before + bytes);
    image<colour> next(1024, 512, 4);
    EXPECT_EQ(next.data, first) << "the next frame of the size reuses the buffer";
    EXPECT_EQ(pool.held(), before);
    next.fill({ 9, 8, 7, 6 });
    image<colour> copy(next);
    EXPECT_NE(copy.data, next.data);
    EXPECT_TRUE(std::all_of(copy.begin(), copy.end(), [](colour c) { return c == colour { 9, 8, 7, 6 }; }));
    // Only the alignment changes: the pixels stay, in a buffer of the new size.
    next.resize(1024, 512, 8192);
    EXPECT_TRUE(next.row(511)[1023] == (colour { 9, 8, 7, 6 }));
    expect_rows_follow_the_invariant(next);
}

TEST(Image, PixelIteratorWalksRowsWithXFastest)
{
    image<bit> mask(3, 2, 4);
    mask.fill(false);
    mask.at(2, 0) = true;
    mask.at(1, 1) = true;
    std::vector<img::point> positions;
    std::string bits;
    for (auto it = mask.begin(); it != mask.end(); ++it) {
        positions.push_back(it.position());
        bits += *it ? '1' : '0';
    }
    EXPECT_EQ(bits, "001010");
    ASSERT_EQ(positions.size(), 6u);
    EXPECT_EQ(positions[3], (img::point { 0, 1 }));
    EXPECT_EQ(mask.end().position(), (img::point { 0, 2 }));
    EXPECT_EQ((img::point { 1, 2 } + img::point { 3, 4 }), (img::point { 4, 6 }));

    image<unsigned char> zero_width(0, 5, 4);
    EXPECT_EQ(zero_width.begin(), zero_width.end());

    image<unsigned char> grey(2, 2, 4);
    for (auto p : grey)
        p = static_cast<unsigned char>(p.x + 10 * p.y);
    const image<unsigned char>& constant = grey;
    EXPECT_EQ(static_cast<unsigned char>(constant.at(1, 1)), 11);
}

TEST(ImageConversion, GreyFromMaskTakesTheValueForSetOrClearBits)
{
    image<bit> mask(11, 2, 1);
    mask.fill(false);
    mask.at(0, 0) = true;
    mask.at(8, 0) = true;
    mask.at(10, 1) = true;
    image<unsigned char> grey(img::two_value_view { mask, 7, 200 });
    EXPECT_EQ(grey.width, 11u);
    EXPECT_EQ(grey.alignment, 4u);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 11; ++x)
            EXPECT_EQ(grey.row(y)[x], mask.at(x, y) ? 200 : 7) << x << "," << y;

    image<unsigned char> same(11, 2, 1);
    same = img::two_value_view { mask, 0, 255 };
    EXPECT_EQ(same.alignment, 1u) << "no resize when the size agrees";
    EXPECT_EQ(same.row(1)[10], 255);
}

TEST(ImageConversion, ColourFromGreySetsChannelsAndAlpha)
{
    image<unsigned char> grey(3, 2, 1);
    fill_grey_ramp(grey);
    grey.row(1)[2] = 255;
    image<colour> frame;
    EXPECT_EQ(&frame.assign_grey(grey), &frame);
    EXPECT_EQ(frame.width, 3u);
    EXPECT_EQ(frame.alignment, 4u);
    EXPECT_EQ(frame.row(0)[1], (colour { 1, 1, 1, 254 }));
    EXPECT_EQ(frame.row(1)[2], (colour { 255, 255, 255, 0 }));
    frame.assign_grey_inverted(grey);
    EXPECT_EQ(frame.row(0)[1], (colour { 254, 254, 254, 1 }));
    EXPECT_EQ(frame.row(1)[2], (colour { 0, 0, 0, 255 }));

    image<BGRA<float>> floats;
    floats.assign(frame);
    EXPECT_EQ(floats.row(0)[1], (BGRA<float> { 254.0f, 254.0f, 254.0f, 1.0f }));
}

} // namespace
