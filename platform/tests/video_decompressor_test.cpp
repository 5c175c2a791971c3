#include "platform/video/video_decompressor.h"

#include "platform/tests/avi_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <unistd.h>

namespace {

using platform::mmioFOURCC;
using platform::video_decompressor;
namespace t = platform::testing;

std::vector<std::uint8_t> padded(std::vector<std::uint8_t> v)
{
    v.resize(v.size() + video_decompressor::input_padding, 0);
    return v;
}

TEST(VideoDecompressor, UnknownFourCCAndBadFormatsFindNone)
{
    EXPECT_EQ(video_decompressor::locate(0, {}), nullptr);
    auto f = t::bitmap_format(16, 16, 24, mmioFOURCC('Q', 'Q', 'Q', 'Q'));
    EXPECT_EQ(video_decompressor::locate(mmioFOURCC('Q', 'Q', 'Q', 'Q'), f), nullptr);
    EXPECT_EQ(video_decompressor::locate(0, t::bitmap_format(0, 16, 24, 0)), nullptr);
    EXPECT_EQ(video_decompressor::locate(0, t::bitmap_format(-4, 16, 24, 0)), nullptr);
    EXPECT_EQ(video_decompressor::locate(0, t::bitmap_format(16, 0, 24, 0)), nullptr);
    // Uncompressed depths other than 8, 16, 24 and 32 bits.
    EXPECT_EQ(video_decompressor::locate(0, t::bitmap_format(16, 16, 12, 0)), nullptr);
    // A header whose biSize lies beyond the block.
    auto cut = t::bitmap_format(16, 16, 24, 0);
    cut[0] = 200;
    EXPECT_EQ(video_decompressor::locate(0, cut), nullptr);
}

TEST(VideoDecompressor, FourCCsUsersHaveOpenInAnyCase)
{
    for (const char* code : { "XVID", "xvid", "DIVX", "DX50", "FMP4", "MP4V", "mp4v", "MP42", "MP43", "DIV3",
             "MJPG", "mjpg", "cvid", "dvsd", "HFYU", "FFV1", "H264", "h264", "X264", "AVC1", "avc1", "MSVC",
             "CRAM", "IV32" }) {
        platform::FOURCC c = mmioFOURCC(code[0], code[1], code[2], code[3]);
        auto f = t::bitmap_format(32, 32, 24, c);
        EXPECT_NE(video_decompressor::locate(c, f), nullptr) << code;
    }
}

TEST(VideoDecompressor, HandlerServesWhenTheCompressionIsUnknown)
{
    auto f = t::bitmap_format(32, 32, 24, mmioFOURCC('Q', 'Q', 'Q', 'Q'));
    EXPECT_NE(video_decompressor::locate(mmioFOURCC('d', 'i', 'v', 'x'), f), nullptr);
}

TEST(VideoDecompressor, ShortUncompressedSampleIsBadSize)
{
    auto d = video_decompressor::locate(0, t::bitmap_format(8, 8, 24, 0));
    ASSERT_NE(d, nullptr);
    auto s = padded(std::vector<std::uint8_t>(8 * 8 * 3 - 1));
    EXPECT_EQ(d->decode(s.data(), s.size() - video_decompressor::input_padding), platform::ICERR_BADSIZE);
    std::vector<std::uint8_t> out(8 * 8 * 4);
    EXPECT_FALSE(d->next_frame(out.data(), 32));
}

class Uncompressed : public ::testing::TestWithParam<std::tuple<int, bool>> { };

TEST_P(Uncompressed, FramesComeOutAsWritten)
{
    auto [bits, top_down] = GetParam();
    const unsigned w = 37;
    const unsigned h = 21;
    t::avi_layout l;
    auto samples = t::uncompressed_samples(w, h, 3, bits, top_down, l);
    auto d = video_decompressor::locate(l.handler, l.format);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->width(), w);
    EXPECT_EQ(d->height(), h);
    std::vector<std::uint8_t> out(w * h * 4);
    for (int i = 0; i < 3; ++i) {
        auto s = padded(samples[std::size_t(i)].data);
        EXPECT_EQ(d->decode(s.data(), s.size() - video_decompressor::input_padding), platform::ICERR_OK);
        ASSERT_TRUE(d->next_frame(out.data(), w * 4));
        EXPECT_EQ(out, t::uncompressed_picture(w, h, i, bits)) << bits << " bits, frame " << i;
        EXPECT_FALSE(d->next_frame(out.data(), w * 4));
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, Uncompressed,
    ::testing::Combine(::testing::Values(8, 16, 24, 32), ::testing::Values(false, true)));

TEST(VideoDecompressor, BottomUpOutputRowsWithNegativeStep)
{
    const unsigned w = 5;
    const unsigned h = 4;
    t::avi_layout l;
    auto samples = t::uncompressed_samples(w, h, 1, 24, false, l);
    auto d = video_decompressor::locate(l.handler, l.format);
    auto s = padded(samples[0].data);
    d->decode(s.data(), samples[0].data.size());
    std::vector<std::uint8_t> out(w * h * 4);
    ASSERT_TRUE(d->next_frame(out.data() + (h - 1) * w * 4, -std::ptrdiff_t(w * 4)));
    auto expected = t::uncompressed_picture(w, h, 0, 24);
    for (unsigned y = 0; y < h; ++y)
        EXPECT_TRUE(std::equal(
            out.begin() + (h - 1 - y) * w * 4, out.begin() + (h - y) * w * 4, expected.begin() + y * w * 4));
}

// Bit-field masks sit right after the 40-byte core header: after a plain
// header, and inside the longer headers (108 and 124 bytes), whose end is
// where the image data would start.
TEST(VideoDecompressor, BitFieldMasksFollowTheCoreHeaderWhateverItsLength)
{
    const std::vector<std::uint8_t> masks_565 { 0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0 };
    // Pure red, then pure green, in 5-6-5 bits.
    const auto sample = padded({ 0x00, 0xF8, 0xE0, 0x07 });
    const std::vector<std::uint8_t> red_green { 0, 0, 255, 255, 0, 255, 0, 255 };
    for (std::uint32_t header_size : { 40u, 52u, 108u, 124u }) {
        std::vector<std::uint8_t> after(std::max<std::size_t>(header_size - 40, masks_565.size()), 0);
        for (std::size_t i = 0; i < masks_565.size(); ++i)
            after[i] = masks_565[i];
        auto format = t::bitmap_format(2, 1, 16, platform::BI_BITFIELDS, after);
        format[0] = static_cast<std::uint8_t>(header_size);
        auto d = video_decompressor::locate(0, format);
        ASSERT_NE(d, nullptr) << header_size;
        ASSERT_EQ(d->decode(sample.data(), 4), platform::ICERR_OK);
        std::vector<std::uint8_t> out(8);
        ASSERT_TRUE(d->next_frame(out.data(), 8));
        EXPECT_EQ(out, red_green) << header_size << "-byte header";
    }
}

TEST(VideoDecompressor, GarbageForACodecIsAnErrorNotACrash)
{
    platform::FOURCC c = mmioFOURCC('M', 'J', 'P', 'G');
    auto d = video_decompressor::locate(c, t::bitmap_format(64, 48, 24, c));
    ASSERT_NE(d, nullptr);
    auto s = padded(std::vector<std::uint8_t>(300, 0x5A));
    d->decode(s.data(), 300);
    d->finish();
    std::vector<std::uint8_t> out(64 * 48 * 4);
    while (d->next_frame(out.data(), 64 * 4)) { }
}

} // namespace

namespace {

template <class T> struct aligned_bytes {
    using value_type = T;
    aligned_bytes() = default;
    template <class U> aligned_bytes(const aligned_bytes<U>&) { }
    T* allocate(std::size_t n)
    {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(64)));
    }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t(64)); }
    template <class U> bool operator==(const aligned_bytes<U>&) const { return true; }
};

// The colour converter writes whole vector units; rows of a width that is
// not a multiple of them must not spill past the caller's last row, and the
// frame equals the reference decode whichever way its rows were written.
TEST(VideoDecompressor, CodecFramesStayWithinTheCallersRows)
{
    for (unsigned h : { 9u, 100u, 130u })
        for (unsigned w : { 1u, 17u, 33u, 50u, 64u, 96u }) {
            t::avi_layout l;
            auto samples
                = t::encoded_samples(w, h, 2, { "mpeg4", mmioFOURCC('F', 'M', 'P', '4'), 1, 0, 3 }, l);
            ASSERT_FALSE(samples.empty());
            std::string file = ::testing::TempDir() + "spill_" + std::to_string(::getpid()) + "_"
                + std::to_string(w) + "x" + std::to_string(h) + ".avi";
            t::write_avi(file, l, samples);
            auto reference = t::reference_decode(file);
            std::remove(file.c_str());
            ASSERT_EQ(reference.size(), 2u);
            auto d = video_decompressor::locate(l.handler, l.format);
            ASSERT_NE(d, nullptr);
            // Rows aligned to 16 bytes (written straight into) and not.
            std::vector<std::uint8_t, aligned_bytes<std::uint8_t>> storage(w * h * 4 + 256 + 4);
            for (std::size_t offset : { 0, 16, 4 }) {
                std::fill(storage.begin(), storage.end(), 0xEE);
                std::uint8_t* rows = storage.data() + offset;
                d->restart();
                for (const auto& sample : samples) {
                    auto s = padded(sample.data);
                    d->decode(s.data(), sample.data.size());
                    while (d->next_frame(rows, std::ptrdiff_t(w) * 4)) { }
                }
                d->finish();
                while (d->next_frame(rows, std::ptrdiff_t(w) * 4)) { }
                EXPECT_TRUE(std::all_of(rows + w * h * 4, storage.data() + storage.size(),
                    [](std::uint8_t b) { return b == 0xEE; }))
                    << w << " x " << h;
                EXPECT_TRUE(std::equal(reference[1].begin(), reference[1].end(), rows))
                    << w << " x " << h << " at " << offset << ": "
                    << t::psnr(rows, reference[1].data(), std::size_t(w) * h) << " dB";
            }
        }
}

// MPEG-4 decodes on two threads: the pictures are those of one thread,
// each frame may be written while the next sample decodes, and a sample's
// error comes with the next sample.
TEST(VideoDecompressor, DeltaCodecsDecodeSideBySideIntoTheSamePicturesAndReportErrorsOneSampleLater)
{
    constexpr unsigned w = 64;
    constexpr unsigned h = 48;
    t::avi_layout l;
    auto samples = t::encoded_samples(w, h, 12, { "mpeg4", mmioFOURCC('F', 'M', 'P', '4'), 250, 0, 3 }, l);
    ASSERT_FALSE(samples.empty());
    const std::string file = ::testing::TempDir() + "side_by_side_" + std::to_string(::getpid()) + ".avi";
    t::write_avi(file, l, samples);
    const auto reference = t::reference_decode(file);
    std::remove(file.c_str());
    ASSERT_EQ(reference.size(), samples.size());

    auto d = video_decompressor::locate(l.handler, l.format);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->lag(), 1);
    std::vector<std::uint8_t, aligned_bytes<std::uint8_t>> rows(w * h * 4);
    std::vector<std::vector<std::uint8_t>> frames;
    std::size_t next = 0;
    const auto feed = [&] {
        auto sample = padded(samples[next].data);
        EXPECT_EQ(d->decode(sample.data(), samples[next].data.size()), platform::ICERR_OK) << next;
        ++next;
    };
    bool finished = false;
    while (frames.size() < samples.size()) {
        if (d->start_frame(rows.data(), w * 4)) {
            if (next < samples.size())
                feed();
            d->wait_frame();
            frames.emplace_back(rows.begin(), rows.end());
        } else if (next < samples.size()) {
            feed();
        } else if (!finished) {
            finished = true;
            EXPECT_EQ(d->finish(), platform::ICERR_OK);
        } else {
            break;
        }
    }
    ASSERT_EQ(frames.size(), reference.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i], reference[i]) << "frame " << i;

    d->restart();
    auto key = padded(samples[0].data);
    auto garbage = padded(std::vector<std::uint8_t>(samples[1].data.size(), 0xA5));
    auto after = padded(samples[2].data);
    EXPECT_EQ(d->decode(key.data(), samples[0].data.size()), platform::ICERR_OK);
    EXPECT_EQ(d->decode(garbage.data(), samples[1].data.size()), platform::ICERR_OK);
    EXPECT_LT(d->decode(after.data(), samples[2].data.size()), 0);

    const platform::FOURCC mjpg = mmioFOURCC('M', 'J', 'P', 'G');
    EXPECT_EQ(video_decompressor::locate(mjpg, t::bitmap_format(64, 48, 24, mjpg))->lag(), 0);
    EXPECT_EQ(video_decompressor::locate(0, t::bitmap_format(8, 8, 24, 0))->lag(), 0);
}

} // namespace
