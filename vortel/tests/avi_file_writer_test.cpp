// AVI files written through the render settings, read back by the footage
// library's AVI footage and by the codec library's own demuxer.

#include "vortel/avi_file_writer.h"

#include "lumvex/avi/avi_file.h"
#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/avi/avi_reader.h"
#include "lumvex/cache/coordinator.h"
#include "lumvex/cache/disc_cache.h"
#include "lumvex/cache/mem_cache.h"
#include "platform/tests/avi_reference.h"
#include "platform/video/avi_file.h"
#include "platform/video/video_compressor.h"
#include "vortel/settings.h"
#include "vortel/tests/support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <system_error>

namespace {

using namespace vortel_test;
namespace t = platform::testing;

struct footage_caches {
    explicit footage_caches(const scratch_folder& folder)
        : disc(folder.file("disc") + "/", 1ull << 30, &deserializer)
    {
    }
    lumvex::mem_cache memory { 512u << 20 };
    lumvex::avi_frame_id_deserializer deserializer;
    lumvex::disc_cache disc;
    lumvex::coordinator coordinator { &memory, &disc };
};

bool lossless(const std::string& code)
{
    return code == "DIB " || code == "HFYU" || code == "FFV1" || code == "ULRG";
}

std::uint32_t fourcc(const std::string& code)
{
    return platform::mmioFOURCC(code[0], code[1], code[2], code[3]);
}

// Render settings with the compressor of that code chosen.
void choose(vortel::settings& s, const std::string& code)
{
    s.format = "avi";
    s.encoder.open_code(s.encoder_info, fourcc(code));
}

std::vector<std::uint8_t> source_pixels(const std::string& code, unsigned w, unsigned h, int i)
{
    return lossless(code) ? test_pixels(w, h, i) : smooth_picture(w, h, i);
}

void expect_matches(const std::string& code, const std::vector<std::uint8_t>& got,
    const std::vector<std::uint8_t>& expected, const std::string& where)
{
    ASSERT_EQ(got.size(), expected.size()) << where;
    if (lossless(code)) {
        EXPECT_TRUE(same_colours(got, expected)) << where;
    } else {
        EXPECT_GT(t::psnr(got.data(), expected.data(), got.size() / 4), 40.0) << where;
    }
}

class AviRoundTrip : public ::testing::TestWithParam<std::tuple<std::string, int>> { };

TEST_P(AviRoundTrip, OurFootageAndTheReferenceReadEveryFrameBack)
{
    const auto [code, frames] = GetParam();
    if (!platform::video_compressor::open(fourcc(code)))
        GTEST_SKIP() << code << " is not installed";
    scratch_folder folder;
    const unsigned w = 128;
    const unsigned h = 96;
    const std::string path = folder.file("clip.avi");
    {
        vortel::settings s;
        choose(s, code);
        auto writer = s.silent_open_writer({ w, h }, fraction(30000, 1001), path);
        ASSERT_NE(writer, nullptr);
        for (int i = 0; i < frames; ++i)
            writer->write(make_frame(w, h, source_pixels(code, w, h, i), i % 2 == 0));
        writer->finish();
    }
    std::vector<int> checked;
    for (int i = 0; i<frames; i += frames> 2 ? 37 : 1)
        checked.push_back(i);
    checked.push_back(frames - 1);

    footage_caches caches(folder);
    lumvex::avi_reader footage(path, &caches.coordinator, 8);
    ASSERT_EQ(footage.frame_count(), frames);
    EXPECT_EQ(footage.frame_size(), (types::extent<unsigned> { w, h }));
    EXPECT_EQ(footage.frame_rate().numerator, 30000);
    EXPECT_EQ(footage.frame_rate().denominator, 1001u);
    for (int i : checked) {
        auto image = footage.frame(i, 0, true);
        ASSERT_TRUE(image) << i;
        expect_matches(code, pixels_of(image->image), source_pixels(code, w, h, i),
            "footage frame " + std::to_string(i));
    }

    unsigned rw = 0;
    unsigned rh = 0;
    auto reference = t::reference_decode(path, &rw, &rh);
    ASSERT_EQ(int(reference.size()), frames);
    EXPECT_EQ(rw, w);
    EXPECT_EQ(rh, h);
    for (int i : checked)
        expect_matches(code, reference[std::size_t(i)], source_pixels(code, w, h, i),
            "reference frame " + std::to_string(i));
    auto summary = t::reference_summary(path, -1);
    EXPECT_EQ(summary.rate_numerator, 30000);
    EXPECT_EQ(summary.rate_denominator, 1001);
}

INSTANTIATE_TEST_SUITE_P(EveryCompressor, AviRoundTrip,
    ::testing::Combine(::testing::Values("DIB ", "MJPG", "FMP4", "HFYU", "FFV1", "ULRG", "ULY0", "H264"),
        ::testing::Values(1, 2, 300)),
    [](const auto& info) {
        std::string code = std::get<0>(info.param);
        if (code == "DIB ")
            code = "DIB";
        return code + "_" + std::to_string(std::get<1>(info.param));
    });

// Each compressor at an odd size, and at the limits of its own: one that
// takes the size writes frames that read back; one that refuses it says why,
// naming itself as it is offered and the size, and leaves no file behind. A
// reason ending in ": " is the codec library's, its own text following.
TEST(AviFileWriter, OddFrameSizesReadBackOrAreRefused)
{
    struct size_case {
        const char* code;
        unsigned width;
        unsigned height;
        std::string reason; // empty: the size is taken
    };
    const size_case cases[] = {
        { "DIB ", 321, 239, "" },
        { "MJPG", 321, 239, "" },
        { "FMP4", 321, 239, "" },
        { "HFYU", 321, 239, "" },
        { "FFV1", 321, 239, "" },
        { "ULRG", 321, 239, "" },
        { "ULY0", 321, 239, "Ut Video YUV 4:2:0 takes only even frame widths and heights (321 x 239)" },
        { "H264", 321, 239, "H.264 takes only even frame widths and heights (321 x 239)" },
        { "ULY0", 37, 24, "Ut Video YUV 4:2:0 takes only even frame widths and heights (37 x 24)" },
        { "H264", 38, 23, "H.264 takes only even frame widths and heights (38 x 23)" },
        { "FMP4", 8192, 16, "MPEG-4 Part 2 takes frames of at most 8191 x 8191 (8192 x 16)" },
        { "MJPG", 16384, 16384, "Motion JPEG refuses 16384 x 16384 frames: " },
    };
    for (const auto& k : cases) {
        const std::string where
            = std::string(k.code) + " " + std::to_string(k.width) + " x " + std::to_string(k.height);
        if (!platform::video_compressor::open(fourcc(k.code)))
            continue;
        scratch_folder folder;
        const unsigned w = k.width;
        const unsigned h = k.height;
        const std::string path = folder.file("odd.avi");
        vortel::settings s;
        choose(s, k.code);
        std::unique_ptr<vortel::writer> writer;
        try {
            writer = s.silent_open_writer({ w, h }, fraction(25, 1), path);
        } catch (const img::avi::exception& e) {
            const std::string got = e.what();
            const std::string expected = "video compression begin error: " + k.reason;
            EXPECT_FALSE(k.reason.empty()) << where << ": " << got;
            if (k.reason.back() == ' ') {
                EXPECT_EQ(got.compare(0, expected.size(), expected), 0) << where << ": " << got;
                EXPECT_GT(got.size(), expected.size()) << where;
            } else {
                EXPECT_EQ(got, expected) << where;
            }
            EXPECT_EQ(got.find(s.encoder_info.name), expected.size() - k.reason.size()) << where;
            EXPECT_EQ(std::distance(fs::directory_iterator(folder.root()), fs::directory_iterator()), 0)
                << where;
            continue;
        }
        ASSERT_TRUE(k.reason.empty()) << where << " was taken";
        for (int i = 0; i < 3; ++i)
            writer->write(make_frame(w, h, source_pixels(k.code, w, h, i)));
        writer->finish();
        writer.reset();
        unsigned rw = 0;
        unsigned rh = 0;
        auto reference = t::reference_decode(path, &rw, &rh);
        ASSERT_EQ(reference.size(), 3u) << where;
        EXPECT_EQ(rw, w) << where;
        EXPECT_EQ(rh, h) << where;
        footage_caches caches(folder);
        lumvex::avi_reader footage(path, &caches.coordinator, 8);
        ASSERT_EQ(footage.frame_count(), 3) << where;
        auto last = footage.frame(2, 0, true);
        ASSERT_TRUE(last) << where;
        if (lossless(k.code))
            EXPECT_TRUE(same_colours(pixels_of(last->image), source_pixels(k.code, w, h, 2))) << where;
        else
            EXPECT_GT(
                t::psnr(pixels_of(last->image).data(), source_pixels(k.code, w, h, 2).data(), w * h), 30.0)
                << where;
    }
}

TEST(AviFileWriter, ZeroRateIsRefusedBeforeTheFileIsMade)
{
    scratch_folder folder;
    vortel::settings s;
    choose(s, "MJPG");
    for (fraction rate : { fraction(0, 1), fraction(25, 0), fraction(-25, 1) }) {
        try {
            s.silent_open_writer({ 16, 16 }, rate, folder.file("a.avi"));
            FAIL();
        } catch (const img::avi::exception& e) {
            EXPECT_STREQ(e.what(), "invalid AVI frame rate");
        }
        EXPECT_FALSE(fs::exists(folder.file("a.avi")));
    }
}

TEST(AviFileWriter, EmptyOrHugeFrameSizeIsRefusedBeforeTheFileIsMade)
{
    scratch_folder folder;
    vortel::settings s;
    choose(s, "DIB ");
    for (types::extent<unsigned> size : { types::extent<unsigned> { 0, 16 },
             types::extent<unsigned> { 16, 0 }, types::extent<unsigned> { 1u << 20, 16 } }) {
        try {
            s.silent_open_writer(size, fraction(25, 1), folder.file("a.avi"));
            FAIL();
        } catch (const img::avi::exception& e) {
            EXPECT_STREQ(e.what(), "invalid AVI frame size");
        }
        EXPECT_FALSE(fs::exists(folder.file("a.avi")));
    }
}

// The message names the system's reason and the file. A folder that is a
// file stands for one that cannot be written (the tests may run as root,
// whom permissions do not stop).
TEST(AviFileWriter, FileThatCannotBeMadeIsAnOpenErrorNamingTheReasonAndTheFile)
{
    scratch_folder folder;
    std::ofstream(folder.file("plain")) << "a file, not a folder";
    vortel::settings s;
    choose(s, "MJPG");
    for (const auto& [path, reason] : { std::pair { folder.file("missing/a.avi"), ENOENT },
             std::pair { folder.file("plain/a.avi"), ENOTDIR } }) {
        try {
            s.silent_open_writer({ 16, 16 }, fraction(25, 1), path);
            FAIL() << path;
        } catch (const img::avi::exception& e) {
            EXPECT_EQ(std::string(e.what()),
                "AVI file open error: " + std::system_category().message(reason) + ": " + path);
        }
    }
    EXPECT_FALSE(fs::exists(folder.file("missing")));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.root()), fs::directory_iterator()), 1);
}

TEST(AviFileWriter, FrameOfAnotherSizeThrowsAndTheFileKeepsTheFramesBefore)
{
    scratch_folder folder;
    const std::string path = folder.file("a.avi");
    {
        vortel::settings s;
        choose(s, "DIB ");
        auto writer = s.silent_open_writer({ 16, 8 }, fraction(25, 1), path);
        writer->write(make_frame(16, 8, test_pixels(16, 8, 0)));
        writer->write(make_frame(16, 8, test_pixels(16, 8, 1)));
        try {
            writer->write(make_frame(16, 9, test_pixels(16, 9, 2)));
            FAIL();
        } catch (const img::avi::exception& e) {
            EXPECT_STREQ(e.what(),
                "frame size differs from AVI stream size: frame 2 is 16 x 9 pixels, the stream 16 x 8");
        }
        EXPECT_THROW(writer->write(make_frame(8, 8, test_pixels(8, 8, 2))), img::avi::exception);
        writer->finish();
    }
    platform::avi_file f;
    f.open(path);
    EXPECT_EQ(f.length(), 2);
    EXPECT_EQ(t::reference_decode(path).size(), 2u);
}

TEST(AviFileWriter, FinishThatCannotCompleteTheFileThrowsAndKeepsTheOldOne)
{
    scratch_folder folder;
    const std::string path = folder.file("a.avi");
    std::ofstream(path) << "old";
    vortel::settings s;
    choose(s, "DIB ");
    auto writer = s.silent_open_writer({ 16, 8 }, fraction(25, 1), path);
    writer->write(make_frame(16, 8, test_pixels(16, 8, 0)));
    // A file-size limit at the frame's end stands in for a full disc.
    std::uintmax_t written = 0;
    for (const auto& e : fs::directory_iterator(folder.root()))
        if (e.path() != fs::path(path))
            written = e.file_size();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = written;
    setrlimit(RLIMIT_FSIZE, &limited);
    std::string error;
    try {
        writer->finish();
    } catch (const img::avi::exception& e) {
        error = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(error, "AVI file close error: " + std::system_category().message(EFBIG) + ": " + path);
    EXPECT_EQ(fs::file_size(path), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.root()), fs::directory_iterator()), 1);
    // Nothing follows a finish, and the writer's end changes nothing more.
    EXPECT_THROW(writer->write(make_frame(16, 8, test_pixels(16, 8, 1))), img::avi::exception);
    writer.reset();
    EXPECT_EQ(fs::file_size(path), 3u);
}

// A failed render discards its writer: plain and field-rendered.
TEST(AviFileWriter, DiscardedFileLeavesTheOldOneAndNoTemporary)
{
    for (int field : { 0, 1 }) {
        scratch_folder folder;
        const std::string path = folder.file("a.avi");
        std::ofstream(path) << "old";
        vortel::settings s;
        choose(s, "DIB ");
        s.field = field;
        auto writer = s.silent_open_writer({ 16, 8 }, fraction(25, 1), path);
        for (int i = 0; i < 3; ++i)
            writer->write(make_frame(16, 8, test_pixels(16, 8, i)));
        writer->discard();
        EXPECT_EQ(fs::file_size(path), 3u) << field;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.root()), fs::directory_iterator()), 1) << field;
        // Nothing follows, and neither finish nor the writer's end brings
        // the frames back.
        EXPECT_THROW(
            {
                writer->write(make_frame(16, 8, test_pixels(16, 8, 3)));
                writer->write(make_frame(16, 8, test_pixels(16, 8, 4)));
            },
            img::avi::exception)
            << field;
        writer->finish();
        writer.reset();
        EXPECT_EQ(fs::file_size(path), 3u) << field;
    }
}

TEST(AviFileWriter, AlphaChoosesThirtyTwoBitFrames)
{
    scratch_folder folder;
    for (bool alpha : { false, true }) {
        const std::string path = folder.file(alpha ? "alpha.avi" : "plain.avi");
        vortel::settings s;
        choose(s, "DIB ");
        s.alpha = alpha;
        {
            auto writer = s.silent_open_writer({ 8, 4 }, fraction(25, 1), path);
            writer->write(make_frame(8, 4, test_pixels(8, 4, 0)));
            writer->finish();
        }
        platform::avi_file f;
        f.open(path);
        platform::BITMAPINFOHEADER h;
        ASSERT_TRUE(platform::read_bitmap_header(f.format(), h));
        EXPECT_EQ(h.biBitCount, alpha ? 32 : 24);
        std::vector<std::uint8_t> sample;
        f.read_sample(0, sample);
        if (alpha) {
            // The alpha channel is stored: pixel 0 of the bottom row.
            auto p = test_pixels(8, 4, 0);
            EXPECT_EQ(sample[3], p[(3 * 8) * 4 + 3]);
        }
    }
}

TEST(AviFileWriter, TwoWritersFromOneSettingsObjectAtOnce)
{
    scratch_folder folder;
    vortel::settings s;
    choose(s, "FMP4");
    auto a = s.silent_open_writer({ 32, 32 }, fraction(25, 1), folder.file("a.avi"));
    auto b = s.silent_open_writer({ 64, 48 }, fraction(25, 1), folder.file("b.avi"));
    for (int i = 0; i < 5; ++i) {
        a->write(make_frame(32, 32, smooth_picture(32, 32, i)));
        b->write(make_frame(64, 48, smooth_picture(64, 48, i)));
    }
    a->finish();
    b->finish();
    EXPECT_EQ(t::reference_decode(folder.file("a.avi")).size(), 5u);
    EXPECT_EQ(t::reference_decode(folder.file("b.avi")).size(), 5u);
}

// Past 1 GiB the file continues in OpenDML form; large uncompressed frames
// get there in a few writes. The folder is removed at the end.
TEST(AviFileWriter, FilePastOneGibibyteReadsBack)
{
    scratch_folder folder;
    // The file, the disc cache's copy of the last frame and some room for
    // whatever else writes there at the same time.
    const std::uintmax_t needed = std::uintmax_t(3) << 29;
    if (fs::space(folder.root()).available < needed)
        GTEST_SKIP() << "the temporary folder has no room for a file past 1 GiB";
    const std::string path = folder.file("large.avi");
    const unsigned w = 4096;
    const unsigned h = 4096;
    const int frames = 17; // 17 x 64 MiB
    frame f;
    f.top_down = false;
    f.resize(w, h, 4);
    f.update_rows();
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            f.row(y)[x]
                = img::BGRA<unsigned char> { std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y), 255 };
    {
        vortel::settings s;
        choose(s, "DIB ");
        s.alpha = true;
        auto writer = s.silent_open_writer({ w, h }, fraction(25, 1), path);
        for (int i = 0; i < frames; ++i) {
            f.row(0)[0].r = std::uint8_t(i);
            writer->write(f);
        }
        writer->finish();
    }
    EXPECT_GT(fs::file_size(path), std::uint64_t(1) << 30);
    platform::avi_file file;
    file.open(path);
    EXPECT_EQ(file.source(), platform::avi_file::index_source::super_index);
    EXPECT_EQ(file.length(), frames);

    {
        footage_caches caches(folder);
        lumvex::avi_reader footage(path, &caches.coordinator, 1);
        ASSERT_EQ(footage.frame_count(), frames);
        auto last = footage.frame(frames - 1, 0, true);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->image.row(0)[0].r, frames - 1);
        EXPECT_EQ(last->image.row(h - 1)[w - 1].g, std::uint8_t(h - 1));
    }

    auto summary = t::reference_summary(path, frames - 1);
    EXPECT_EQ(summary.packets, frames);
    EXPECT_EQ(summary.width, w);
    EXPECT_EQ(summary.height, h);
    ASSERT_EQ(summary.frame.size(), std::size_t(w) * h * 4);
    EXPECT_EQ(summary.frame[2], frames - 1);
    fs::remove(path);
}

} // namespace
