#include "platform/video/avi_file.h"

#include "platform/tests/avi_samples.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

using platform::avi_error;
using platform::avi_file;
using platform::testing::avi_layout;
using platform::testing::avi_sample;

class AviFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("avi_file_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string path(const char* name) const { return (m_dir / name).string(); }

    // Ten frames of varying sizes; every third one a key frame.
    std::vector<avi_sample> samples() const
    {
        std::vector<avi_sample> s;
        for (int i = 0; i < 10; ++i) {
            avi_sample a;
            a.data.assign(std::size_t(17 + i * 3), std::uint8_t(i + 1));
            a.key = i % 3 == 0;
            s.push_back(a);
        }
        return s;
    }

    avi_layout layout(avi_layout::index_kind index) const
    {
        avi_layout l;
        l.handler = platform::mmioFOURCC('X', 'V', 'I', 'D');
        l.format = platform::testing::bitmap_format(32, 16, 24, l.handler);
        l.index = index;
        l.frames_per_riff = 4;
        return l;
    }

    void expect_samples(const avi_file& f, const std::vector<avi_sample>& s, bool keys = true)
    {
        ASSERT_EQ(f.length(), int(s.size()));
        std::vector<std::uint8_t> buffer;
        for (int i = 0; i < f.length(); ++i) {
            f.read_sample(i, buffer, 8);
            ASSERT_EQ(buffer.size(), s[std::size_t(i)].data.size() + 8) << i;
            EXPECT_TRUE(
                std::equal(s[std::size_t(i)].data.begin(), s[std::size_t(i)].data.end(), buffer.begin()));
            EXPECT_EQ(buffer.back(), 0);
            if (keys) {
                EXPECT_EQ(f.is_key(i), s[std::size_t(i)].key) << i;
            }
        }
    }

    std::filesystem::path m_dir;
};

TEST_F(AviFile, MissingFileIsRefused)
{
    avi_file f;
    EXPECT_THROW(f.open(path("none.avi")), avi_error);
    EXPECT_FALSE(f.is_open());
}

TEST_F(AviFile, NonRiffAndEmptyFilesAreRefused)
{
    std::ofstream(path("text.avi")) << "this is not a video file at all";
    std::ofstream(path("empty.avi"));
    avi_file f;
    EXPECT_THROW(f.open(path("text.avi")), avi_error);
    EXPECT_THROW(f.open(path("empty.avi")), avi_error);
    EXPECT_THROW(f.open(m_dir.string()), avi_error);
}

TEST_F(AviFile, FileWithoutVideoStreamIsRefused)
{
    auto l = layout(avi_layout::index_kind::idx1);
    platform::testing::write_avi(path("a.avi"), l, samples());
    // Turn the stream into an audio stream.
    std::fstream io(path("a.avi"), std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(io)), std::istreambuf_iterator<char>());
    auto at = bytes.find("vids");
    ASSERT_NE(at, std::string::npos);
    io.seekp(std::streamoff(at));
    io.write("auds", 4);
    io.close();
    avi_file f;
    EXPECT_THROW(f.open(path("a.avi")), avi_error);
}

TEST_F(AviFile, AbsurdFormatBlockIsRefused)
{
    auto l = layout(avi_layout::index_kind::idx1);
    platform::testing::write_avi(path("a.avi"), l, samples());
    std::fstream io(path("a.avi"), std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(io)), std::istreambuf_iterator<char>());
    auto at = bytes.find("strf");
    io.seekp(std::streamoff(at + 4));
    io.write("\xF0\xFF\xFF\x7F", 4);
    io.close();
    avi_file f;
    // The block is cut by its list: what remains is read, or the file refused.
    try {
        f.open(path("a.avi"));
        EXPECT_LE(f.format().size(), std::filesystem::file_size(path("a.avi")));
    } catch (const avi_error&) {
    }
}

TEST_F(AviFile, Idx1IndexGivesSamplesAndKeyFrames)
{
    auto s = samples();
    platform::testing::write_avi(path("a.avi"), layout(avi_layout::index_kind::idx1), s);
    avi_file f;
    f.open(path("a.avi"));
    EXPECT_EQ(f.source(), avi_file::index_source::idx1);
    EXPECT_EQ(f.stream_info().fccHandler, platform::mmioFOURCC('X', 'V', 'I', 'D'));
    EXPECT_EQ(f.stream_info().dwRate, 25u);
    expect_samples(f, s);
    EXPECT_EQ(f.find_sample(5, platform::FIND_PREV | platform::FIND_KEY), 3);
    EXPECT_EQ(f.find_sample(6, platform::FIND_PREV | platform::FIND_KEY), 6);
    EXPECT_EQ(f.find_sample(7, platform::FIND_NEXT | platform::FIND_KEY), 9);
    EXPECT_EQ(f.find_sample(10, platform::FIND_PREV | platform::FIND_KEY), -1);
    EXPECT_EQ(f.find_sample(-1, platform::FIND_NEXT | platform::FIND_KEY), -1);
    std::vector<std::uint8_t> buffer;
    EXPECT_THROW(f.read_sample(10, buffer), avi_error);
    EXPECT_THROW(f.read_sample(-1, buffer), avi_error);
}

TEST_F(AviFile, OpenDmlSuperIndexAcrossRiffLists)
{
    auto s = samples();
    platform::testing::write_avi(path("a.avi"), layout(avi_layout::index_kind::opendml), s);
    avi_file f;
    f.open(path("a.avi"));
    EXPECT_EQ(f.source(), avi_file::index_source::super_index);
    expect_samples(f, s);
}

TEST_F(AviFile, MissingIndexIsRebuiltFromTheChunks)
{
    auto s = samples();
    platform::testing::write_avi(path("a.avi"), layout(avi_layout::index_kind::none), s);
    avi_file f;
    f.open(path("a.avi"));
    EXPECT_EQ(f.source(), avi_file::index_source::scan);
    expect_samples(f, s, false);
    // Without an index the key frames of a delta codec are unknown: only
    // the first frame is one, so decoding always starts there.
    EXPECT_TRUE(f.is_key(0));
    EXPECT_FALSE(f.is_key(3));
}

TEST_F(AviFile, RebuiltIndexOfUncompressedFramesHasOnlyKeyFrames)
{
    avi_layout l;
    auto s = platform::testing::uncompressed_samples(8, 4, 5, 24, false, l);
    l.index = avi_layout::index_kind::none;
    platform::testing::write_avi(path("a.avi"), l, s);
    avi_file f;
    f.open(path("a.avi"));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(f.is_key(i));
}

TEST_F(AviFile, DamagedIdx1FallsBackToTheChunks)
{
    auto s = samples();
    platform::testing::write_avi(path("a.avi"), layout(avi_layout::index_kind::idx1), s);
    std::fstream io(path("a.avi"), std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(io)), std::istreambuf_iterator<char>());
    auto at = bytes.rfind("idx1");
    // Overwrite the first entry's offset.
    io.seekp(std::streamoff(at + 8 + 8));
    io.write("\x01\x02\x03\x04", 4);
    io.close();
    avi_file f;
    f.open(path("a.avi"));
    EXPECT_EQ(f.source(), avi_file::index_source::scan);
    expect_samples(f, s, false);
}

TEST_F(AviFile, DamagedSuperIndexFallsBackToTheChunks)
{
    auto s = samples();
    platform::testing::write_avi(path("a.avi"), layout(avi_layout::index_kind::opendml), s);
    std::fstream io(path("a.avi"), std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(io)), std::istreambuf_iterator<char>());
    auto at = bytes.find("indx");
    // A first entry pointing far beyond the end of the file.
    io.seekp(std::streamoff(at + 8 + 24 + 4));
    io.write("\xFF\xFF\xFF\x7F", 4);
    io.close();
    avi_file f;
    f.open(path("a.avi"));
    EXPECT_EQ(f.source(), avi_file::index_source::scan);
    expect_samples(f, s, false);
}

TEST_F(AviFile, FileCutInTheMiddleKeepsItsWholeSamples)
{
    auto s = samples();
    platform::testing::write_avi(path("a.avi"), layout(avi_layout::index_kind::idx1), s);
    auto size = std::filesystem::file_size(path("a.avi"));
    std::filesystem::resize_file(path("a.avi"), size / 2 + 20);
    avi_file f;
    f.open(path("a.avi"));
    EXPECT_EQ(f.source(), avi_file::index_source::scan);
    ASSERT_GT(f.length(), 0);
    ASSERT_LT(f.length(), 10);
    s.resize(std::size_t(f.length()));
    expect_samples(f, s, false);
}

TEST_F(AviFile, CloseForgetsTheFile)
{
    platform::testing::write_avi(path("a.avi"), layout(avi_layout::index_kind::idx1), samples());
    avi_file f;
    f.open(path("a.avi"));
    f.close();
    EXPECT_FALSE(f.is_open());
    EXPECT_EQ(f.length(), 0);
    EXPECT_EQ(f.find_sample(0, platform::FIND_PREV | platform::FIND_KEY), -1);
}

TEST(FourCC, TextKeepsTheFileOrder)
{
    EXPECT_EQ(platform::fourcc_text(platform::mmioFOURCC('d', 'v', 's', 'd')), "dvsd");
}

} // namespace
