#include "foundation/image/blit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace {

using img::bit;
using img::image;

using blit_function = void (*)(image<bit>&, int, int, int, int, const image<bit>&, int, int) noexcept;

struct blit_case {
    const char* name;
    blit_function fast;
    std::function<bool(bool, bool)> op;
};

const std::vector<blit_case>& all_blits()
{
    static const std::vector<blit_case> cases = {
        { "or", img::blit_or, [](bool d, bool s) { return d || s; } },
        { "or_not", img::blit_or_not, [](bool d, bool s) { return d || !s; } },
        { "and", img::blit_and, [](bool d, bool s) { return d && s; } },
        { "and_not", img::blit_and_not, [](bool d, bool s) { return d && !s; } },
        { "xor", img::blit_xor, [](bool d, bool s) { return d != s; } },
        { "xnor", img::blit_xnor, [](bool d, bool s) { return d != !s; } },
    };
    return cases;
}

bool pixel(const image<bit>& m, std::int64_t x, std::int64_t y)
{
    return (m.rows[y][x >> 3] & (0x80 >> (x & 7))) != 0;
}

void set_pixel(image<bit>& m, std::int64_t x, std::int64_t y, bool value)
{
    m.at(static_cast<unsigned>(x), static_cast<unsigned>(y)) = value;
}

// The pixel-wise definition: every pixel of the rectangle that lies inside
// both images is combined; the source is read as it was before the call.
// Returns the number of pixels combined.
int reference_blit(const std::function<bool(bool, bool)>& op, image<bit>& d, std::int64_t x, std::int64_t y,
    std::int64_t w, std::int64_t h, const image<bit>& s, std::int64_t sx, std::int64_t sy)
{
    const image<bit> source = s;
    int combined = 0;
    for (std::int64_t j = 0; j < h; ++j)
        for (std::int64_t i = 0; i < w; ++i) {
            const std::int64_t dx = x + i, dy = y + j, px = sx + i, py = sy + j;
            if (dx < 0 || dy < 0 || px < 0 || py < 0 || dx >= d.width || dy >= d.height || px >= source.width
                || py >= source.height)
                continue;
            set_pixel(d, dx, dy, op(pixel(d, dx, dy), pixel(source, px, py)));
            ++combined;
        }
    return combined;
}

// A bit image over a buffer of exactly stride x height bytes, so that a
// sanitizer build catches any read or write before the first or after the
// last row.
struct exact_mask {
    std::vector<unsigned char> storage;
    image<bit> mask;

    exact_mask(unsigned width, unsigned height, unsigned alignment, bool top_down, std::mt19937& random)
    {
        image<bit> probe(width, height, alignment);
        storage.resize(probe.size);
        for (unsigned char& byte : storage)
            byte = static_cast<unsigned char>(random());
        mask.top_down = top_down;
        mask.attach(storage.empty() ? nullptr : storage.data(), width, height, alignment);
    }
};

// An owned copy with the same alignment, row order and buffer bytes (padding
// included), so that whole buffers can be compared.
image<bit> same_layout(const image<bit>& m)
{
    image<bit> copy(m.width, m.height, m.alignment);
    copy.top_down = m.top_down;
    copy.update_rows();
    std::copy(m.data, m.data + m.size, copy.data);
    return copy;
}

std::vector<unsigned char> bytes_of(const image<bit>& m)
{
    return { m.data, m.data + m.size };
}

int random_between(std::mt19937& random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

TEST(Blit, AllSixAgreeWithThePixelwiseDefinitionOnRandomImagesAndOffsets)
{
    std::mt19937 random(20240611);
    int combined_rounds = 0;
    const int rounds = 3000;
    for (int round = 0; round < rounds; ++round) {
        const blit_case& c = all_blits()[static_cast<std::size_t>(round) % all_blits().size()];
        const int max_side = round % 10 == 0 ? 700 : 90;
        // Now and then an empty image; otherwise sizes, alignments and row
        // orders at random, and rectangles that stick out on any side.
        auto side = [&](int high) {
            return random() % 20 == 0 ? 0u : static_cast<unsigned>(random_between(random, 1, high));
        };
        exact_mask destination(side(max_side), side(12), random() % 2 ? 4u : 1u, random() % 2 != 0, random);
        exact_mask source(side(max_side), side(12), random() % 2 ? 4u : 1u, random() % 2 != 0, random);
        const int dw = static_cast<int>(destination.mask.width), sw = static_cast<int>(source.mask.width);
        const int dh = static_cast<int>(destination.mask.height), sh = static_cast<int>(source.mask.height);
        // Mostly corners near or inside the images, one round in five anywhere.
        const bool wild = round % 5 == 0;
        const int x = wild ? random_between(random, -dw - 9, dw + 9) : random_between(random, -9, dw - 1);
        const int y = wild ? random_between(random, -dh - 2, dh + 2) : random_between(random, -2, dh - 1);
        const int sx = wild ? random_between(random, -sw - 9, sw + 9) : random_between(random, -9, sw - 1);
        const int sy = wild ? random_between(random, -sh - 2, sh + 2) : random_between(random, -2, sh - 1);
        const int w = random_between(random, wild ? -2 : 1, std::max(dw, sw) + 9);
        const int h = random_between(random, wild ? -1 : 1, 14);

        image<bit> expected = same_layout(destination.mask);
        if (reference_blit(c.op, expected, x, y, w, h, source.mask, sx, sy) > 0)
            ++combined_rounds;

        c.fast(destination.mask, x, y, w, h, source.mask, sx, sy);
        ASSERT_EQ(bytes_of(destination.mask), bytes_of(expected))
            << c.name << " dst " << destination.mask.width << "x" << destination.mask.height << " src "
            << source.mask.width << "x" << source.mask.height << " at " << x << "," << y << " size " << w
            << "x" << h << " from " << sx << "," << sy;
    }
    EXPECT_GT(combined_rounds, rounds / 2) << "most rounds must combine some pixels";
}

TEST(Blit, ImageCombinedWithItselfReadsTheSourceAsItWasBefore)
{
    std::mt19937 random(7);
    for (int round = 0; round < 600; ++round) {
        const blit_case& c = all_blits()[static_cast<std::size_t>(round) % all_blits().size()];
        const unsigned width = static_cast<unsigned>(random_between(random, 1, round % 5 == 0 ? 9000 : 200));
        exact_mask m(
            width, static_cast<unsigned>(random_between(random, 1, 8)), 4, random() % 2 != 0, random);
        const int x = random_between(random, -20, static_cast<int>(width));
        const int sx = random_between(random, -20, static_cast<int>(width));
        const int y = random_between(random, -2, 8);
        const int sy = round % 2 ? y : random_between(random, -2, 8);
        const int w = random_between(random, 1, static_cast<int>(width) + 20);
        const int h = random_between(random, 1, 9);

        image<bit> expected = same_layout(m.mask);
        reference_blit(c.op, expected, x, y, w, h, m.mask, sx, sy);

        c.fast(m.mask, x, y, w, h, m.mask, sx, sy);
        ASSERT_EQ(bytes_of(m.mask), bytes_of(expected))
            << c.name << " width " << width << " at " << x << "," << y << " size " << w << "x" << h
            << " from " << sx << "," << sy;
    }
}

TEST(Blit, NegativeDestinationCornerShiftsTheSource)
{
    // x = -3, width 10: destination columns 0..6 from source columns 5..11.
    image<bit> destination(16, 1, 1);
    destination.fill(false);
    image<bit> source(16, 1, 1);
    source.fill(false);
    for (unsigned x = 0; x < 16; ++x)
        source.at(x, 0) = x >= 5 && x <= 11;
    img::blit_or(destination, -3, 0, 10, 1, source, 2, 0);
    for (unsigned x = 0; x < 16; ++x)
        EXPECT_EQ(static_cast<bool>(destination.at(x, 0)), x <= 6) << x;
}

TEST(Blit, UnalignedOffsetsLeaveTheBitsBeforeTheRectangleUnchanged)
{
    // x mod 8 = 5 and source x mod 8 = 2: a shift of 5 bits.
    image<bit> destination(24, 1, 1);
    destination.fill(false);
    destination.data[0] = 0xA8; // bits 0..4 from the left: 1 0 1 0 1
    image<bit> source(24, 1, 1);
    source.fill(true);
    img::blit_xor(destination, 5, 0, 11, 1, source, 10, 0);
    EXPECT_EQ(destination.data[0], 0xA8 ^ 0x07);
    EXPECT_EQ(destination.data[1], 0xFF);
    EXPECT_EQ(destination.data[2], 0x00);

    // Source x 2 under destination x 5: the source byte aligned with the
    // first destination byte is floor((2 - 5) / 8) = -1, which is never read
    // (the buffer holds exactly the source row).
    std::vector<unsigned char> exact = { 0x3F, 0x00, 0x00 };
    image<bit> lent;
    lent.attach(exact.data(), 24, 1, 1);
    destination.fill(false);
    destination.data[0] = 0xA8;
    img::blit_or(destination, 5, 0, 6, 1, lent, 2, 0);
    EXPECT_EQ(destination.data[0], 0xAF);
    EXPECT_EQ(destination.data[1], 0xE0);
    EXPECT_EQ(destination.data[2], 0x00);
}

TEST(Blit, EmptyOrFullyClippedRectanglesChangeNothing)
{
    image<bit> destination(40, 5, 4);
    destination.fill(false);
    image<bit> source(40, 5, 4);
    source.fill(true);
    const std::vector<unsigned char> before = bytes_of(destination);
    img::blit_or(destination, 0, 0, 0, 5, source, 0, 0);
    img::blit_or(destination, 0, 0, 40, -1, source, 0, 0);
    img::blit_or(destination, 40, 0, 10, 5, source, 0, 0);
    img::blit_or(destination, -10, 0, 10, 5, source, 0, 0);
    img::blit_or(destination, 0, 0, 10, 5, source, 40, 0);
    img::blit_or(destination, 0, 0, 10, 5, source, 0, -5);
    img::blit_or(destination, INT_MIN, INT_MIN, INT_MAX, INT_MAX, source, INT_MAX, INT_MAX);
    img::blit_or(destination, INT_MAX, 0, INT_MAX, 5, source, INT_MIN, 0);
    EXPECT_EQ(bytes_of(destination), before);

    // Extreme sizes clip to the images instead of overflowing.
    img::blit_or(destination, 0, 0, INT_MAX, INT_MAX, source, 0, 0);
    EXPECT_EQ(destination.count(), 200u);
}

TEST(Blit, EmptyImagesAreNeverTouched)
{
    image<bit> empty;
    image<bit> other(10, 10, 4);
    other.fill(true);
    img::blit_and(empty, 0, 0, 10, 10, other, 0, 0);
    img::blit_and(other, 0, 0, 10, 10, empty, 0, 0);
    EXPECT_EQ(other.count(), 100u);
}

TEST(CopyRect, ClipsANegativeCornerAsTheBlitsDo)
{
    std::mt19937 random(3);
    exact_mask source(30, 6, 1, true, random);
    exact_mask destination(20, 5, 4, false, random);
    image<bit> expected = same_layout(destination.mask);
    reference_blit([](bool, bool s) { return s; }, expected, -4, -2, 15, 6, source.mask, 3, 1);

    img::copy_rect(destination.mask, { -4, -2, 11, 4 }, source.mask, { 3, 1 });
    EXPECT_EQ(bytes_of(destination.mask), bytes_of(expected));
}

TEST(CopyRect, StopsAtTheFarCornerOfEitherImage)
{
    image<bit> source(10, 4, 1);
    source.fill(true);
    image<bit> destination(32, 8, 4);
    destination.fill(false);
    // right' = min(32, 30, 10 - 6 + 2) = 6, bottom' = min(8, 8, 4 - 1 + 3) = 6.
    img::copy_rect(destination, { 2, 3, 30, 8 }, source, { 6, 1 });
    for (unsigned y = 0; y < 8; ++y)
        for (unsigned x = 0; x < 32; ++x)
            EXPECT_EQ(static_cast<bool>(destination.at(x, y)), x >= 2 && x < 6 && y >= 3 && y < 6)
                << x << "," << y;

    const std::vector<unsigned char> before = bytes_of(destination);
    img::copy_rect(destination, { 5, 5, 2, 9 }, source, { 0, 0 }); // right before left
    img::copy_rect(destination, { 0, 0, 5, 5 }, source, { 10, 0 }); // source x at its width
    img::copy_rect(destination, { 0, 0, 5, 5 }, source, { 0xFFFFFFFFu, 0xFFFFFFFFu });
    EXPECT_EQ(bytes_of(destination), before);
}

TEST(CopyRect, CopyWholeCopiesTheOverlapOfTheTwoSizes)
{
    image<bit> source(12, 3, 1);
    source.fill(true);
    image<bit> destination(9, 5, 4);
    destination.fill(false);
    img::copy_whole(destination, source);
    for (unsigned y = 0; y < 5; ++y)
        for (unsigned x = 0; x < 9; ++x)
            EXPECT_EQ(static_cast<bool>(destination.at(x, y)), y < 3) << x << "," << y;
    EXPECT_EQ(destination.data[1] & 0x7F, 0) << "padding beyond the width stays";
}

TEST(CopyRect, CopyBitPixelCopiesSetAndClearBits)
{
    image<bit> source(2, 1, 1);
    source.at(0, 0) = true;
    source.at(1, 0) = false;
    image<bit> destination(2, 1, 1);
    destination.at(0, 0) = false;
    destination.at(1, 0) = true;
    const image<bit>& constant = source;
    img::copy_bit_pixel(destination.at(0, 0), constant.at(0, 0));
    img::copy_bit_pixel(destination.at(1, 0), source.at(1, 0));
    EXPECT_TRUE(destination.at(0, 0));
    EXPECT_FALSE(destination.at(1, 0));
}

TEST(IntersectRects, OverlapIsTheIntersectionAndTouchingEdgesDoNotOverlap)
{
    img::rect out;
    EXPECT_TRUE(img::intersect_rects({ -5, -5, 10, 10 }, { 0, 2, 20, 4 }, &out));
    EXPECT_EQ(out, (img::rect { 0, 2, 10, 4 }));
    EXPECT_TRUE(img::intersect_rects({ 0, 0, 1, 1 }, { 0, 0, 1, 1 }));
    EXPECT_FALSE(img::intersect_rects({ 0, 0, 10, 10 }, { 10, 0, 20, 10 }, &out));
    EXPECT_FALSE(img::intersect_rects({ 0, 0, 10, 10 }, { 0, -5, 10, 0 }, &out));
}

} // namespace
