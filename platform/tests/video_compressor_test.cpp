#include "platform/video/video_compressor.h"

#include "platform/tests/avi_samples.h"
#include "platform/video/video_decompressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using platform::BITMAPINFOHEADER;
using platform::ICERR_BADFORMAT;
using platform::ICERR_BADPARAM;
using platform::ICERR_OK;
using platform::mmioFOURCC;
using platform::video_compressor;
namespace t = platform::testing;

platform::FOURCC code(const char* c)
{
    return mmioFOURCC(c[0], c[1], c[2], c[3]);
}

BITMAPINFOHEADER input(std::int32_t width, std::int32_t height, std::uint16_t bits)
{
    BITMAPINFOHEADER h;
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    return h;
}

// The picture of frame `index`: the test picture for lossless compressors,
// the smooth one for the others.
std::vector<std::uint8_t> frame_picture(unsigned width, unsigned height, int index, bool lossless)
{
    return lossless ? t::test_picture(width, height, index) : t::smooth_picture(width, height, index);
}

// Picture `index` as a bottom-up DIB of that depth.
std::vector<std::uint8_t> dib(unsigned width, unsigned height, int index, unsigned bits, bool lossless = true)
{
    auto p = frame_picture(width, height, index, lossless);
    const std::size_t stride = (std::size_t(width) * bits + 31) / 32 * 4;
    std::vector<std::uint8_t> out(stride * height, 0);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            std::memcpy(&out[(height - 1 - y) * stride + x * (bits / 8)],
                &p[(std::size_t(y) * width + x) * 4], bits / 8);
    return out;
}

std::vector<std::string> installed_codes()
{
    std::vector<std::string> codes;
    platform::ICINFO info;
    for (int i = 0; platform::ICInfo(platform::ICTYPE_VIDEO, i, info); ++i)
        codes.push_back(platform::fourcc_text(info.fccHandler));
    return codes;
}

TEST(VideoCompressor, TableListsTheOfferedCompressorsInOrder)
{
    auto codes = installed_codes();
    std::vector<std::string> expected = { "DIB ", "MJPG", "FMP4", "HFYU", "FFV1", "ULRG", "ULY0" };
    ASSERT_GE(codes.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(codes.begin(), codes.begin() + 7), expected);
    if (codes.size() > 7) {
        EXPECT_EQ(codes[7], "H264");
    }
    platform::ICINFO info;
    EXPECT_FALSE(platform::ICInfo(code("vids"), 0, info));
    EXPECT_FALSE(platform::ICInfo(platform::ICTYPE_VIDEO, -1, info));
    ASSERT_TRUE(platform::ICInfo(platform::ICTYPE_VIDEO, 2, info));
    EXPECT_EQ(info.dwFlags, platform::VIDCF_QUALITY | platform::VIDCF_TEMPORAL);
    EXPECT_FALSE(info.szName.empty());
}

TEST(VideoCompressor, UnknownOrMiscasedCodesDoNotOpen)
{
    EXPECT_EQ(video_compressor::open(code("QQQQ")), nullptr);
    EXPECT_EQ(video_compressor::open(code("mjpg")), nullptr);
    EXPECT_EQ(video_compressor::open(0), nullptr);
}

TEST(VideoCompressor, QueryRefusesWhatItCannotTake)
{
    auto c = video_compressor::open(code("FMP4"));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->query(input(64, 48, 16)), ICERR_BADFORMAT);
    EXPECT_EQ(c->query(input(64, -48, 24)), ICERR_BADFORMAT);
    EXPECT_EQ(c->query(input(0, 48, 24)), ICERR_BADFORMAT);
    EXPECT_EQ(c->query(input(100000, 48, 24)), ICERR_BADFORMAT);
    auto foreign = input(64, 48, 24);
    foreign.biCompression = code("MJPG");
    EXPECT_EQ(c->query(foreign), ICERR_BADFORMAT);
    EXPECT_EQ(c->max_size(input(64, 48, 16)), 0u);
    EXPECT_EQ(c->query(input(64, 48, 24)), ICERR_OK);
    EXPECT_EQ(c->query(input(64, 48, 32)), ICERR_OK);
    if (auto h264 = video_compressor::open(code("H264"))) {
        EXPECT_EQ(h264->query(input(63, 48, 24)), ICERR_BADFORMAT);
        EXPECT_EQ(h264->query(input(64, 47, 24)), ICERR_BADFORMAT);
        EXPECT_EQ(h264->query(input(64, 48, 24)), ICERR_OK);
    }
}

// Every compressor at an odd size and at the limits of its own: one that
// cannot take the size refuses the output format and the begin alike, and
// tells why in a sentence naming it by its offered name and the size. A
// reason ending in ": " is the codec library's, its own text following.
TEST(VideoCompressor, FrameSizeTakenOrRefusedWithTheReason)
{
    struct size_case {
        const char* code;
        std::int32_t width;
        std::int32_t height;
        std::uint16_t bits;
        std::string reason; // empty: the size is taken
    };
    const size_case cases[] = {
        { "DIB ", 321, 239, 24, "" },
        { "MJPG", 321, 239, 24, "" },
        { "FMP4", 321, 239, 24, "" },
        { "HFYU", 321, 239, 24, "" },
        { "FFV1", 321, 239, 32, "" },
        { "ULRG", 321, 239, 24, "" },
        { "ULY0", 321, 239, 24, "Ut Video YUV 4:2:0 takes only even frame widths and heights (321 x 239)" },
        { "ULY0", 320, 239, 32, "Ut Video YUV 4:2:0 takes only even frame widths and heights (320 x 239)" },
        { "H264", 321, 239, 24, "H.264 takes only even frame widths and heights (321 x 239)" },
        { "H264", 321, 240, 32, "H.264 takes only even frame widths and heights (321 x 240)" },
        { "FMP4", 8191, 16, 24, "" },
        { "FMP4", 8192, 16, 24, "MPEG-4 Part 2 takes frames of at most 8191 x 8191 (8192 x 16)" },
        { "H264", 16384, 16, 24, "" },
        { "H264", 16, 16386, 24, "H.264 takes frames of at most 16384 x 16384 (16 x 16386)" },
        { "MJPG", 16384, 16384, 24, "Motion JPEG refuses 16384 x 16384 frames: " },
        { "DIB ", 32769, 16, 24,
            "Full Frames (Uncompressed) takes frames of at most 32768 x 32768 (32769 x 16)" },
        { "DIB ", 32768, 32768, 24,
            "Full Frames (Uncompressed) takes frames of at most 2147483647 bytes (32768 x 32768 at 24 "
            "bits)" },
    };
    for (const auto& k : cases) {
        const std::string where
            = std::string(k.code) + " " + std::to_string(k.width) + " x " + std::to_string(k.height);
        auto c = video_compressor::open(code(k.code));
        if (c == nullptr)
            continue;
        const auto expect_reason = [&] {
            const std::string& got = c->refusal();
            if (k.reason.back() == ' ') {
                EXPECT_EQ(got.compare(0, k.reason.size(), k.reason), 0) << where << ": " << got;
                EXPECT_GT(got.size(), k.reason.size()) << where;
            } else {
                EXPECT_EQ(got, k.reason) << where;
            }
        };
        const auto in = input(k.width, k.height, k.bits);
        std::vector<std::uint8_t> format;
        const int r = c->output_format(in, format);
        if (k.reason.empty()) {
            EXPECT_EQ(r, ICERR_OK) << where << ": " << c->refusal();
            EXPECT_EQ(c->refusal(), "") << where;
            EXPECT_EQ(c->query(in), ICERR_OK) << where;
            EXPECT_EQ(c->begin(in, format), ICERR_OK) << where;
            EXPECT_EQ(c->refusal(), "") << where;
            c->end();
            continue;
        }
        EXPECT_NE(r, ICERR_OK) << where;
        expect_reason();
        EXPECT_EQ(c->query(in), ICERR_BADFORMAT) << where;
        EXPECT_EQ(c->begin(in, format), ICERR_BADFORMAT) << where;
        expect_reason();
        if (k.width > 32768 || k.reason.find(" bytes ") != std::string::npos) {
            EXPECT_EQ(c->max_size(in), 0u) << where;
            expect_reason();
        }
        // A size it takes clears the reason.
        ASSERT_EQ(c->output_format(input(64, 48, 24), format), ICERR_OK) << where;
        EXPECT_EQ(c->refusal(), "") << where;
    }
}

TEST(VideoCompressor, ForeignOrOutOfRangeStateIsRefusedAndChangesNothing)
{
    auto c = video_compressor::open(code("MJPG"));
    ASSERT_NE(c, nullptr);
    const auto defaults = c->state();
    ASSERT_EQ(defaults.size(), video_compressor::state_size);
    EXPECT_EQ(std::memcmp(defaults.data(), "TVCS", 4), 0);

    auto edited = defaults;
    edited[8] = 0x10; // quality 10000
    edited[9] = 0x27;
    edited[10] = 0;
    edited[11] = 0;
    ASSERT_EQ(c->set_state(edited.data(), edited.size()), ICERR_OK);
    EXPECT_EQ(c->state(), edited);

    auto bad = [&](std::vector<std::uint8_t> block) {
        EXPECT_EQ(c->set_state(block.data(), block.size()), ICERR_BADPARAM);
        EXPECT_EQ(c->state(), edited);
    };
    auto magic = edited;
    magic[0] = 'X';
    bad(magic);
    auto version = edited;
    version[4] = 2;
    bad(version);
    auto quality = edited;
    quality[9] = 0x28; // 10256
    bad(quality);
    auto key = edited;
    std::memset(&key[12], 0, 4);
    bad(key);
    auto longer = edited;
    longer.push_back(0);
    bad(longer);
    bad(std::vector<std::uint8_t>(edited.begin(), edited.begin() + 8));

    EXPECT_EQ(c->set_state(nullptr, 0), ICERR_OK);
    EXPECT_EQ(c->state(), defaults);

    auto plain = video_compressor::open(code("DIB "));
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->state().empty());
    EXPECT_EQ(plain->set_state(defaults.data(), defaults.size()), ICERR_BADPARAM);
}

TEST(VideoCompressor, CompressRefusesBeforeBeginAndWhenTheSampleDoesNotFit)
{
    auto c = video_compressor::open(code("HFYU"));
    ASSERT_NE(c, nullptr);
    auto in = input(32, 16, 24);
    auto frame = dib(32, 16, 0, 24);
    std::vector<std::uint8_t> out(c->max_size(in));
    std::size_t size = 1;
    std::uint32_t flags = 1;
    EXPECT_EQ(c->compress(frame.data(), out.data(), out.size(), size, flags), platform::ICERR_ERROR);
    EXPECT_EQ(size, 0u);

    std::vector<std::uint8_t> format;
    ASSERT_EQ(c->output_format(in, format), ICERR_OK);
    auto other = format;
    other[16] = 'X';
    EXPECT_EQ(c->begin(in, other), ICERR_BADFORMAT);
    EXPECT_EQ(c->refusal(), "HuffYUV takes only the output format it gave for 32 x 16 frames");
    ASSERT_EQ(c->begin(in, format), ICERR_OK);
    EXPECT_EQ(c->compress(frame.data(), out.data(), 8, size, flags), platform::ICERR_BADSIZE);
    EXPECT_EQ(c->end(), ICERR_OK);
    EXPECT_EQ(c->compress(frame.data(), out.data(), out.size(), size, flags), platform::ICERR_ERROR);
}

struct round_trip_case {
    const char* code;
    unsigned bits;
    bool lossless;
};

class CompressorRoundTrip : public ::testing::TestWithParam<round_trip_case> { };

TEST_P(CompressorRoundTrip, DecodesBackToThePictures)
{
    const auto param = GetParam();
    auto c = video_compressor::open(code(param.code));
    if (c == nullptr)
        GTEST_SKIP() << param.code << " is not installed";
    const unsigned w = 48;
    const unsigned h = 32;
    auto in = input(w, h, std::uint16_t(param.bits));
    std::vector<std::uint8_t> format;
    ASSERT_EQ(c->output_format(in, format), ICERR_OK);
    ASSERT_EQ(c->begin(in, format), ICERR_OK);
    auto d = platform::video_decompressor::locate(c->info().fccHandler, format);
    ASSERT_NE(d, nullptr);
    std::vector<std::uint8_t> out(c->max_size(in));
    int keys = 0;
    // Decoders on several threads give each picture lag() samples later.
    int shown = 0;
    std::vector<std::uint8_t> picture(std::size_t(w) * h * 4);
    const auto check = [&] {
        const int i = shown++;
        auto expected = frame_picture(w, h, i, param.lossless);
        if (param.lossless) {
            for (std::size_t p = 0; p < std::size_t(w) * h; ++p)
                ASSERT_EQ(std::memcmp(&picture[4 * p], &expected[4 * p], 3), 0)
                    << param.code << " pixel " << p;
        } else {
            EXPECT_GT(t::psnr(picture.data(), expected.data(), std::size_t(w) * h), 40.0) << i;
        }
    };
    for (int i = 0; i < 30; ++i) {
        auto frame = dib(w, h, i, param.bits, param.lossless);
        std::size_t size = 0;
        std::uint32_t flags = 0;
        ASSERT_EQ(c->compress(frame.data(), out.data(), out.size(), size, flags), ICERR_OK) << i;
        ASSERT_GT(size, 0u);
        keys += (flags & platform::AVIIF_KEYFRAME) ? 1 : 0;
        if (i == 0) {
            EXPECT_TRUE(flags & platform::AVIIF_KEYFRAME);
        }
        std::vector<std::uint8_t> sample(out.begin(), out.begin() + std::ptrdiff_t(size));
        sample.resize(size + platform::video_decompressor::input_padding, 0);
        ASSERT_EQ(d->decode(sample.data(), size), ICERR_OK);
        while (d->next_frame(picture.data(), std::ptrdiff_t(w) * 4))
            check();
        ASSERT_GE(shown, i + 1 - d->lag()) << i;
    }
    ASSERT_EQ(d->finish(), ICERR_OK);
    while (d->next_frame(picture.data(), std::ptrdiff_t(w) * 4))
        check();
    EXPECT_EQ(shown, 30);
    EXPECT_GE(keys, 1);
    EXPECT_EQ(c->end(), ICERR_OK);
}

INSTANTIATE_TEST_SUITE_P(Installed, CompressorRoundTrip,
    ::testing::Values(round_trip_case { "DIB ", 24, true }, round_trip_case { "DIB ", 32, true },
        round_trip_case { "MJPG", 24, false }, round_trip_case { "FMP4", 32, false },
        round_trip_case { "HFYU", 24, true }, round_trip_case { "HFYU", 32, true },
        round_trip_case { "FFV1", 24, true }, round_trip_case { "FFV1", 32, true },
        round_trip_case { "ULRG", 24, true }, round_trip_case { "ULRG", 32, true },
        round_trip_case { "ULY0", 24, false }, round_trip_case { "H264", 24, false }),
    [](const auto& info) {
        std::string n = info.param.code;
        if (n == "DIB ")
            n = "DIB";
        return n + std::to_string(info.param.bits);
    });

} // namespace

namespace {

// Rows in any order and at 32 bits give the samples the bottom-up input
// format gives.
TEST(VideoCompressor, RowsInAnyLayoutCompressAsTheInputFormat)
{
    for (const char* name : { "DIB ", "HFYU", "FFV1" })
        for (unsigned bits : { 24u, 32u }) {
            const unsigned w = 13;
            const unsigned h = 6;
            auto a = video_compressor::open(code(name));
            auto b = video_compressor::open(code(name));
            ASSERT_NE(a, nullptr);
            auto in = input(w, h, std::uint16_t(bits));
            std::vector<std::uint8_t> format;
            ASSERT_EQ(a->output_format(in, format), ICERR_OK);
            ASSERT_EQ(a->begin(in, format), ICERR_OK);
            ASSERT_EQ(b->output_format(in, format), ICERR_OK);
            ASSERT_EQ(b->begin(in, format), ICERR_OK);
            std::vector<std::uint8_t> out_a(a->max_size(in));
            std::vector<std::uint8_t> out_b(b->max_size(in));
            for (int i = 0; i < 3; ++i) {
                auto bgra = t::test_picture(w, h, i);
                auto converted = dib(w, h, i, bits);
                std::size_t size_a = 0;
                std::size_t size_b = 0;
                std::uint32_t flags = 0;
                ASSERT_EQ(a->compress(converted.data(), out_a.data(), out_a.size(), size_a, flags), ICERR_OK);
                ASSERT_EQ(b->compress_rows(bgra.data(), std::ptrdiff_t(w) * 4, 32, out_b.data(), out_b.size(),
                              size_b, flags),
                    ICERR_OK);
                ASSERT_EQ(size_a, size_b) << name << bits;
                EXPECT_EQ(std::memcmp(out_a.data(), out_b.data(), size_a), 0)
                    << name << " " << bits << " frame " << i;
            }
            std::size_t size = 0;
            std::uint32_t flags = 0;
            EXPECT_EQ(b->compress_rows(out_b.data(), 16, 16, out_b.data(), out_b.size(), size, flags),
                platform::ICERR_BADFORMAT);
        }
}

} // namespace
