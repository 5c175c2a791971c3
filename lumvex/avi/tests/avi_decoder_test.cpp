#include "lumvex/avi/avi_decoder.h"

#include "lumvex/avi/avi_file.h"
#include "platform/tests/avi_samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace t = platform::testing;
using platform::mmioFOURCC;

std::vector<std::uint8_t> pixels(const img::image<img::BGRA<unsigned char>>& image)
{
    std::vector<std::uint8_t> out;
    out.reserve(std::size_t(image.width) * image.height * 4);
    for (unsigned y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(image.row(y));
        out.insert(out.end(), row, row + image.width * 4);
    }
    return out;
}

// Seeks and decodes forward until frame n comes out.
void decode_to(img::avi::decoder& d, int n)
{
    d.seek(n);
    while (d.decode_next(false) != n) { }
}

class AviDecoding : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::filesystem::temp_directory_path() / ("avi_decoder_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(s_dir);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_dir); }

    static std::string path(const std::string& name) { return (s_dir / name).string(); }

    // Writes an encoded file; false when the encoder is missing here.
    static bool encode(const std::string& name, const t::encoder_settings& settings, int frames = 30,
        t::avi_layout::index_kind index = t::avi_layout::index_kind::idx1, unsigned w = 96, unsigned h = 64)
    {
        t::avi_layout layout;
        auto samples = t::encoded_samples(w, h, frames, settings, layout);
        if (samples.empty())
            return false;
        layout.index = index;
        layout.frames_per_riff = 7;
        t::write_avi(path(name), layout, samples);
        return true;
    }

    // Writes NAME_good.avi of 64 x 48 and NAME_bad.avi, the same with the
    // bytes of sample `damaged` overwritten; returns the reference decode of
    // the good one (empty when the encoder is missing here).
    static std::vector<std::vector<std::uint8_t>> write_damaged(
        const std::string& name, const t::encoder_settings& settings, int frames, int damaged)
    {
        t::avi_layout layout;
        auto samples = t::encoded_samples(64, 48, frames, settings, layout);
        if (samples.empty())
            return {};
        t::write_avi(path(name + "_good.avi"), layout, samples);
        for (auto& byte : samples[std::size_t(damaged)].data)
            byte = 0xA5;
        t::write_avi(path(name + "_bad.avi"), layout, samples);
        return t::reference_decode(path(name + "_good.avi"));
    }

    // Decodes every frame in order and compares with the reference decode:
    // exact, or above 40 dB.
    static void expect_like_reference(const std::string& name, bool exact, int expected_frames = -1)
    {
        auto reference = t::reference_decode(path(name));
        img::avi::file file;
        file.open(path(name));
        ASSERT_EQ(file.length(), expected_frames < 0 ? int(reference.size()) : expected_frames);
        ASSERT_EQ(reference.size(), std::size_t(file.length()));
        img::avi::decoder d(file, 0);
        for (int i = 0; i < file.length(); ++i) {
            d.seek(i);
            ASSERT_EQ(d.decode_next(false), i);
            auto got = pixels(d.image());
            ASSERT_EQ(got.size(), reference[std::size_t(i)].size());
            double quality = t::psnr(got.data(), reference[std::size_t(i)].data(), got.size() / 4);
            if (exact) {
                EXPECT_TRUE(std::isinf(quality)) << name << " frame " << i << ": " << quality << " dB";
            } else {
                EXPECT_GT(quality, 40.0) << name << " frame " << i;
            }
        }
    }

    static std::filesystem::path s_dir;
};

std::filesystem::path AviDecoding::s_dir;

TEST_F(AviDecoding, OpeningErrorsNameTheFile)
{
    img::avi::file file;
    try {
        file.open(path("missing.avi"));
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_EQ(std::string(e.what()),
            "error opening AVI (possibly it's not a valid AVI file): " + path("missing.avi"));
    }
    std::ofstream(path("text.avi")) << "RIFF....AVI LIST";
    EXPECT_THROW(file.open(path("text.avi")), img::avi::exception);
}

TEST_F(AviDecoding, UnknownDecompressorIsNamed)
{
    t::avi_layout l;
    l.handler = mmioFOURCC('Q', 'Z', 'Q', 'Z');
    l.format = t::bitmap_format(16, 16, 24, l.handler);
    t::write_avi(path("qzqz.avi"), l, { t::avi_sample { std::vector<std::uint8_t>(10, 1), true } });
    img::avi::file file;
    file.open(path("qzqz.avi"));
    try {
        img::avi::decoder d(file, 0);
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_STREQ(e.what(), "AVI decompressor \"QZQZ\" not found in the system");
    }
}

TEST_F(AviDecoding, AbsurdFrameSizeIsRefusedBeforeAnyAllocation)
{
    t::avi_layout l;
    l.handler = mmioFOURCC('D', 'I', 'B', ' ');
    l.compressed = false;
    l.format = t::bitmap_format(0x7FFFFFFF, -0x7FFFFFFF, 32, 0);
    t::write_avi(path("huge.avi"), l, { t::avi_sample { std::vector<std::uint8_t>(10, 1), true } });
    img::avi::file file;
    file.open(path("huge.avi"));
    EXPECT_THROW(img::avi::decoder(file, 0), img::avi::exception);
}

TEST_F(AviDecoding, UnsupportedBitCountIsNamed)
{
    t::avi_layout l;
    l.handler = mmioFOURCC('D', 'I', 'B', ' ');
    l.compressed = false;
    l.format = t::bitmap_format(16, 16, 4, 0);
    t::write_avi(path("four.avi"), l, { t::avi_sample { std::vector<std::uint8_t>(128, 1), true } });
    img::avi::file file;
    file.open(path("four.avi"));
    try {
        img::avi::decoder d(file, 0);
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_STREQ(e.what(), "unsupported bit count of AVI stream: 4");
    }
}

TEST_F(AviDecoding, EmptyStreamHasNoStartPosition)
{
    t::avi_layout l;
    t::uncompressed_samples(8, 8, 0, 24, false, l);
    t::write_avi(path("empty.avi"), l, {});
    img::avi::file file;
    file.open(path("empty.avi"));
    EXPECT_EQ(file.length(), 0);
    try {
        img::avi::decoder d(file, 0);
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_STREQ(e.what(), "can't find in AVI stream start position to read frame #0");
    }
}

TEST(AviErrorText, CodesReadAsTheDecompressorSaysThem)
{
    EXPECT_EQ(img::avi::error_text(0), "ok (no error)");
    EXPECT_EQ(img::avi::error_text(1), "don't draw");
    EXPECT_EQ(img::avi::error_text(3), "go to keyfame");
    EXPECT_EQ(img::avi::error_text(-2), "bad format");
    EXPECT_EQ(img::avi::error_text(-201), "bad image size");
    EXPECT_EQ(img::avi::error_text(-400), "unknown error");
    EXPECT_EQ(img::avi::error_text(-401), "custom codec error");
    EXPECT_EQ(img::avi::error_text(7), "unknown error");
}

class UncompressedDecoding : public AviDecoding,
                             public ::testing::WithParamInterface<std::tuple<int, bool>> { };

TEST_P(UncompressedDecoding, FramesAreThePicturesWritten)
{
    auto [bits, top_down] = GetParam();
    t::avi_layout l;
    auto samples = t::uncompressed_samples(33, 17, 6, bits, top_down, l);
    std::string name = "raw" + std::to_string(bits) + (top_down ? "td" : "bu") + ".avi";
    t::write_avi(path(name), l, samples);
    img::avi::file file;
    file.open(path(name));
    img::avi::decoder d(file, 0);
    EXPECT_EQ(d.width(), 33u);
    EXPECT_EQ(d.height(), 17u);
    for (int i : { 0, 1, 2, 5, 3, 4 }) {
        d.seek(i);
        EXPECT_EQ(d.decode_next(false), i);
        EXPECT_EQ(pixels(d.image()), t::uncompressed_picture(33, 17, i, bits)) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, UncompressedDecoding,
    ::testing::Combine(::testing::Values(8, 16, 24, 32), ::testing::Values(false, true)));

TEST_F(AviDecoding, UncompressedBottomUpMatchesTheReference)
{
    t::avi_layout l;
    t::write_avi(path("raw24.avi"), l, t::uncompressed_samples(40, 30, 5, 24, false, l));
    expect_like_reference("raw24.avi", true);
}

TEST_F(AviDecoding, Mjpeg)
{
    ASSERT_TRUE(encode("mjpg.avi", { "mjpeg", mmioFOURCC('M', 'J', 'P', 'G'), 1, 0, 3 }));
    expect_like_reference("mjpg.avi", false);
}

TEST_F(AviDecoding, Mpeg4WithoutBFrames)
{
    ASSERT_TRUE(encode("xvid.avi", { "mpeg4", mmioFOURCC('X', 'V', 'I', 'D'), 12, 0, 3 }));
    expect_like_reference("xvid.avi", false);
}

TEST_F(AviDecoding, Mpeg4WithBFramesComesOutInDisplayOrder)
{
    ASSERT_TRUE(encode("xvidb.avi", { "mpeg4", mmioFOURCC('D', 'X', '5', '0'), 12, 2, 3 }));
    expect_like_reference("xvidb.avi", false);
}

TEST_F(AviDecoding, MsMpeg4v3)
{
    ASSERT_TRUE(encode("div3.avi", { "msmpeg4", mmioFOURCC('D', 'I', 'V', '3'), 12, 0, 3 }));
    expect_like_reference("div3.avi", false);
}

TEST_F(AviDecoding, HuffYuvIsExact)
{
    ASSERT_TRUE(encode("hfyu.avi", { "huffyuv", mmioFOURCC('H', 'F', 'Y', 'U'), 1, 0, 0 }));
    expect_like_reference("hfyu.avi", true);
}

TEST_F(AviDecoding, Ffv1IsExact)
{
    ASSERT_TRUE(encode("ffv1.avi", { "ffv1", mmioFOURCC('F', 'F', 'V', '1'), 1, 0, 0 }));
    expect_like_reference("ffv1.avi", true);
}

TEST_F(AviDecoding, H264)
{
    if (!encode("h264.avi", { "libx264", mmioFOURCC('H', '2', '6', '4'), 10, 2, 0 }))
        GTEST_SKIP() << "no H.264 encoder here";
    expect_like_reference("h264.avi", false);
}

TEST_F(AviDecoding, OpenDmlIndexedFile)
{
    ASSERT_TRUE(encode("odml.avi", { "mpeg4", mmioFOURCC('F', 'M', 'P', '4'), 12, 0, 3 }, 30,
        t::avi_layout::index_kind::opendml));
    expect_like_reference("odml.avi", false);
}

TEST_F(AviDecoding, FileWithoutIndexDecodesFromTheChunks)
{
    ASSERT_TRUE(encode("noidx.avi", { "mpeg4", mmioFOURCC('X', 'V', 'I', 'D'), 12, 0, 3 }, 30,
        t::avi_layout::index_kind::none));
    expect_like_reference("noidx.avi", false);
}

TEST_F(AviDecoding, SeekingBackwardsAndIntoAGroupGivesTheSameFrames)
{
    ASSERT_TRUE(encode("seek.avi", { "mpeg4", mmioFOURCC('X', 'V', 'I', 'D'), 10, 2, 3 }, 40));
    auto reference = t::reference_decode(path("seek.avi"));
    img::avi::file file;
    file.open(path("seek.avi"));
    img::avi::decoder d(file, 0);
    for (int i : { 25, 26, 3, 39, 10, 9, 11, 0, 30, 29 }) {
        d.seek(i);
        if (i == 26) {
            EXPECT_EQ(d.position(), 26) << "forward within the run decodes on";
        }
        decode_to(d, i);
        auto got = pixels(d.image());
        EXPECT_GT(t::psnr(got.data(), reference[std::size_t(i)].data(), got.size() / 4), 40.0) << i;
    }
    d.seek(14);
    EXPECT_EQ(d.key_start(), 10);
    EXPECT_EQ(d.position(), 10);
    EXPECT_EQ(d.next_key(), 20);
}

TEST_F(AviDecoding, ZeroLengthSampleRepeatsThePreviousFrame)
{
    t::avi_layout l;
    auto samples = t::encoded_samples(64, 48, 10, { "mjpeg", mmioFOURCC('M', 'J', 'P', 'G'), 1, 0, 3 }, l);
    samples[5].data.clear();
    samples[5].key = false;
    t::write_avi(path("drop.avi"), l, samples);
    auto reference = t::reference_decode(path("drop.avi"));
    ASSERT_EQ(reference.size(), 9u);
    img::avi::file file;
    file.open(path("drop.avi"));
    ASSERT_EQ(file.length(), 10);
    img::avi::decoder d(file, 0);
    for (int i : { 0, 4, 5, 6, 9, 5 }) {
        decode_to(d, i);
        auto got = pixels(d.image());
        std::size_t r = std::size_t(i <= 4 ? i : i - 1);
        EXPECT_GT(t::psnr(got.data(), reference[r].data(), got.size() / 4), 40.0) << i;
    }
}

TEST_F(AviDecoding, FileCutInTheMiddleDecodesAsFarAsItCan)
{
    ASSERT_TRUE(encode("whole.avi", { "mjpeg", mmioFOURCC('M', 'J', 'P', 'G'), 1, 0, 3 }, 20));
    auto reference = t::reference_decode(path("whole.avi"));
    std::filesystem::copy_file(path("whole.avi"), path("cut.avi"));
    std::filesystem::resize_file(path("cut.avi"), std::filesystem::file_size(path("whole.avi")) / 2);
    img::avi::file file;
    file.open(path("cut.avi"));
    ASSERT_GT(file.length(), 3);
    ASSERT_LT(file.length(), 20);
    img::avi::decoder d(file, 0);
    for (int i = 0; i < file.length(); ++i) {
        ASSERT_EQ(d.decode_next(false), i);
        auto got = pixels(d.image());
        EXPECT_GT(t::psnr(got.data(), reference[std::size_t(i)].data(), got.size() / 4), 40.0) << i;
    }
}

TEST_F(AviDecoding, OverwrittenFrameFailsThatFrameOnly)
{
    const auto reference
        = write_damaged("mjpeg", { "mjpeg", mmioFOURCC('M', 'J', 'P', 'G'), 1, 0, 3 }, 10, 4);
    img::avi::file file;
    file.open(path("mjpeg_bad.avi"));
    img::avi::decoder d(file, 0);
    for (int i = 0; i < 10; ++i) {
        if (i == 4) {
            EXPECT_THROW(d.decode_next(false), img::avi::exception);
            continue;
        }
        ASSERT_EQ(d.decode_next(false), i);
        auto got = pixels(d.image());
        EXPECT_GT(t::psnr(got.data(), reference[std::size_t(i)].data(), got.size() / 4), 40.0) << i;
    }
    // Tolerated, the refused frame arrives black.
    d.seek(4);
    ASSERT_EQ(d.decode_next(true), 4);
    auto black = pixels(d.image());
    EXPECT_TRUE(std::all_of(black.begin(), black.end(), [](std::uint8_t b) { return b == 0; }));
}

// MPEG-4 decodes on two threads and reports a sample's error one sample
// later; the damaged frame is still the one that fails.
TEST_F(AviDecoding, DamagedMpeg4SampleFailsItsOwnFrame)
{
    const auto reference
        = write_damaged("mpeg4", { "mpeg4", mmioFOURCC('F', 'M', 'P', '4'), 250, 0, 3 }, 12, 4);
    ASSERT_FALSE(reference.empty());
    img::avi::file file;
    file.open(path("mpeg4_bad.avi"));
    img::avi::decoder d(file, 0);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(d.decode_next(false), i);
        EXPECT_EQ(pixels(d.image()), reference[std::size_t(i)]) << i;
    }
    EXPECT_THROW(d.decode_next(false), img::avi::exception);
    for (int i = 5; i < 12; ++i)
        EXPECT_EQ(d.decode_next(true), i);
    // Tolerated, the damaged frame is black, and so it is when read on to.
    d.seek(0);
    decode_to(d, 3);
    EXPECT_EQ(pixels(d.image()), reference[3]);
    ASSERT_EQ(d.decode_next(true), 4);
    const auto black = pixels(d.image());
    EXPECT_TRUE(std::all_of(black.begin(), black.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(AviDecoding, UnreadableSampleFailsItsFrameAndNamesTheFile)
{
    t::avi_layout l;
    auto samples = t::uncompressed_samples(16, 8, 6, 24, false, l);
    t::write_avi(path("lost.avi"), l, samples);
    img::avi::file file;
    file.open(path("lost.avi"));
    img::avi::decoder d(file, 0);
    // The file shrinks after opening: its last frames are gone.
    std::filesystem::resize_file(
        path("lost.avi"), std::filesystem::file_size(path("lost.avi")) - 16 * 8 * 3 * 2);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(d.decode_next(false), i);
    try {
        d.decode_next(true);
        FAIL();
    } catch (const img::avi::exception& e) {
        EXPECT_NE(std::string(e.what()).find("error reading sample from AVI stream: " + path("lost.avi")),
            std::string::npos);
    }
}

} // namespace
