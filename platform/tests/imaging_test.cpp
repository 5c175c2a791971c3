#include "platform/imaging/imaging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace imaging = platform::imaging;

namespace {

// A picture as contiguous BGRA rows with a recognisable pattern.
struct picture {
    std::uint32_t width;
    std::uint32_t height;
    std::vector<std::uint8_t> bytes;

    picture(std::uint32_t w, std::uint32_t h)
        : width(w)
        , height(h)
        , bytes(std::size_t(w) * h * 4)
    {
    }

    imaging::pixel_rows rows(
        imaging::pixel_format format = imaging::pixel_format::bgra32, bool bottom_up = false)
    {
        const std::ptrdiff_t stride
            = std::ptrdiff_t(width) * (format == imaging::pixel_format::grey8 ? 1 : 4);
        std::uint8_t* first = bottom_up ? bytes.data() + stride * (height - 1) : bytes.data();
        return { first, bottom_up ? -stride : stride, width, height, format };
    }

    imaging::const_pixel_rows view(imaging::pixel_format format)
    {
        const auto r = rows(format);
        return { r.first_row, r.stride, r.width, r.height, r.format };
    }

    std::uint8_t* at(std::uint32_t x, std::uint32_t y) { return &bytes[(std::size_t(y) * width + x) * 4]; }
};

picture gradient(std::uint32_t w, std::uint32_t h)
{
    picture p(w, h);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint8_t* px = p.at(x, y);
            px[0] = static_cast<std::uint8_t>(x * 255 / (w - 1));
            px[1] = static_cast<std::uint8_t>(y * 255 / (h - 1));
            px[2] = static_cast<std::uint8_t>((x + y) * 127 / (w + h));
            px[3] = static_cast<std::uint8_t>(255 - x * 2);
        }
    }
    return p;
}

// A mask of `w` x `h` pixels, 1-bit rows padded to bytes: a filled disc.
std::vector<std::uint8_t> disc_mask(std::uint32_t w, std::uint32_t h, std::size_t& stride)
{
    stride = (w + 7) / 8;
    std::vector<std::uint8_t> bits(stride * h, 0);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const int dx = int(x) - int(w / 2), dy = int(y) - int(h / 2);
            if (dx * dx + dy * dy < int(w * w / 9))
                bits[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        }
    }
    return bits;
}

picture decode(const std::string& data, bool* has_alpha = nullptr)
{
    std::istringstream in(data);
    imaging::decoder decoder(in);
    picture out(decoder.width(), decoder.height());
    if (has_alpha)
        *has_alpha = decoder.has_alpha();
    decoder.read(out.rows());
    return out;
}

std::string encode(const imaging::const_pixel_rows& rows, imaging::encoder format,
    imaging::png_compression compression = imaging::png_compression::standard)
{
    std::ostringstream out;
    imaging::save(out, rows, format, compression);
    return out.str();
}

std::string fast_png(const imaging::const_pixel_rows& rows)
{
    return encode(rows, imaging::encoder::png, imaging::png_compression::fast);
}

// A picture of random bytes, larger than one stored deflate block (64 KiB).
picture noise(std::uint32_t w, std::uint32_t h)
{
    picture p(w, h);
    unsigned state = 12345;
    for (std::uint8_t& byte : p.bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    return p;
}

const imaging::encoder all_encoders[] = { imaging::encoder::bmp, imaging::encoder::jpeg,
    imaging::encoder::gif, imaging::encoder::tiff, imaging::encoder::png };

// Largest difference of the colour channels of two pictures.
int colour_error(picture& a, picture& b)
{
    int worst = 0;
    for (std::uint32_t y = 0; y < a.height; ++y)
        for (std::uint32_t x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(a.at(x, y)[c]) - int(b.at(x, y)[c])));
    return worst;
}

} // namespace

TEST(Imaging, EncodersAreFoundByTheirMimeTypes)
{
    EXPECT_EQ(imaging::find_encoder("image/png"), imaging::encoder::png);
    EXPECT_EQ(imaging::find_encoder("image/jpeg"), imaging::encoder::jpeg);
    EXPECT_EQ(imaging::find_encoder("image/bmp"), imaging::encoder::bmp);
    EXPECT_EQ(imaging::find_encoder("image/gif"), imaging::encoder::gif);
    EXPECT_EQ(imaging::find_encoder("image/tiff"), imaging::encoder::tiff);
    EXPECT_FALSE(imaging::find_encoder("image/x-tga"));
    EXPECT_FALSE(imaging::find_encoder("IMAGE/PNG"));
}

TEST(Imaging, ColourPicturesSurviveEveryFormat)
{
    picture source = gradient(37, 23);
    for (imaging::encoder format : all_encoders) {
        SCOPED_TRACE(static_cast<int>(format));
        picture back = decode(encode(source.view(imaging::pixel_format::bgrx32), format));
        ASSERT_EQ(back.width, 37u);
        ASSERT_EQ(back.height, 23u);
        const int bound = format == imaging::encoder::jpeg ? 24 : format == imaging::encoder::gif ? 26 : 0;
        EXPECT_LE(colour_error(source, back), bound);
        EXPECT_EQ(back.at(5, 5)[3], 255);
    }
}

TEST(Imaging, AlphaSurvivesPngTiffAndBmp)
{
    picture source = gradient(16, 9);
    for (imaging::encoder format : { imaging::encoder::png, imaging::encoder::tiff, imaging::encoder::bmp }) {
        bool has_alpha = false;
        picture back = decode(encode(source.view(imaging::pixel_format::bgra32), format), &has_alpha);
        // The TIFF decoder multiplies alpha in and out again: off by one at
        // most. A 32-bit BMP keeps the bytes, but its pixels carry no alpha.
        for (std::size_t i = 0; i < back.bytes.size(); ++i) {
            const int expected = format == imaging::encoder::bmp && i % 4 == 3 ? 255 : source.bytes[i];
            ASSERT_LE(std::abs(back.bytes[i] - expected), format == imaging::encoder::tiff ? 1 : 0)
                << static_cast<int>(format) << " byte " << i;
        }
        EXPECT_EQ(has_alpha, format != imaging::encoder::bmp);
    }
    bool has_alpha = true;
    decode(encode(source.view(imaging::pixel_format::bgra32), imaging::encoder::jpeg), &has_alpha);
    EXPECT_FALSE(has_alpha);
}

TEST(Imaging, MasksAndGreyPicturesSurviveEveryLosslessFormat)
{
    std::size_t stride = 0;
    std::vector<std::uint8_t> bits = disc_mask(45, 31, stride);
    const imaging::const_pixel_rows mask { bits.data(), std::ptrdiff_t(stride), 45, 31,
        imaging::pixel_format::indexed1 };
    for (imaging::encoder format : all_encoders) {
        if (format == imaging::encoder::jpeg)
            continue;
        picture back = decode(encode(mask, format));
        for (std::uint32_t y = 0; y < 31; ++y)
            for (std::uint32_t x = 0; x < 45; ++x) {
                const bool set = bits[y * stride + x / 8] & (0x80 >> (x & 7));
                ASSERT_EQ(back.at(x, y)[0], set ? 255 : 0)
                    << static_cast<int>(format) << " " << x << "," << y;
            }
    }
    std::vector<std::uint8_t> grey(45 * 31);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<std::uint8_t>(i * 7);
    const imaging::const_pixel_rows levels { grey.data(), 45, 45, 31, imaging::pixel_format::grey8 };
    for (imaging::encoder format : all_encoders) {
        if (format == imaging::encoder::jpeg)
            continue;
        std::istringstream in(encode(levels, format));
        imaging::decoder decoder(in);
        std::vector<std::uint8_t> back(45 * 31);
        decoder.read({ back.data(), 45, 45, 31, imaging::pixel_format::grey8 });
        EXPECT_EQ(back, grey) << static_cast<int>(format);
    }
}

TEST(Imaging, FastPngKeepsEveryPixelOfEveryPixelFormat)
{
    picture source = noise(301, 203);
    bool has_alpha = false;
    picture back = decode(fast_png(source.view(imaging::pixel_format::bgra32)), &has_alpha);
    EXPECT_TRUE(has_alpha);
    EXPECT_EQ(back.bytes, source.bytes);

    back = decode(fast_png(source.view(imaging::pixel_format::bgrx32)), &has_alpha);
    EXPECT_FALSE(has_alpha);
    EXPECT_EQ(colour_error(back, source), 0);
    EXPECT_EQ(back.at(300, 202)[3], 255);

    // The same bytes read as grey rows, and as 1-bit rows of 1204 pixels.
    const imaging::const_pixel_rows levels { source.bytes.data(), 301 * 4, 301 * 4, 203,
        imaging::pixel_format::grey8 };
    std::istringstream in(fast_png(levels));
    imaging::decoder decoder(in);
    std::vector<std::uint8_t> grey(source.bytes.size());
    decoder.read({ grey.data(), 301 * 4, 301 * 4, 203, imaging::pixel_format::grey8 });
    EXPECT_EQ(grey, source.bytes);

    const imaging::const_pixel_rows bits { source.bytes.data(), 301 * 4, 301 * 4 * 8, 203,
        imaging::pixel_format::indexed1 };
    picture mask = decode(fast_png(bits));
    for (std::uint32_t y = 0; y < 203; ++y)
        for (std::uint32_t x = 0; x < 301 * 4 * 8; ++x) {
            const bool set = source.bytes[y * 301 * 4 + x / 8] & (0x80 >> (x & 7));
            ASSERT_EQ(mask.at(x, y)[0], set ? 255 : 0) << x << "," << y;
        }
}

// An 8-bit mask of a disc whose edge fades over a few pixels, as smoothed
// masks look: one byte per pixel.
std::vector<std::uint8_t> soft_disc(std::uint32_t w, std::uint32_t h)
{
    std::vector<std::uint8_t> levels(std::size_t(w) * h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            const double dx = double(x) - w / 2.0, dy = double(y) - h / 2.0;
            const double level = 127.5 - (std::sqrt(dx * dx + dy * dy) - h / 3.0) * 40;
            levels[std::size_t(y) * w + x] = static_cast<std::uint8_t>(std::clamp(level, 0.0, 255.0));
        }
    return levels;
}

TEST(Imaging, QuickReadPngKeepsEveryPixelAndStaysSmallForSmoothMasks)
{
    const auto quick = imaging::png_compression::quick_read;
    picture source = noise(131, 77);
    EXPECT_EQ(decode(encode(source.view(imaging::pixel_format::bgra32), imaging::encoder::png, quick)).bytes,
        source.bytes);
    picture colour = decode(encode(source.view(imaging::pixel_format::bgrx32), imaging::encoder::png, quick));
    EXPECT_EQ(colour_error(colour, source), 0);
    std::size_t stride = 0;
    const std::vector<std::uint8_t> bits = disc_mask(45, 31, stride);
    const picture mask
        = decode(encode({ bits.data(), std::ptrdiff_t(stride), 45, 31, imaging::pixel_format::indexed1 },
            imaging::encoder::png, quick));
    for (std::uint32_t y = 0; y < 31; ++y)
        for (std::uint32_t x = 0; x < 45; ++x)
            ASSERT_EQ(mask.bytes[(y * 45 + x) * 4], (bits[y * stride + x / 8] & (0x80 >> (x & 7))) ? 255 : 0);

    // A smooth mask read as grey rows: the same levels as from a standard
    // file, from a file a small part of the raw size.
    const std::vector<std::uint8_t> disc = soft_disc(400, 300);
    const imaging::const_pixel_rows levels { disc.data(), 400, 400, 300, imaging::pixel_format::grey8 };
    const std::string quick_file = encode(levels, imaging::encoder::png, quick);
    const std::string standard_file = encode(levels, imaging::encoder::png);
    EXPECT_LT(quick_file.size(), disc.size() / 20);
    std::vector<std::uint8_t> grey(disc.size());
    for (const std::string* file : { &quick_file, &standard_file }) {
        std::istringstream in(*file);
        imaging::decoder decoder(in);
        decoder.read({ grey.data(), 400, 400, 300, imaging::pixel_format::grey8 });
        EXPECT_EQ(grey, disc);
    }

    std::string damaged = quick_file;
    damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x10);
    std::istringstream in(damaged);
    imaging::decoder decoder(in);
    EXPECT_THROW(
        decoder.read({ grey.data(), 400, 400, 300, imaging::pixel_format::grey8 }), imaging::codec_error);
}

TEST(Imaging, DamageInsideAFastPngIsNoticed)
{
    // Stored deflate blocks have no structure that a changed byte breaks:
    // only the checksums can tell.
    picture source = gradient(64, 64);
    std::string data = fast_png(source.view(imaging::pixel_format::bgrx32));
    data[data.size() / 2] = static_cast<char>(data[data.size() / 2] ^ 0x10);
    std::istringstream in(data);
    imaging::decoder decoder(in);
    picture out(64, 64);
    EXPECT_THROW(decoder.read(out.rows()), imaging::codec_error);
}

TEST(Imaging, BottomUpTargetsGetTheSamePicture)
{
    picture source = gradient(20, 11);
    for (imaging::encoder format : all_encoders) {
        const std::string data = encode(source.view(imaging::pixel_format::bgra32), format);
        picture top = decode(data);
        std::istringstream in(data);
        imaging::decoder decoder(in);
        picture bottom(20, 11);
        decoder.read(bottom.rows(imaging::pixel_format::bgra32, true));
        for (std::uint32_t y = 0; y < 11; ++y)
            EXPECT_EQ(0, std::memcmp(top.at(0, y), bottom.at(0, 10 - y), 80)) << static_cast<int>(format);
    }
}

TEST(Imaging, GreyTargetsTakeTheBlueComponent)
{
    picture source = gradient(12, 7);
    std::istringstream in(encode(source.view(imaging::pixel_format::bgra32), imaging::encoder::png));
    imaging::decoder decoder(in);
    std::vector<std::uint8_t> grey(12 * 7);
    decoder.read({ grey.data(), 12, 12, 7, imaging::pixel_format::grey8 });
    for (std::uint32_t y = 0; y < 7; ++y)
        for (std::uint32_t x = 0; x < 12; ++x)
            ASSERT_EQ(grey[y * 12 + x], source.at(x, y)[0]);
}

TEST(Imaging, DecodersReportTheMemoryTheirReadTakesBesideTheTarget)
{
    using imaging::pixel_format;
    picture source = gradient(40, 30);
    auto working = [](const std::string& data, pixel_format format) {
        std::istringstream in(data);
        return imaging::decoder(in).working_bytes(format);
    };
    // Colour PNG into grey rows goes through one row of colour.
    const std::string png = encode(source.view(pixel_format::bgra32), imaging::encoder::png);
    EXPECT_EQ(working(png, pixel_format::bgra32), 0u);
    EXPECT_EQ(working(png, pixel_format::grey8), 40u * 4);
    const std::string jpeg = encode(source.view(pixel_format::bgrx32), imaging::encoder::jpeg);
    EXPECT_EQ(working(jpeg, pixel_format::bgra32), 0u);
    // TIFF: a strip buffer, and a whole colour copy for grey rows.
    const std::string tiff = encode(source.view(pixel_format::bgra32), imaging::encoder::tiff);
    EXPECT_GT(working(tiff, pixel_format::bgra32), 0u);
    EXPECT_GE(working(tiff, pixel_format::grey8), 40u * 30 * 4);

    const std::string corpus = TAVELO_SOURCE_DIR "/foundation/files/tests/corpus/gdiplus_decode/";
    auto file = [&](const char* name) {
        std::ifstream in(corpus + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    // Progressive data: 64 two-byte coefficients per 8 x 8 block of each of
    // the three components.
    EXPECT_EQ(
        working(file("progressive_arithmetic_12000.jpg"), pixel_format::bgra32), 3ull * 1500 * 1500 * 128);
    EXPECT_EQ(working(file("sequential_arithmetic_16384.jpg"), pixel_format::bgra32), 0u);
    // One LZW strip of 16000 rows of 16000 grey bytes.
    EXPECT_GE(working(file("one_strip_lzw_16000.tif"), pixel_format::bgra32), 16000ull * 16000);
}

TEST(Imaging, DataOfNoKnownFormatIsRefused)
{
    for (const std::string& data : { std::string(), std::string("hello world"),
             std::string("\x89PNG\r\n\x1a\n", 8), std::string("BM\x10\0\0\0", 6), std::string("GIF89a"),
             std::string("II*\0\x08\0\0\0", 8), std::string("\xff\xd8\xff\xe0", 4) }) {
        std::istringstream in(data);
        EXPECT_THROW(imaging::decoder decoder(in), imaging::codec_error) << data.size();
    }
}

TEST(Imaging, DamagedPixelDataFailsWhenRead)
{
    picture source = gradient(64, 64);
    for (imaging::encoder format : { imaging::encoder::png, imaging::encoder::gif, imaging::encoder::bmp }) {
        std::string data = encode(source.view(imaging::pixel_format::bgrx32), format);
        data.resize(data.size() / 2);
        std::istringstream in(data);
        imaging::decoder decoder(in);
        picture out(64, 64);
        EXPECT_THROW(decoder.read(out.rows()), imaging::codec_error) << static_cast<int>(format);
    }
}

TEST(Imaging, TargetsOfAnotherSizeAreRefused)
{
    picture source = gradient(8, 8);
    std::istringstream in(encode(source.view(imaging::pixel_format::bgra32), imaging::encoder::png));
    imaging::decoder decoder(in);
    picture small(4, 8);
    EXPECT_THROW(decoder.read(small.rows()), imaging::codec_error);
}

TEST(Imaging, StreamPositionIsWhereTheDataStarts)
{
    picture source = gradient(9, 5);
    std::istringstream in(
        "prefix" + encode(source.view(imaging::pixel_format::bgrx32), imaging::encoder::tiff));
    in.seekg(6);
    imaging::decoder decoder(in);
    picture back(9, 5);
    decoder.read(back.rows());
    EXPECT_EQ(colour_error(back, source), 0);
}
