#include "foundation/files/bmp_reader.h"

#include "foundation/files/bmp_writer.h"
#include "foundation/files/byte_stream.h"
#include "foundation/files/image_error.h"
#include "foundation/files/tests/bmp_bytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

using test_support::bmp_file;
using test_support::bmp_layout;

namespace {

const std::vector<std::uint8_t> black_white = { 0, 0, 0, 0, 255, 255, 255, 0 };
const std::vector<std::uint8_t> white_black = { 255, 255, 255, 0, 0, 0, 0, 0 };

// A 10 x 3 mask whose row r (top row 0) has pixel r set, rows padded to 4 bytes.
std::vector<std::uint8_t> diagonal_rows(bool top_down)
{
    std::vector<std::uint8_t> rows(12, 0);
    for (int r = 0; r < 3; ++r) {
        const int stored = top_down ? r : 2 - r;
        rows[stored * 4] = static_cast<std::uint8_t>(0x80 >> r);
    }
    return rows;
}

void expect_diagonal(const img::image<img::bit>& mask, bool inverted)
{
    ASSERT_EQ(mask.width, 10u);
    ASSERT_EQ(mask.height, 3u);
    for (unsigned y = 0; y < 3; ++y)
        for (unsigned x = 0; x < 10; ++x)
            EXPECT_EQ(bool(mask.at(x, y)), (x == y) != inverted) << x << "," << y;
}

std::string what_of(const std::string& path, img::image<img::bit>& mask)
{
    try {
        img::read_bmp_file(path, mask);
    } catch (const img::io_error& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(BmpReader, MaskLoadsWithBothRowOrders)
{
    test_support::scratch_folder folder;
    for (bool top_down : { false, true }) {
        const auto path = folder.write(
            "m.bmp", bmp_file({ 40, 10, top_down ? -3 : 3, 1, 0, 0, black_white, diagonal_rows(top_down) }));
        img::image<img::bit> mask;
        img::read_bmp_file(path, mask);
        EXPECT_EQ(mask.top_down, top_down);
        expect_diagonal(mask, false);
    }
}

TEST(BmpReader, WhiteThenBlackTableLoadsInvertedForEveryHeaderSize)
{
    test_support::scratch_folder folder;
    for (std::uint32_t info : { 40u, 108u, 124u }) {
        img::image<img::bit> mask;
        img::read_bmp_file(
            folder.write("w.bmp", bmp_file({ info, 10, 3, 1, 0, 0, white_black, diagonal_rows(false) })),
            mask);
        expect_diagonal(mask, true);
        img::read_bmp_file(
            folder.write("b.bmp", bmp_file({ info, 10, 3, 1, 0, 0, black_white, diagonal_rows(false) })),
            mask);
        expect_diagonal(mask, false);
    }
}

TEST(BmpReader, OtherDepthsAndVariantsAreUnsupportedWithTheirMode)
{
    test_support::scratch_folder folder;
    struct variant {
        bmp_layout layout;
        int mode;
        int value;
    };
    const variant cases[] = {
        { { 40, 4, 1, 8, 0, 0, {}, std::vector<std::uint8_t>(4) }, 2, 8 },
        { { 40, 1, 1, 24, 0, 0, {}, std::vector<std::uint8_t>(4) }, 2, 24 },
        { { 40, 8, 1, 1, 1, 0, black_white, std::vector<std::uint8_t>(4) }, 1, 1 },
        { { 40, -8, 1, 1, 0, 0, black_white, std::vector<std::uint8_t>(4) }, 4, -8 },
    };
    for (const variant& c : cases) {
        const auto path = folder.write("v.bmp", bmp_file(c.layout));
        img::image<img::bit> mask;
        try {
            img::read_bmp_file(path, mask);
            ADD_FAILURE() << "no error for mode " << c.mode;
        } catch (const img::unsupported& error) {
            EXPECT_EQ(error.mode(), c.mode);
            EXPECT_EQ(error.value(), c.value);
            EXPECT_EQ(std::string(error.what()), "unsupported image file format mode: " + path);
        }
    }
    auto bytes = bmp_file({ 40, 8, 1, 1, 0, 0, black_white, std::vector<std::uint8_t>(4) });
    bytes[0] = 'X';
    img::image<img::bit> mask;
    EXPECT_EQ(what_of(folder.write("x.bmp", bytes), mask),
        "unsupported image file format mode: " + folder.file("x.bmp"));
}

TEST(BmpReader, MissingShortAndAbsurdFilesGiveTheReadError)
{
    test_support::scratch_folder folder;
    const std::string missing = folder.file("none.bmp");
    img::image<img::bit> mask;
    EXPECT_EQ(what_of(missing, mask), "could not open BMP image for reading or read error: " + missing);

    auto whole = bmp_file({ 40, 10, 3, 1, 0, 0, black_white, diagonal_rows(false) });
    std::vector<std::vector<std::uint8_t>> bad = {
        { whole.begin(), whole.begin() + 30 },
        { whole.begin(), whole.end() - 1 },
        bmp_file({ 40, 10, INT_MIN, 1, 0, 0, black_white, diagonal_rows(false) }),
        bmp_file({ 40, INT_MAX, INT_MAX, 1, 0, 0, black_white, diagonal_rows(false) }),
        bmp_file({ 40, 1 << 20, 1 << 20, 1, 0, 0, black_white, diagonal_rows(false) }),
        bmp_file({ 40, 17000, 17000, 1, 0, 0, black_white, diagonal_rows(false) }),
    };
    // An information header that claims to run far past the file's end.
    bad.push_back(whole);
    test_support::put(bad.back(), 14, 0x7FFFFFF0, 4);
    // Sizes past the limits say only that, with the size and the limit.
    const std::string read_error = "could not open BMP image for reading or read error: ";
    const std::vector<std::string> starts = { read_error, read_error,
        "the image is too large: 10 x 2147483648 pixels, more than 1048576 pixels a side: ",
        "the image is too large: 2147483647 x 2147483647 pixels, more than 1048576 pixels a side: ",
        "the image is too large: 1048576 x 1048576 pixels, more than the limit of 268435456 pixels: ",
        "the image is too large: 17000 x 17000 pixels, more than the limit of 268435456 pixels: ",
        read_error };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const auto path = folder.write("bad.bmp", bad[i]);
        EXPECT_EQ(what_of(path, mask), starts[i] + path) << i;
    }
}

TEST(BmpWriter, GreyImageGetsTheGreyTable)
{
    img::image<unsigned char> grey(3, 2, 4);
    grey.top_down = false;
    grey.update_rows();
    std::ostringstream out;
    img::bmp_writer writer(out);
    writer.bit_count = 8;
    writer.write(grey);
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 54u + 1024u + 8u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8), 1078);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]) | (static_cast<unsigned char>(bytes[3]) << 8), 1086);
    EXPECT_EQ(static_cast<unsigned char>(bytes[54 + 4 * 200]), 200);
    EXPECT_EQ(bytes[28], 8);
}

TEST(BmpWriter, MaskWrittenWithItsTableReadsBack)
{
    test_support::scratch_folder folder;
    img::image<img::bit> mask(21, 5, 4);
    mask.top_down = false;
    mask.update_rows();
    mask.fill(false);
    for (unsigned i = 0; i < 5; ++i)
        mask.at(i * 4, i) = true;
    const std::string path = folder.file("mask.bmp");
    const auto size
        = xtd::write_binary_file(path, mask, [](std::ostream& out, const img::image<img::bit>& m) {
              img::bmp_writer writer(out);
              writer.bit_count = 1;
              writer.pixel_offset += 8;
              writer.write_headers(m.width, m.height, m.size);
              out.write(reinterpret_cast<const char*>(black_white.data()), 8);
              writer.write_buffer(m.data, m.size);
          });
    EXPECT_EQ(size, 62u + mask.size);
    img::image<img::bit> back;
    img::read_bmp_file(path, back);
    ASSERT_EQ(back.width, 21u);
    for (unsigned y = 0; y < 5; ++y)
        for (unsigned x = 0; x < 21; ++x)
            EXPECT_EQ(bool(back.at(x, y)), x == y * 4);
}
