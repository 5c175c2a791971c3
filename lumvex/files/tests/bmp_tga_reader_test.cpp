#include "lumvex/files/bmp_tga_reader.h"

#include "foundation/files/image_error.h"
#include "foundation/files/tests/bmp_bytes.h"

#include <gtest/gtest.h>

using bgra = img::BGRA<unsigned char>;
using test_support::bmp_file;
using test_support::bmp_layout;

namespace {

struct tga_layout {
    std::uint8_t type = 2;
    std::uint8_t map_type = 0;
    std::uint16_t map_length = 0;
    std::uint8_t map_entry = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t depth = 24;
    std::uint8_t descriptor = 0;
    std::vector<std::uint8_t> map;
    std::vector<std::uint8_t> data;
    // The colour-map index of the first stored map entry.
    std::uint16_t map_first = 0;
};

std::vector<std::uint8_t> tga_file(const tga_layout& t)
{
    std::vector<std::uint8_t> out(18, 0);
    out[0] = 3; // an ID of three bytes, skipped
    out[1] = t.map_type;
    out[2] = t.type;
    test_support::put(out, 3, t.map_first, 2);
    test_support::put(out, 5, t.map_length, 2);
    out[7] = t.map_entry;
    test_support::put(out, 12, t.width, 2);
    test_support::put(out, 14, t.height, 2);
    out[16] = t.depth;
    out[17] = t.descriptor;
    for (char c : { 'i', 'd', '!' })
        out.push_back(static_cast<std::uint8_t>(c));
    out.insert(out.end(), t.map.begin(), t.map.end());
    out.insert(out.end(), t.data.begin(), t.data.end());
    return out;
}

// Colour of pixel (x, y) of the 3 x 2 test picture.
bgra colour(unsigned x, unsigned y, unsigned char alpha = 0)
{
    return { static_cast<unsigned char>(10 * x + 1), static_cast<unsigned char>(20 * y + 2),
        static_cast<unsigned char>(x + y + 3), alpha };
}

// The 3 x 2 picture as stored rows of `bytes` per pixel (3 or 4), in file order.
std::vector<std::uint8_t> stored_rows(bool top_down, unsigned bytes, unsigned padding)
{
    std::vector<std::uint8_t> out;
    for (unsigned i = 0; i < 2; ++i) {
        const unsigned y = top_down ? i : 1 - i;
        for (unsigned x = 0; x < 3; ++x) {
            const bgra c = colour(x, y, 77);
            out.insert(out.end(), { c.b, c.g, c.r });
            if (bytes == 4)
                out.push_back(c.a);
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}

void expect_picture(const img::image<bgra>& image, unsigned char alpha)
{
    ASSERT_EQ(image.width, 3u);
    ASSERT_EQ(image.height, 2u);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 3; ++x)
            EXPECT_EQ(image.at(x, y).get(), colour(x, y, alpha)) << x << "," << y;
}

// A binary PPM ("P6") or PGM ("P5") of w x h pixels, each of the bytes of
// `pixel`.
std::vector<std::uint8_t> netpbm_file(
    const std::string& magic, unsigned w, unsigned h, const std::vector<std::uint8_t>& pixel)
{
    const std::string head = magic + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.reserve(out.size() + std::size_t(w) * h * pixel.size());
    for (std::size_t i = 0; i < std::size_t(w) * h; ++i)
        out.insert(out.end(), pixel.begin(), pixel.end());
    return out;
}

// Whether the reader probes `path` as a TGA of that size and depth.
void expect_tga_info(const std::string& path, unsigned width, unsigned height, unsigned depth)
{
    img::image_info info;
    ASSERT_TRUE(img::bmp_tga_reader().info(path, &info)) << path;
    EXPECT_EQ(info.format, "TGA") << path;
    EXPECT_EQ(info.width, width) << path;
    EXPECT_EQ(info.height, height) << path;
    EXPECT_EQ(info.bits_per_pixel, depth) << path;
    EXPECT_TRUE(img::bmp_tga_reader().info(path, "tga", nullptr)) << path;
    EXPECT_EQ(img::bmp_tga_reader().size_refusal(path), "") << path;
}

// Taken by nothing of the default list, told as of an unknown format and
// never refused for a size.
void expect_unknown_format(const std::string& path)
{
    const img::bmp_tga_reader reader;
    EXPECT_FALSE(reader.info(path, nullptr)) << path;
    EXPECT_FALSE(reader.info(path, "TGA", nullptr)) << path;
    EXPECT_EQ(reader.size_refusal(path), "") << path;
    EXPECT_FALSE(img::default_readers().info(path, nullptr)) << path;
    EXPECT_EQ(img::unreadable_image_text(img::default_readers(), path, "shown"),
        "could not read file or unknown image format: shown")
        << path;
    img::image<bgra> out;
    try {
        img::default_readers().read(path, out);
        ADD_FAILURE() << "read " << path;
    } catch (const img::too_large& error) {
        ADD_FAILURE() << error.what();
    } catch (const img::io_error& error) {
        EXPECT_EQ(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }
}

std::string what_of(const std::string& path)
{
    img::image<bgra> out;
    try {
        img::bmp_tga_reader().read(path, out);
    } catch (const img::io_error& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(BmpTgaReader, TrueColourBmpKeepsItsRowOrder)
{
    test_support::scratch_folder folder;
    for (bool top_down : { false, true }) {
        img::image<bgra> out;
        const std::int32_t height = top_down ? -2 : 2;
        img::bmp_tga_reader().read(
            folder.write("a.bmp", bmp_file({ 40, 3, height, 24, 0, 0, {}, stored_rows(top_down, 3, 3) })),
            out);
        EXPECT_EQ(out.top_down, top_down);
        expect_picture(out, 0);
        img::bmp_tga_reader().read(
            folder.write("b.bmp", bmp_file({ 40, 3, height, 32, 0, 0, {}, stored_rows(top_down, 4, 0) })),
            out);
        expect_picture(out, 77);
    }
}

TEST(BmpTgaReader, PalettedBmpLooksColoursUp)
{
    test_support::scratch_folder folder;
    std::vector<std::uint8_t> table(16 * 4);
    for (unsigned i = 0; i < 16; ++i)
        table[i * 4] = static_cast<std::uint8_t>(i * 16), table[i * 4 + 3] = 9;
    // Bottom-up: the second stored row is the top one.
    std::vector<std::uint8_t> rows = { 1, 2, 3, 0, 4, 5, 6, 0 };
    img::image<bgra> out;
    img::bmp_tga_reader().read(folder.write("p.bmp", bmp_file({ 124, 3, 2, 8, 0, 16, table, rows })), out);
    EXPECT_EQ(out.at(0, 0).get(), (bgra { 64, 0, 0, 9 }));
    EXPECT_EQ(out.at(2, 1).get(), (bgra { 48, 0, 0, 9 }));

    rows[1] = 20;
    const auto path = folder.write("c.bmp", bmp_file({ 40, 3, 2, 8, 0, 16, table, rows }));
    try {
        img::bmp_tga_reader().read(path, out);
        FAIL();
    } catch (const img::corrupt& error) {
        EXPECT_EQ(error.mode(), 1);
        EXPECT_EQ(error.value(), 20);
        EXPECT_EQ(std::string(error.what()), "corrupt image file format: " + path);
    }
    // Colours used of 0 means 256 entries; absurd counts read no more than 256.
    std::vector<std::uint8_t> full(1024, 5);
    for (std::uint32_t used : { 0u, 0xFFFFFFFFu }) {
        img::bmp_tga_reader().read(
            folder.write("f.bmp", bmp_file({ 40, 3, 2, 8, 0, used, full, rows })), out);
        EXPECT_EQ(out.at(1, 0).get(), (bgra { 5, 5, 5, 5 }));
    }
}

TEST(BmpTgaReader, OneBitBmpTakesBothPaletteEntries)
{
    test_support::scratch_folder folder;
    const std::vector<std::uint8_t> table = { 1, 2, 3, 4, 200, 201, 202, 0 };
    img::image<bgra> out;
    img::bmp_tga_reader().read(
        folder.write("m.bmp", bmp_file({ 108, 3, 1, 1, 0, 0, table, { 0xA0, 0, 0, 0 } })), out);
    EXPECT_EQ(out.at(0, 0).get(), (bgra { 200, 201, 202, 0 }));
    EXPECT_EQ(out.at(1, 0).get(), (bgra { 1, 2, 3, 4 }));
    EXPECT_EQ(out.at(2, 0).get(), (bgra { 200, 201, 202, 0 }));
}

TEST(BmpTgaReader, BadBmpsGiveTheirErrors)
{
    test_support::scratch_folder folder;
    EXPECT_EQ(
        what_of(folder.write("d.bmp", bmp_file({ 40, 3, 2, 16, 0, 0, {}, std::vector<std::uint8_t>(16) }))),
        "unsupported image file format mode: " + folder.file("d.bmp"));
    const auto whole = bmp_file({ 40, 3, 2, 24, 0, 0, {}, stored_rows(false, 3, 3) });
    const auto path = folder.write("t.bmp", { whole.begin(), whole.end() - 1 });
    EXPECT_EQ(what_of(path), "could not open BMP image for reading or read error: " + path);
    EXPECT_EQ(what_of(folder.write(
                  "h.bmp", bmp_file({ 40, 3, INT32_MIN, 24, 0, 0, {}, stored_rows(false, 3, 3) }))),
        "the image is too large: 3 x 2147483648 pixels, more than 1048576 pixels a side: "
            + folder.file("h.bmp"));
    EXPECT_EQ(what_of(folder.file("missing.bmp")),
        "could not open BMP image for reading or read error: " + folder.file("missing.bmp"));
}

TEST(BmpTgaReader, UncompressedTgaFollowsDescriptorBitFive)
{
    test_support::scratch_folder folder;
    for (bool top_down : { false, true }) {
        img::image<bgra> out;
        const std::uint8_t descriptor = top_down ? 0x20 : 0x10;
        img::bmp_tga_reader().read(
            folder.write(
                "a.tga", tga_file({ 2, 0, 0, 0, 3, 2, 24, descriptor, {}, stored_rows(top_down, 3, 0) })),
            out);
        EXPECT_EQ(out.top_down, top_down);
        expect_picture(out, 0);
        expect_tga_info(folder.file("a.tga"), 3, 2, 24);
        img::bmp_tga_reader().read(
            folder.write(
                "b.tga", tga_file({ 2, 0, 0, 0, 3, 2, 32, descriptor, {}, stored_rows(top_down, 4, 0) })),
            out);
        expect_picture(out, 77);
        expect_tga_info(folder.file("b.tga"), 3, 2, 32);
    }
}

TEST(BmpTgaReader, RunLengthTgaRunsAcrossRowsAndIsCutAtTheEnd)
{
    test_support::scratch_folder folder;
    // 3 x 2, bottom-up: a run of 4 blue pixels spans the first stored row,
    // then a literal of 1 and a run of 9 that goes past the last pixel.
    const std::vector<std::uint8_t> packets = { 0x83, 255, 0, 0, 0x00, 0, 255, 0, 0x88, 0, 0, 255 };
    img::image<bgra> out;
    const auto path = folder.write("r.TGA", tga_file({ 10, 0, 0, 0, 3, 2, 24, 0, {}, packets }));
    img::bmp_tga_reader().read(path, out);
    EXPECT_TRUE(out.top_down);
    // File row 0 is the bottom row.
    EXPECT_EQ(out.at(0, 1).get(), (bgra { 255, 0, 0, 0 }));
    EXPECT_EQ(out.at(2, 1).get(), (bgra { 255, 0, 0, 0 }));
    EXPECT_EQ(out.at(0, 0).get(), (bgra { 255, 0, 0, 0 }));
    EXPECT_EQ(out.at(1, 0).get(), (bgra { 0, 255, 0, 0 }));
    EXPECT_EQ(out.at(2, 0).get(), (bgra { 0, 0, 255, 0 }));
    img::image_info info;
    ASSERT_TRUE(img::bmp_tga_reader().info(path, &info));
    EXPECT_EQ(info.format, "TGA");
    EXPECT_EQ(info.fourth, 0u);
    // A run-length file whose packets stop early is a read error.
    const auto short_path
        = folder.write("s.tga", tga_file({ 10, 0, 0, 0, 3, 2, 24, 0, {}, { 0x81, 1, 2, 3 } }));
    EXPECT_EQ(what_of(short_path), "could not open TGA image for reading or read error: " + short_path);
}

TEST(BmpTgaReader, MappedAndSixteenBitTgaDecode)
{
    test_support::scratch_folder folder;
    img::image<bgra> out;
    // A map of two 24-bit entries, 8-bit indices.
    img::bmp_tga_reader().read(
        folder.write("m.tga", tga_file({ 1, 1, 2, 24, 2, 1, 8, 0x20, { 1, 2, 3, 4, 5, 6 }, { 1, 0 } })), out);
    EXPECT_EQ(out.at(0, 0).get(), (bgra { 4, 5, 6, 0 }));
    EXPECT_EQ(out.at(1, 0).get(), (bgra { 1, 2, 3, 0 }));
    expect_tga_info(folder.file("m.tga"), 2, 1, 8);
    const auto bad
        = folder.write("i.tga", tga_file({ 1, 1, 2, 24, 2, 1, 8, 0x20, { 1, 2, 3, 4, 5, 6 }, { 2, 0 } }));
    EXPECT_EQ(what_of(bad), "corrupt image file format: " + bad);
    // 16-bit: red 31, green 0, blue 31.
    img::bmp_tga_reader().read(
        folder.write("s.tga", tga_file({ 2, 0, 0, 0, 1, 1, 16, 0, {}, { 0x1F, 0x7C } })), out);
    EXPECT_EQ(out.at(0, 0).get(), (bgra { 255, 0, 255, 0 }));
    expect_tga_info(folder.file("s.tga"), 1, 1, 16);
    // 15-bit, run-length: a run of two green pixels.
    img::bmp_tga_reader().read(
        folder.write("g.tga", tga_file({ 10, 0, 0, 0, 2, 1, 15, 0x20, {}, { 0x81, 0xE0, 0x03 } })), out);
    EXPECT_EQ(out.at(1, 0).get(), (bgra { 0, 255, 0, 0 }));
    expect_tga_info(folder.file("g.tga"), 2, 1, 15);
    // 16-bit indices into a map of 16-bit entries.
    img::bmp_tga_reader().read(
        folder.write("x.tga", tga_file({ 1, 1, 1, 16, 1, 1, 16, 0, { 0x1F, 0x00 }, { 0, 0 } })), out);
    EXPECT_EQ(out.at(0, 0).get(), (bgra { 255, 0, 0, 0 }));
    expect_tga_info(folder.file("x.tga"), 1, 1, 16);
}

TEST(BmpTgaReader, MappedTgaIndicesCountFromTheMapsFirstIndex)
{
    test_support::scratch_folder folder;
    img::image<bgra> out;
    // Two 24-bit entries standing for indices 200 and 201.
    tga_layout layout { 1, 1, 2, 24, 3, 1, 8, 0x20, { 1, 2, 3, 4, 5, 6 }, { 201, 200, 201 }, 200 };
    img::bmp_tga_reader().read(folder.write("f.tga", tga_file(layout)), out);
    EXPECT_EQ(out.at(0, 0).get(), (bgra { 4, 5, 6, 0 }));
    EXPECT_EQ(out.at(1, 0).get(), (bgra { 1, 2, 3, 0 }));
    // 16-bit indices, run-length encoded: a run of three 0x0101 (257 = first).
    layout = { 9, 1, 1, 24, 3, 1, 16, 0x20, { 7, 8, 9 }, { 0x82, 0x01, 0x01 }, 257 };
    img::bmp_tga_reader().read(folder.write("r.tga", tga_file(layout)), out);
    EXPECT_EQ(out.at(2, 0).get(), (bgra { 7, 8, 9, 0 }));
    expect_tga_info(folder.file("r.tga"), 3, 1, 16);
    // Indices below the first or past the last entry are outside the map.
    for (std::uint8_t index : { 199, 202 }) {
        layout = { 1, 1, 2, 24, 1, 1, 8, 0x20, { 1, 2, 3, 4, 5, 6 }, { index }, 200 };
        const auto bad = folder.write("b.tga", tga_file(layout));
        try {
            img::bmp_tga_reader().read(bad, out);
            ADD_FAILURE() << "no error for index " << int(index);
        } catch (const img::corrupt& error) {
            EXPECT_EQ(error.mode(), 1);
            EXPECT_EQ(error.value(), index);
        }
    }
}

TEST(BmpTgaReader, BmpInfoRefusesTheSizesReadRefuses)
{
    test_support::scratch_folder folder;
    img::bmp_tga_reader reader;
    const std::vector<std::uint8_t> some(64);
    const struct {
        const char* name;
        std::int32_t width;
        std::int32_t height;
    } cases[]
        = { { "zero_width.bmp", 0, 2 }, { "zero_height.bmp", 3, 0 }, { "million.bmp", 1 << 20, 1 << 20 },
              { "int_min.bmp", 3, INT32_MIN }, { "too_long.bmp", 1 << 15, 1 << 15 } };
    for (const auto& c : cases) {
        const auto path = folder.write(c.name, bmp_file({ 40, c.width, c.height, 24, 0, 0, {}, some }));
        EXPECT_FALSE(reader.info(path, nullptr)) << c.name;
        EXPECT_FALSE(reader.info(path, "BMP", nullptr)) << c.name;
        EXPECT_NE(what_of(path), "no error") << c.name;
    }
    // A file one byte short of its rows is refused by both as well.
    const auto whole = bmp_file({ 40, 3, 2, 24, 0, 0, {}, stored_rows(false, 3, 3) });
    const auto path = folder.write("short.bmp", { whole.begin(), whole.end() - 1 });
    EXPECT_FALSE(reader.info(path, nullptr));
    EXPECT_TRUE(reader.info(folder.write("whole.bmp", whole), nullptr));
}

TEST(BmpTgaReader, TgaVariantsAreRefusedWithTheirModes)
{
    test_support::scratch_folder folder;
    struct variant {
        tga_layout layout;
        int mode;
    };
    const variant cases[] = { { { 0, 0, 0, 0, 1, 1, 24, 0, {}, { 0, 0, 0 } }, 0 },
        { { 12, 0, 0, 0, 1, 1, 24, 0, {}, { 0, 0, 0 } }, 0 },
        { { 2, 0, 0, 0, 1, 1, 24, 0x40, {}, { 0, 0, 0 } }, 3 },
        { { 3, 0, 0, 0, 1, 1, 8, 0, {}, { 0 } }, 6 } };
    for (const variant& c : cases) {
        img::image<bgra> out;
        try {
            img::bmp_tga_reader().read(folder.write("v.tga", tga_file(c.layout)), out);
            ADD_FAILURE() << "no error";
        } catch (const img::unsupported& error) {
            EXPECT_EQ(error.mode(), c.mode);
        }
    }
    img::image<bgra> out;
    EXPECT_THROW(
        img::bmp_tga_reader().read(
            folder.write("c.tga", tga_file({ 1, 1, 1, 24, 1, 1, 24, 0, { 1, 2, 3 }, { 0, 0, 0 } })), out),
        img::corrupt);
    // Sizes past the limits (and more than the file can hold) say only that.
    const std::string too_large = "the image is too large: 65535 x 65535 pixels, more than the limit of "
                                  "268435456 pixels: ";
    const auto big
        = folder.write("big.tga", tga_file({ 2, 0, 0, 0, 65535, 65535, 32, 0, {}, { 1, 2, 3, 4 } }));
    EXPECT_EQ(what_of(big), too_large + big);
    const auto rle
        = folder.write("rle.tga", tga_file({ 10, 0, 0, 0, 65535, 65535, 32, 0, {}, { 0xFF, 1, 2, 3, 4 } }));
    EXPECT_EQ(what_of(rle), too_large + rle);
    // Within the limits, but more than the file holds.
    const auto short_file
        = folder.write("short.tga", tga_file({ 2, 0, 0, 0, 4000, 4000, 32, 0, {}, { 1, 2, 3, 4 } }));
    EXPECT_EQ(what_of(short_file), "could not open TGA image for reading or read error: " + short_file);
}

TEST(BmpTgaReader, ProbingTellsFilesApartByContent)
{
    test_support::scratch_folder folder;
    img::bmp_tga_reader reader;
    const auto png = folder.write("photo.bmp", { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0 });
    EXPECT_FALSE(reader.info(png, nullptr));
    img::image_info info;
    const auto bmp = folder.write("A.Bmp", bmp_file({ 40, 3, -2, 24, 0, 0, {}, stored_rows(true, 3, 3) }));
    ASSERT_TRUE(reader.info(bmp, &info));
    EXPECT_EQ(info.path, bmp);
    EXPECT_EQ(info.format, "BMP");
    EXPECT_EQ(info.height, 2u);
    EXPECT_EQ(info.bits_per_pixel, 24u);
    EXPECT_EQ(info.fourth, 1u);
    EXPECT_FALSE(reader.info(bmp, "TGA", nullptr));
    // A TGA under another extension is tried as BMP first, then read as TGA.
    const auto tga
        = folder.write("frame.img", tga_file({ 2, 0, 0, 0, 3, 2, 24, 0x20, {}, stored_rows(true, 3, 0) }));
    ASSERT_TRUE(reader.info(tga, &info));
    EXPECT_EQ(info.format, "TGA");
    img::image<bgra> out;
    reader.read(tga, out);
    expect_picture(out, 0);
    try {
        reader.read(tga, "PNG", out);
        FAIL();
    } catch (const img::unsupported& error) {
        EXPECT_EQ(std::string(error.what()), "unsupported image file format mode: " + tga);
    }
    std::vector<std::string> extensions;
    reader.extensions(extensions);
    EXPECT_EQ(extensions, (std::vector<std::string> { "BMP", "TGA" }));
    EXPECT_EQ(reader.filter(), "*.BMP;*.TGA");
}

TEST(BmpTgaReader, NetpbmAndTextFilesAreNoTga)
{
    test_support::scratch_folder folder;
    // "P6\n" reads as ID length 80, colour-map type '6' and image type 10;
    // the digits that follow as map, width and height, the first pixels as
    // depth and descriptor: 13621 x 51210 claimed by the first file, a
    // plausible 12810 x 13621 by the second.
    expect_unknown_format(folder.write("picture.ppm", netpbm_file("P6", 320, 240, { 200, 8, 0 })));
    expect_unknown_format(folder.write("full_hd.ppm", netpbm_file("P6", 1920, 1080, { 40, 40, 40 })));
    expect_unknown_format(folder.write("small.ppm", netpbm_file("P6", 64, 48, { 40, 40, 40 })));
    expect_unknown_format(folder.write("grey.pgm", netpbm_file("P5", 320, 240, { 8 })));
    expect_unknown_format(folder.write("grey_hd.pgm", netpbm_file("P5", 1920, 1080, { 0 })));
    // Texts whose third byte is a tab or a line feed (image types 9 and 10),
    // plain and plain PPM ("P3"): past some size each claims a picture.
    for (const char* start :
        { "No\nalpha channel: 1\n", "P3\n1920 1080\n255\n", "P3\n320 240\n255\n", "id\tname\tsize\n" }) {
        for (std::size_t size : { 200, 70000, 4000000 }) {
            std::string text = start;
            while (text.size() < size)
                text += "40 40 40\n";
            expect_unknown_format(folder.write("notes.txt", { text.begin(), text.end() }));
        }
    }
    // Read without the probe, such a file is still neither BMP nor TGA.
    const std::string ppm = folder.file("full_hd.ppm");
    EXPECT_EQ(what_of(ppm), "unsupported image file format mode: " + ppm);
    EXPECT_EQ(what_of(folder.file("picture.ppm")),
        "unsupported image file format mode: " + folder.file("picture.ppm"));
}

TEST(BmpTgaReader, TgaHeadersOutsideTheFormatsValuesAreProbedAsNoTga)
{
    test_support::scratch_folder folder;
    const std::vector<std::uint8_t> map = { 1, 2, 3, 4, 5, 6 };
    const std::vector<std::uint8_t> zeros(64);
    const tga_layout cases[] = {
        { 1, 2, 2, 24, 3, 2, 8, 0, map, zeros }, // colour-map type 2
        { 5, 0, 0, 0, 3, 2, 24, 0, {}, zeros }, // image type 5
        { 2, 1, 2, 24, 3, 2, 8, 0, map, zeros }, // a map for true colour
        { 3, 1, 2, 24, 3, 2, 8, 0, map, zeros }, // a map for grey
        { 1, 1, 2, 8, 3, 2, 8, 0, { 1, 2 }, zeros }, // 8-bit map entries
        { 1, 1, 2, 24, 3, 2, 10, 0, map, zeros }, // pixel depth 10
        { 1, 0, 0, 0, 3, 2, 24, 0, {}, zeros }, // colour-mapped without a map
        { 9, 0, 0, 0, 3, 2, 32, 0, {}, zeros },
    };
    int n = 0;
    for (tga_layout layout : cases) {
        const std::string name = "case" + std::to_string(n++);
        const auto other = folder.write(name + ".dat", tga_file(layout));
        expect_unknown_format(other);
        EXPECT_EQ(what_of(other).rfind("unsupported image file format mode: ", 0), 0u) << what_of(other);
        // Named .tga, or read as "TGA", it reads as it always did.
        img::image<bgra> out;
        img::bmp_tga_reader().read(folder.write(name + ".tga", tga_file(layout)), out);
        EXPECT_EQ(out.width, 3u) << name;
        img::bmp_tga_reader().read(other, "TGA", out);
        EXPECT_EQ(out.height, 2u) << name;
        // Claiming a size past the limits, it is still no TGA to the probe.
        layout.width = layout.height = 65535;
        expect_unknown_format(folder.write(name + "_huge.dat", tga_file(layout)));
        expect_unknown_format(folder.write(name + "_huge.tga", tga_file(layout)));
    }
    // A real TGA past the limit is refused for its size, named or not.
    const auto big = tga_file({ 10, 0, 0, 0, 65535, 65535, 24, 0, {}, { 0xFF, 1, 2, 3 } });
    for (const char* name : { "big.tga", "big.dat" }) {
        const auto path = folder.write(name, big);
        EXPECT_EQ(img::unreadable_image_text(img::default_readers(), path, name),
            std::string("the image is too large: 65535 x 65535 pixels, more than the limit of 268435456 "
                        "pixels: ")
                + name);
    }
}
