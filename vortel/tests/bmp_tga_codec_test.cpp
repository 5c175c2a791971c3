#include "vortel/bmp_tga_codec.h"

#include "foundation/files/image_error.h"
#include "vortel/tests/support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using namespace vortel_test;

std::vector<std::uint8_t> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16
        | std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint16_t(b[at] | b[at + 1] << 8);
}

// Pixel (x, y) of a w-wide picture: distinct bytes per channel.
std::vector<std::uint8_t> numbered(unsigned w, unsigned h)
{
    std::vector<std::uint8_t> p(std::size_t(w) * h * 4);
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = std::uint8_t(i + 1);
    return p;
}

TEST(BmpTgaCodec, OtherFormatsAreNotSupported)
{
    scratch_folder folder;
    img::bmp_tga_codec codec;
    frame f = make_frame(2, 2, numbered(2, 2));
    try {
        codec.write(folder.file("a.png"), "PNG", f, false);
        FAIL();
    } catch (const img::io_error& e) {
        EXPECT_EQ(e.message(), "file format is not supported");
        EXPECT_EQ(e.subject(), "PNG");
    }
    EXPECT_FALSE(fs::exists(folder.file("a.png")));
}

TEST(BmpTgaCodec, TgaSidesAbove65535AreRefusedBeforeTheFileIsTouched)
{
    scratch_folder folder;
    img::bmp_tga_codec codec;
    std::ofstream(folder.file("old.tga")) << "old";
    frame wide(65536, 1);
    try {
        codec.write(folder.file("old.tga"), "TGA", wide, false);
        FAIL();
    } catch (const img::io_error& e) {
        EXPECT_EQ(e.message(), "image is too large for the file format");
    }
    EXPECT_EQ(read_file(folder.file("old.tga")).size(), 3u);
    frame tall(1, 65536);
    EXPECT_THROW(codec.write(folder.file("t.tga"), "tga", tall, true), img::io_error);
}

TEST(BmpTgaCodec, UnwritableFileIsAStreamFailure)
{
    scratch_folder folder;
    img::bmp_tga_codec codec;
    frame f = make_frame(2, 2, numbered(2, 2));
    EXPECT_THROW(codec.write(folder.file("missing/a.bmp"), "BMP", f, false), std::ios_base::failure);
}

TEST(BmpTgaCodec, Bmp24BitRowsArePaddedAndBottomUp)
{
    scratch_folder folder;
    img::bmp_tga_codec codec;
    const auto p = numbered(3, 2);
    const std::string path = folder.file("a.bmp");
    EXPECT_EQ(codec.write_file(path, "bmp", make_frame(3, 2, p), false), 54u + 24u);
    auto b = read_file(path);
    ASSERT_EQ(b.size(), 54u + 24u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), 78u);
    EXPECT_EQ(u32(b, 6), 0u);
    EXPECT_EQ(u32(b, 10), 54u);
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(u32(b, 18), 3u);
    EXPECT_EQ(u32(b, 22), 2u);
    EXPECT_EQ(u16(b, 26), 1u);
    EXPECT_EQ(u16(b, 28), 24u);
    for (std::size_t i = 30; i < 54; ++i)
        EXPECT_EQ(b[i], 0) << i;
    // First stored row: the bottom one (y = 1), blue green red, 3 bytes pad.
    for (unsigned x = 0; x < 3; ++x)
        for (unsigned c = 0; c < 3; ++c) {
            EXPECT_EQ(b[54 + 3 * x + c], p[(3 + x) * 4 + c]);
            EXPECT_EQ(b[54 + 12 + 3 * x + c], p[x * 4 + c]);
        }
    EXPECT_EQ(b[54 + 9], 0);
    EXPECT_EQ(b[54 + 11], 0);
}

TEST(BmpTgaCodec, Bmp32BitTurnsTopDownImagesAndCopiesPaddedRows)
{
    scratch_folder folder;
    img::bmp_tga_codec codec;
    const auto p = numbered(2, 3);
    for (unsigned alignment : { 1u, 3u, 4u, 8u })
        for (bool top_down : { true, false }) {
            const std::string path = folder.file("a.bmp");
            codec.write(path, "BMP", make_frame(2, 3, p, top_down, alignment), true);
            auto b = read_file(path);
            ASSERT_EQ(b.size(), 54u + 24u);
            EXPECT_EQ(u16(b, 28), 32u);
            for (unsigned y = 0; y < 3; ++y)
                EXPECT_TRUE(
                    std::equal(p.begin() + 8 * y, p.begin() + 8 * y + 8, b.begin() + 54 + 8 * (2 - y)))
                    << "row " << y << " alignment " << alignment << " top-down " << top_down;
        }
}

TEST(BmpTgaCodec, TgaKeepsTheStoredRowOrder)
{
    scratch_folder folder;
    img::bmp_tga_codec codec;
    const auto p = numbered(3, 2);
    for (bool top_down : { true, false })
        for (bool alpha : { true, false }) {
            const std::string path = folder.file("a.TGA");
            codec.write(path, "Tga", make_frame(3, 2, p, top_down, 8), alpha);
            auto b = read_file(path);
            const unsigned bytes = alpha ? 4 : 3;
            ASSERT_EQ(b.size(), 18u + 6 * bytes);
            EXPECT_EQ(b[0], 0);
            EXPECT_EQ(b[1], 0);
            EXPECT_EQ(b[2], 2);
            for (int i = 3; i < 12; ++i)
                EXPECT_EQ(b[std::size_t(i)], 0);
            EXPECT_EQ(u16(b, 12), 3u);
            EXPECT_EQ(u16(b, 14), 2u);
            EXPECT_EQ(b[16], alpha ? 32 : 24);
            EXPECT_EQ(b[17], top_down ? 0x20 : 0);
            for (unsigned i = 0; i < 2; ++i) {
                const unsigned y = top_down ? i : 1 - i;
                for (unsigned x = 0; x < 3; ++x)
                    EXPECT_EQ(0, std::memcmp(&b[18 + (i * 3 + x) * bytes], &p[(y * 3 + x) * 4], bytes))
                        << "row " << i << " pixel " << x;
            }
        }
}

TEST(BmpTgaCodec, FailedWriteKeepsTheOldFile)
{
    scratch_folder folder;
    img::bmp_tga_codec codec;
    const std::string path = folder.file("a.bmp");
    std::ofstream(path) << "old";
    fs::permissions(folder.root(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(folder.root().c_str(), W_OK) == 0) {
        fs::permissions(folder.root(), fs::perms::owner_all);
        GTEST_SKIP() << "the folder stays writable (running with privileges)";
    }
    EXPECT_THROW(codec.write(path, "BMP", make_frame(2, 2, numbered(2, 2)), false), std::ios_base::failure);
    fs::permissions(folder.root(), fs::perms::owner_all);
    EXPECT_EQ(read_file(path).size(), 3u);
}

} // namespace
