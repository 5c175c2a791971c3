#include "foundation/files/gdiplus_codec.h"

#include "foundation/files/byte_stream.h"
#include "foundation/files/image_error.h"
#include "foundation/files/size_check.h"
#include "foundation/files/tests/bmp_bytes.h"
#include "foundation/files/tests/image_headers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

img::image<img::bit> ring_mask(unsigned w, unsigned h)
{
    img::image<img::bit> mask(w, h, 4);
    mask.fill(false);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const int dx = int(x) - int(w / 2), dy = int(y) - int(h / 2);
            mask.at(x, y) = dx * dx + dy * dy < int(w * w / 9) && dx * dx + dy * dy > int(w * w / 30);
        }
    return mask;
}

img::image<unsigned char> levels(unsigned w, unsigned h)
{
    img::image<unsigned char> grey(w, h, 1);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            grey.at(x, y) = static_cast<unsigned char>(x * 11 + y * 3);
    return grey;
}

std::string as_text(const std::vector<std::uint8_t>& bytes)
{
    return { bytes.begin(), bytes.end() };
}

std::string what_of_read(const std::string& data)
{
    std::istringstream in(data);
    img::image<img::BGRA<unsigned char>> out;
    try {
        img::gdiplus_read_bgra(in, out);
    } catch (const img::io_error& error) {
        return error.what();
    }
    return "no error";
}

std::string png_header(std::uint32_t width, std::uint32_t height)
{
    std::ostringstream out;
    img::gdiplus_write_grey(out, levels(4, 4), img::image_format::png);
    std::string data = out.str();
    // IHDR's width and height follow the signature, the length and the type.
    for (int i = 0; i < 4; ++i) {
        data[16 + i] = static_cast<char>(width >> (24 - 8 * i));
        data[20 + i] = static_cast<char>(height >> (24 - 8 * i));
    }
    return data;
}

} // namespace

TEST(GdiplusCodec, MaskSurvivesPngAsGreyLevels)
{
    const auto mask = ring_mask(50, 30);
    std::stringstream data;
    img::gdiplus_write_bit(data, mask, img::image_format::png);
    img::image<unsigned char> grey;
    img::gdiplus_read_grey(data, grey);
    ASSERT_EQ(grey.width, 50u);
    ASSERT_EQ(grey.height, 30u);
    EXPECT_EQ(grey.alignment, 4u);
    for (unsigned y = 0; y < 30; ++y)
        for (unsigned x = 0; x < 50; ++x)
            ASSERT_EQ(grey.at(x, y).get(), mask.at(x, y) ? 255 : 0);
}

TEST(GdiplusCodec, GreyImagesSurviveEveryLosslessFormatInBothRowOrders)
{
    const auto source = levels(13, 9);
    for (auto format :
        { img::image_format::bmp, img::image_format::gif, img::image_format::tiff, img::image_format::png }) {
        for (bool top_down : { true, false }) {
            std::stringstream data;
            img::gdiplus_write_grey(data, source, format);
            img::image<unsigned char> back;
            back.top_down = top_down;
            img::gdiplus_read_grey(data, back);
            EXPECT_EQ(back.top_down, top_down);
            for (unsigned y = 0; y < 9; ++y)
                for (unsigned x = 0; x < 13; ++x)
                    ASSERT_EQ(back.at(x, y).get(), source.at(x, y).get()) << static_cast<int>(format);
        }
    }
}

TEST(GdiplusCodec, ColourReadTellsAlphaAndFillsOpaqueAlpha)
{
    img::image<img::BGRA<unsigned char>> colour(6, 4, 4);
    colour.fill({ 10, 20, 30, 40 });
    for (bool alpha : { true, false }) {
        std::stringstream data;
        img::gdiplus_write_bgra(data, colour, img::image_format::png, alpha);
        img::image<img::BGRA<unsigned char>> back;
        bool has_alpha = !alpha;
        img::gdiplus_read_bgra(data, back, &has_alpha);
        EXPECT_EQ(has_alpha, alpha);
        const img::BGRA<unsigned char> expected { 10, 20, 30, static_cast<unsigned char>(alpha ? 40 : 255) };
        EXPECT_EQ(back.at(5, 3).get(), expected);
    }
}

TEST(GdiplusCodec, EmptyOrForeignDataFailsToRead)
{
    EXPECT_EQ(what_of_read(""), "Gdiplus::Bitmap reading failure: ");
    EXPECT_EQ(what_of_read("not an image at all"), "Gdiplus::Bitmap reading failure: ");
}

TEST(GdiplusCodec, AbsurdSizesFailBeforeAnythingIsAllocated)
{
    EXPECT_EQ(what_of_read(png_header(1000000, 1000000)), "Gdiplus::Bitmap reading failure: ");
    // Within the limits, but more than a file this short can hold.
    EXPECT_EQ(what_of_read(png_header(16000, 16000)), "Gdiplus::Bitmap reading failure: ");
    test_support::bmp_layout huge { 40, 1 << 15, 1 << 15, 24, 0, 0, {}, std::vector<std::uint8_t>(64) };
    const auto bmp = test_support::bmp_file(huge);
    EXPECT_EQ(what_of_read({ bmp.begin(), bmp.end() }),
        "the image is too large: 32768 x 32768 pixels, more than the limit of 268435456 pixels: ");
}

TEST(GdiplusCodec, DamagedPixelsFailAsLockBits)
{
    std::stringstream data;
    img::gdiplus_write_grey(data, levels(64, 64), img::image_format::png);
    std::string bytes = data.str();
    bytes.resize(bytes.size() - 40);
    EXPECT_EQ(what_of_read(bytes), "Gdiplus::Bitmap::LockBits failure: ");
}

TEST(GdiplusCodec, ImagesWithoutPixelsCannotBeSaved)
{
    std::ostringstream out;
    try {
        img::gdiplus_write_bit(out, img::image<img::bit>(), img::image_format::png);
        FAIL();
    } catch (const img::io_error& error) {
        EXPECT_EQ(std::string(error.what()), "Gdiplus::Bitmap::Save failure: ");
    }
}

TEST(SizeCheck, SizesAreCheckedAgainstLimitsAndLength)
{
    using img::check_image_size;
    const img::stored_pixels one_bit { 1, 4, 0 };
    EXPECT_EQ(check_image_size(10, 3, one_bit, 12, "m"), 12u);
    EXPECT_THROW(check_image_size(10, 3, one_bit, 11, "m"), img::io_error);
    EXPECT_THROW(check_image_size(0, 3, one_bit, 100, "m"), img::io_error);
    EXPECT_THROW(check_image_size(std::uint64_t(1) << 31, 1, one_bit, ~0ull, "m"), img::io_error);
    EXPECT_THROW(check_image_size(1 << 15, 1 << 15, one_bit, ~0ull, "m"), img::io_error);
    EXPECT_THROW(check_image_size(~0ull, ~0ull, one_bit, ~0ull, "m"), img::io_error);
    const img::stored_pixels packed { 0, 1, 100 };
    EXPECT_EQ(check_image_size(100, 100, packed, 100, "m"), 0u);
    EXPECT_THROW(check_image_size(101, 100, packed, 100, "m"), img::io_error);
    EXPECT_NO_THROW(check_image_size(1000, 1000, { 0, 1, 0 }, 1, "m"));
    try {
        check_image_size(0, 0, one_bit, 0, "too large", "f.bmp");
    } catch (const img::io_error& error) {
        EXPECT_EQ(std::string(error.what()), "too large: f.bmp");
    }
}

// A size past a limit says which limit, so the user learns why the file is
// refused; an image too short for its size is no size fault.
TEST(SizeCheck, SizesPastTheLimitsAreTooLargeNamingTheLimit)
{
    const auto reason = [](std::uint64_t w, std::uint64_t h, img::stored_pixels storage) {
        try {
            img::check_image_size(w, h, storage, ~0ull, "m", "f.png");
        } catch (const img::too_large& error) {
            // Only the size and the limit, whatever the reader's own message.
            EXPECT_EQ(std::string(error.what()), error.message() + ": f.png");
            return error.message();
        } catch (const img::io_error&) {
            return std::string("not too large");
        }
        return std::string("accepted");
    };
    const img::stored_pixels compressed { 0, 1, 0 };
    EXPECT_EQ(reason(std::uint64_t(1) << 21, 1, compressed),
        "the image is too large: 2097152 x 1 pixels, more than 1048576 pixels a side");
    EXPECT_EQ(reason(17000, 17000, compressed),
        "the image is too large: 17000 x 17000 pixels, more than the limit of 268435456 pixels");
    img::stored_pixels working = compressed;
    working.working_bytes = std::uint64_t(1) << 29;
    EXPECT_EQ(reason(15000, 15000, working),
        "the image is too large: 15000 x 15000 pixels, more memory to read than the limit of 1024 MiB");
    EXPECT_EQ(reason(0, 5, compressed), "not too large");
    EXPECT_EQ(reason(16384, 16384, compressed), "accepted");
}

TEST(SizeCheck, TheTargetAndTheDecodersWorkingMemoryShareOneCap)
{
    using img::check_image_size;
    img::stored_pixels compressed { 0, 1, 0 };
    // A 16384 x 16384 colour image is the whole cap by itself.
    EXPECT_NO_THROW(check_image_size(16384, 16384, compressed, 100, "m"));
    compressed.working_bytes = 1;
    EXPECT_THROW(check_image_size(16384, 16384, compressed, 100, "m"), img::io_error);
    // Into grey rows, three quarters of the cap are left for the decoder.
    compressed.target_bytes_per_pixel = 1;
    compressed.working_bytes = img::max_file_decode_bytes / 4 * 3;
    EXPECT_NO_THROW(check_image_size(16384, 16384, compressed, 100, "m"));
    compressed.working_bytes = ~0ull;
    EXPECT_THROW(check_image_size(1, 1, compressed, 100, "m"), img::io_error);
    compressed.working_bytes = 0;
    compressed.target_bytes_per_pixel = ~0ull;
    EXPECT_THROW(check_image_size(1, 1, compressed, 100, "m"), img::io_error);
}

TEST(GdiplusCodec, TinyFilesWhoseDecoderNeedsMoreThanTheCapAreRefusedUnread)
{
    const std::string corpus = TAVELO_SOURCE_DIR "/foundation/files/tests/corpus/gdiplus_decode/";
    // Progressive data is decoded through coefficients of the whole image
    // (1.5 times a colour image); a TIFF strip buffer comes on top of the
    // image.
    const struct {
        const char* file;
        const char* size;
    } cases[] = { { "progressive_arithmetic_12000.jpg", "12000 x 12000" },
        { "progressive_arithmetic_16384.jpg", "16384 x 16384" },
        { "one_strip_lzw_16000.tif", "16000 x 16000" }, { "shared_strips_16384.tif", "16384 x 16384" } };
    for (const auto& c : cases) {
        std::ifstream in(corpus + c.file, std::ios::binary);
        ASSERT_TRUE(in) << c.file;
        img::image<img::BGRA<unsigned char>> out;
        try {
            img::gdiplus_read_bgra(in, out);
            ADD_FAILURE() << c.file << " was read";
        } catch (const img::too_large& error) {
            EXPECT_EQ(std::string(error.what()),
                std::string("the image is too large: ") + c.size
                    + " pixels, more memory to read than the limit of 1024 MiB: ")
                << c.file;
        } catch (const img::io_error& error) {
            ADD_FAILURE() << c.file << ": " << error.what();
        }
        EXPECT_EQ(out.data, nullptr) << c.file;
    }
}

// Every format's header claiming 17000 x 17000 pixels (more than 2^28): the
// error says that the image is too large, its size and the limit, and only
// that, also once the caller names the file; grey targets alike.
TEST(GdiplusCodec, HeadersPastTheSizeLimitSayOnlyThatTheImageIsTooLarge)
{
    const std::string too_large
        = "the image is too large: 17000 x 17000 pixels, more than the limit of 268435456 pixels: ";
    const struct {
        const char* format;
        std::string data;
    } cases[] = {
        { "BMP",
            as_text(
                test_support::bmp_file({ 40, 17000, 17000, 24, 0, 0, {}, std::vector<std::uint8_t>(64) })) },
        { "PNG", test_support::png_header(17000, 17000) },
        { "JPEG", test_support::jpeg_header(17000, 17000) },
        { "GIF", test_support::gif_header(17000, 17000) },
        { "TIFF", test_support::tiff_header(17000, 17000) },
    };
    for (const auto& c : cases) {
        std::istringstream in(c.data);
        img::image<img::BGRA<unsigned char>> out;
        try {
            img::gdiplus_read_bgra(in, out);
            ADD_FAILURE() << c.format << " was read";
        } catch (img::too_large& error) {
            EXPECT_EQ(std::string(error.what()), too_large) << c.format;
            error.set_subject("/a/huge.img");
            EXPECT_EQ(std::string(error.what()), too_large + "/a/huge.img") << c.format;
        } catch (const img::io_error& error) {
            ADD_FAILURE() << c.format << ": " << error.what();
        }
        EXPECT_EQ(out.data, nullptr) << c.format;
        std::istringstream grey_in(c.data);
        img::image<unsigned char> grey;
        try {
            img::gdiplus_read_grey(grey_in, grey);
            ADD_FAILURE() << c.format << " was read as grey";
        } catch (const img::io_error& error) {
            EXPECT_EQ(std::string(error.what()), too_large) << c.format;
        }
    }
    // The same headers within the limit are refused for their missing data.
    const std::string small[]
        = { test_support::png_header(16000, 16000), test_support::gif_header(16000, 16000) };
    for (const std::string& data : small) {
        std::istringstream in(data);
        img::image<img::BGRA<unsigned char>> out;
        EXPECT_THROW(
            {
                try {
                    img::gdiplus_read_bgra(in, out);
                } catch (const img::too_large&) {
                    ADD_FAILURE() << "refused for its size";
                    throw;
                }
            },
            img::io_error);
    }
}

TEST(GdiplusCodec, ErrorsCarryTheDecodersReasonForTheCallerWhoNamesTheFile)
{
    std::istringstream in("not an image at all");
    img::image<img::BGRA<unsigned char>> out;
    try {
        img::gdiplus_read_bgra(in, out);
        FAIL();
    } catch (img::io_error& error) {
        EXPECT_EQ(std::string(error.what()), "Gdiplus::Bitmap reading failure: ");
        EXPECT_EQ(error.reason(), "the data is not an image of a known format");
        error.set_subject("/a/b.png");
        EXPECT_EQ(std::string(error.what()),
            "Gdiplus::Bitmap reading failure: the data is not an image of a known format: /a/b.png");
    }
    EXPECT_EQ(std::string(img::io_error("m", "s").what()), "m: s");
}

TEST(WriteBinaryFile, FailedWriteLeavesTheOldFileAndNoLitter)
{
    test_support::scratch_folder folder;
    const std::string path = folder.write("keep.bin", { 1, 2, 3 });
    EXPECT_THROW(xtd::write_binary_file(path,
                     [](std::ostream& out) {
                         out.write("xy", 2);
                         throw std::runtime_error("encoder failed");
                     }),
        std::runtime_error);
    EXPECT_EQ(folder.read("keep.bin"), (std::vector<std::uint8_t> { 1, 2, 3 }));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    EXPECT_EQ(xtd::write_binary_file(path, [](std::ostream& out) { out.write("abcd", 4); }), 4u);
    EXPECT_EQ(folder.read("keep.bin"), (std::vector<std::uint8_t> { 'a', 'b', 'c', 'd' }));
    EXPECT_THROW(xtd::write_binary_file(folder.file("no/such/folder.bin"), [](std::ostream&) {}),
        std::ios_base::failure);
}
