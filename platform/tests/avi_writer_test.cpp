#include "platform/video/avi_writer.h"

#include "platform/tests/avi_samples.h"
#include "platform/tests/folder_test.h"
#include "platform/tests/fsync_stand_in.h"
#include "platform/video/video_compressor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::avi_file;
using platform::avi_writer;
using platform::mmioFOURCC;
namespace t = platform::testing;
namespace fs = std::filesystem;

class AviWriter : public t::folder_test {
protected:
    // Writes `frames` uncompressed 24-bit frames of w x h; key flags on every
    // third frame only, so that the index's flags are seen.
    void write_frames(
        avi_writer& w, const std::string& path, int frames, unsigned width = 40, unsigned height = 24)
    {
        ASSERT_EQ(w.open(path), 0);
        platform::AVISTREAMINFO info;
        info.fccType = platform::streamtypeVIDEO;
        info.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
        info.dwScale = 2;
        info.dwRate = 25;
        ASSERT_EQ(w.create_stream(info, std::int32_t(width), std::int32_t(height)), 0);
        t::avi_layout layout;
        m_samples = t::uncompressed_samples(width, height, frames, 24, false, layout);
        ASSERT_EQ(w.set_format(layout.format), 0);
        for (int i = 0; i < frames; ++i) {
            const auto& s = m_samples[std::size_t(i)].data;
            ASSERT_EQ(
                w.write(s.data(), std::uint32_t(s.size()), i % 3 == 0 ? platform::AVIIF_KEYFRAME : 0), 0);
        }
    }

    std::vector<t::avi_sample> m_samples;
};

TEST_F(AviWriter, FileInAMissingFolderIsNotCreated)
{
    avi_writer w;
    EXPECT_EQ(w.open(file("missing/a.avi")), ENOENT);
    EXPECT_FALSE(w.is_open());
    fs::create_directories(file("folder.avi"));
    EXPECT_EQ(w.open(file("folder.avi")), EISDIR);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

TEST_F(AviWriter, StepsOutOfOrderAreRefused)
{
    avi_writer w;
    std::uint8_t byte = 0;
    EXPECT_EQ(w.write(&byte, 1, 0), EINVAL);
    ASSERT_EQ(w.open(file("a.avi")), 0);
    platform::AVISTREAMINFO info;
    info.fccType = platform::streamtypeVIDEO;
    info.dwScale = 1;
    EXPECT_EQ(w.create_stream(info, 8, 8), EINVAL) << "rate 0";
    EXPECT_EQ(w.set_format(t::bitmap_format(8, 8, 24, 0)), EINVAL) << "no stream";
    info.dwRate = 25;
    ASSERT_EQ(w.create_stream(info, 8, 8), 0);
    EXPECT_EQ(w.create_stream(info, 8, 8), EINVAL);
    EXPECT_EQ(w.write(&byte, 1, 0), EINVAL) << "no format";
    EXPECT_EQ(w.set_format({ 1, 2, 3 }), EINVAL);
    // Closed without a format: no AVI, no file.
    EXPECT_EQ(w.close(), 0);
    EXPECT_FALSE(fs::exists(file("a.avi")));
}

TEST_F(AviWriter, ExistingFileStaysUntilTheNewOneIsClosed)
{
    const std::string path = file("a.avi");
    std::ofstream(path) << "old";
    {
        avi_writer w;
        write_frames(w, path, 2);
        EXPECT_EQ(fs::file_size(path), 3u);
        w.discard();
    }
    EXPECT_EQ(fs::file_size(path), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
    // Neither a writer that ends unclosed nor one opened again puts its
    // unfinished file in place.
    {
        avi_writer w;
        write_frames(w, path, 2);
        write_frames(w, path, 1);
    }
    EXPECT_EQ(fs::file_size(path), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
    {
        avi_writer w;
        write_frames(w, path, 2);
        EXPECT_EQ(w.close(), 0);
    }
    EXPECT_GT(fs::file_size(path), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
    avi_file f;
    f.open(path);
    EXPECT_EQ(f.length(), 2);
}

TEST_F(AviWriter, SmallFileIsAvi10WithIdx1)
{
    avi_writer w;
    const std::string path = file("small.avi");
    write_frames(w, path, 7);
    EXPECT_EQ(w.riff_lists(), 1u);
    ASSERT_EQ(w.close(), 0);

    avi_file f;
    f.open(path);
    EXPECT_EQ(f.source(), avi_file::index_source::idx1);
    ASSERT_EQ(f.length(), 7);
    EXPECT_EQ(f.stream_info().dwRate, 25u);
    EXPECT_EQ(f.stream_info().dwScale, 2u);
    EXPECT_EQ(f.stream_info().dwLength, 7u);
    EXPECT_EQ(f.stream_info().fccHandler, mmioFOURCC('D', 'I', 'B', ' '));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(f.is_key(i), i % 3 == 0) << i;
        std::vector<std::uint8_t> sample;
        f.read_sample(i, sample);
        EXPECT_EQ(sample, m_samples[std::size_t(i)].data) << i;
    }

    unsigned width = 0;
    unsigned height = 0;
    auto frames = t::reference_decode(path, &width, &height);
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_EQ(width, 40u);
    EXPECT_EQ(height, 24u);
    auto expected = t::uncompressed_picture(40, 24, 5, 24);
    EXPECT_EQ(t::psnr(frames[5].data(), expected.data(), 40 * 24), std::numeric_limits<double>::infinity());
}

std::uint32_t u32_at(const std::vector<char>& b, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

TEST_F(AviWriter, HeadersAndIdx1HoldTheStreamsFigures)
{
    avi_writer w;
    const std::string path = file("h.avi");
    write_frames(w, path, 4);
    ASSERT_EQ(w.close(), 0);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(b.size(), 200u);
    auto id = [&](std::size_t at) { return std::string(&b[at], 4); };
    EXPECT_EQ(id(0), "RIFF");
    EXPECT_EQ(u32_at(b, 4) + 8, b.size());
    EXPECT_EQ(id(8), "AVI ");
    EXPECT_EQ(id(12), "LIST");
    EXPECT_EQ(id(20), "hdrl");
    EXPECT_EQ(id(24), "avih");
    EXPECT_EQ(u32_at(b, 28), 56u);
    EXPECT_EQ(u32_at(b, 32), 80000u) << "microseconds per frame at 25/2";
    EXPECT_EQ(u32_at(b, 44), 0x10u) << "has an index";
    EXPECT_EQ(u32_at(b, 48), 4u) << "total frames";
    EXPECT_EQ(u32_at(b, 56), 1u) << "streams";
    EXPECT_EQ(u32_at(b, 60), 40u * 24 * 3) << "suggested buffer";
    EXPECT_EQ(u32_at(b, 64), 40u);
    EXPECT_EQ(u32_at(b, 68), 24u);
    EXPECT_EQ(id(88), "LIST");
    EXPECT_EQ(id(96), "strl");
    EXPECT_EQ(id(100), "strh");
    EXPECT_EQ(id(108), "vids");
    EXPECT_EQ(id(112), "DIB ");
    EXPECT_EQ(u32_at(b, 128), 2u);
    EXPECT_EQ(u32_at(b, 132), 25u);
    EXPECT_EQ(u32_at(b, 140), 4u) << "length";
    EXPECT_EQ(u32_at(b, 148), 0xFFFFFFFFu) << "quality";
    EXPECT_EQ(u32_at(b, 156), 0u) << "frame rectangle left and top";
    EXPECT_EQ(u32_at(b, 160), 40u | 24u << 16) << "frame rectangle right and bottom";
    EXPECT_EQ(id(164), "strf");
    EXPECT_EQ(u32_at(b, 168), 40u);

    const std::string text(b.begin(), b.end());
    const std::size_t movi = text.find("movi");
    const std::size_t idx1 = text.find("idx1");
    ASSERT_NE(movi, std::string::npos);
    ASSERT_NE(idx1, std::string::npos);
    EXPECT_EQ(u32_at(b, movi - 4) + movi, idx1) << "the movi list ends where idx1 starts";
    EXPECT_EQ(u32_at(b, idx1 + 4), 4u * 16);
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t e = idx1 + 8 + 16 * i;
        EXPECT_EQ(id(e), "00db");
        EXPECT_EQ(u32_at(b, e + 4), i % 3 == 0 ? 0x10u : 0u);
        EXPECT_EQ(u32_at(b, e + 12), 40u * 24 * 3);
        // Offsets count from the "movi" type to each chunk's header.
        const std::size_t chunk = movi + u32_at(b, e + 8);
        EXPECT_EQ(id(chunk), "00db");
        EXPECT_EQ(u32_at(b, chunk + 4), 40u * 24 * 3);
    }
    EXPECT_EQ(idx1 + 8 + 64, b.size());
}

TEST_F(AviWriter, ZeroFramesStillMakeAValidFile)
{
    avi_writer w;
    const std::string path = file("empty.avi");
    write_frames(w, path, 0);
    ASSERT_EQ(w.close(), 0);
    std::ifstream in(path, std::ios::binary);
    char head[12];
    in.read(head, 12);
    EXPECT_EQ(std::string(head, 4), "RIFF");
    EXPECT_EQ(std::string(head + 8, 4), "AVI ");
    std::uint32_t riff_size;
    std::memcpy(&riff_size, head + 4, 4);
    EXPECT_EQ(riff_size + 8, fs::file_size(path));
}

TEST_F(AviWriter, PastTheRiffLimitTheFileGoesOnWithOpenDmlIndexes)
{
    // Frames of 40 x 24 x 3 = 2880 bytes; 10 KiB lists hold three each.
    avi_writer w(10 * 1024);
    const std::string path = file("odml.avi");
    write_frames(w, path, 20);
    EXPECT_GE(w.riff_lists(), 6u);
    ASSERT_EQ(w.close(), 0);

    avi_file f;
    f.open(path);
    EXPECT_EQ(f.source(), avi_file::index_source::super_index);
    ASSERT_EQ(f.length(), 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(f.is_key(i), i % 3 == 0) << i;
        std::vector<std::uint8_t> sample;
        f.read_sample(i, sample);
        EXPECT_EQ(sample, m_samples[std::size_t(i)].data) << i;
    }
    auto frames = t::reference_decode(path);
    ASSERT_EQ(frames.size(), 20u);
    auto expected = t::uncompressed_picture(40, 24, 19, 24);
    EXPECT_EQ(t::psnr(frames[19].data(), expected.data(), 40 * 24), std::numeric_limits<double>::infinity());
}

TEST_F(AviWriter, FailedWriteIsReportedAndTheFileClosesWithTheFramesBefore)
{
    avi_writer w;
    const std::string path = file("limited.avi");
    write_frames(w, path, 3);
    ASSERT_FALSE(HasFatalFailure());
    // A file-size limit stands in for a full disc.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    // The file being written is the only one in the folder.
    limited.rlim_cur = fs::file_size(fs::directory_iterator(m_folder)->path()) + 1000;
    setrlimit(RLIMIT_FSIZE, &limited);
    const auto& s = m_samples[0].data;
    int failure = 0;
    for (int i = 0; i < 5 && failure == 0; ++i)
        failure = w.write(s.data(), std::uint32_t(s.size()), platform::AVIIF_KEYFRAME);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(failure, EFBIG);
    ASSERT_EQ(w.close(), 0);
    avi_file f;
    f.open(path);
    EXPECT_EQ(f.length(), 3);
    EXPECT_EQ(t::reference_decode(path).size(), 3u);
}

// The bytes of a file.
std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(AviWriter, CloseThatCannotCompleteTheIndexKeepsTheOldFile)
{
    const std::string path = file("render.avi");
    std::ofstream(path) << "the earlier render";
    avi_writer w;
    write_frames(w, path, 4);
    ASSERT_FALSE(HasFatalFailure());
    // A file-size limit at the frames' end: the closing index cannot be
    // written.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    std::uintmax_t written = 0;
    for (const auto& e : fs::directory_iterator(m_folder))
        if (e.path() != fs::path(path))
            written = e.file_size();
    ASSERT_GT(written, 0u);
    limited.rlim_cur = written;
    setrlimit(RLIMIT_FSIZE, &limited);
    const int result = w.close();
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result, EFBIG);
    EXPECT_FALSE(w.is_open());
    EXPECT_TRUE(contents(path) == "the earlier render") << "the earlier render was replaced";
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
}

TEST_F(AviWriter, FinishedFileIsOnTheDiscBeforeItReplacesTheOld)
{
    const std::string path = file("render.avi");
    std::ofstream(path) << "the earlier render";
    t::take_synced_files();
    avi_writer w;
    write_frames(w, path, 3);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(w.close(), 0);
    struct stat target {
    }, folder {};
    ASSERT_EQ(::stat(path.c_str(), &target), 0);
    ASSERT_EQ(::stat(m_folder.c_str(), &folder), 0);
    const auto synced = t::take_synced_files();
    EXPECT_NE(
        std::find(synced.begin(), synced.end(), std::make_pair(target.st_dev, target.st_ino)), synced.end())
        << "the new file was not flushed";
    EXPECT_NE(
        std::find(synced.begin(), synced.end(), std::make_pair(folder.st_dev, folder.st_ino)), synced.end())
        << "the rename was not flushed";
}

// A flush that fails keeps the earlier file; but some network and FUSE
// mounts have no flush at all, and a render there is as safe as that file
// system makes it and must not be thrown away.
TEST_F(AviWriter, FileThatCannotBeFlushedDoesNotReplaceTheOldUnlessItsFileSystemHasNoFlush)
{
    for (const int error : { EIO, ENOSPC, EDQUOT, EINVAL, ENOTSUP, EOPNOTSUPP }) {
        const bool kept = error != EINVAL && error != ENOTSUP && error != EOPNOTSUPP;
        const std::string path = file("render.avi");
        std::ofstream(path) << "the earlier render";
        avi_writer w;
        write_frames(w, path, 3);
        ASSERT_FALSE(HasFatalFailure());
        int result = 0;
        {
            t::failing_file_syncs failing(error);
            result = w.close();
        }
        EXPECT_EQ(result, kept ? error : 0) << std::strerror(error);
        if (kept) {
            EXPECT_TRUE(contents(path) == "the earlier render") << "the earlier render was replaced";
        } else {
            avi_file read;
            EXPECT_NO_THROW(read.open(path)) << std::strerror(error);
            EXPECT_EQ(read.length(), 3) << std::strerror(error);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
    }
}

// A process number no process has: a child that has ended and been reaped.
pid_t ended_process()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST_F(AviWriter, TemporaryFilesNoWriterHoldsAreRemovedWhenARenderStarts)
{
    const pid_t ended = ended_process();
    ASSERT_GT(ended, 0);
    const std::string gone = std::to_string(ended);
    const std::string ours = std::to_string(::getpid());

    // A render of this process in progress in the same folder, and a file
    // that belongs to its temporary.
    avi_writer earlier;
    write_frames(earlier, file("earlier.avi"), 2);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
    const std::string held = fs::directory_iterator(m_folder)->path().string();
    const std::string member = held.substr(0, held.size() - 4) + ".0.tmp";
    std::ofstream(member) << "a file of the render in progress";

    // No writer holds these, whatever process number they carry; the last
    // two belong to such a file or to one that is gone.
    const std::vector<std::string> stale
        = { "render.avi.~" + gone + ".3.tmp", "other.avi.~" + gone + ".0.tmp",
              "x.~1.~" + gone + ".4294967295.tmp", "render.avi.~" + ours + ".3.tmp", "render.avi.~1.3.tmp",
              "render.avi.~" + gone + ".3.0.tmp", "seq_[##].png.~" + gone + ".9.4294967295.tmp" };
    const std::vector<std::string> kept = { "notes.txt",
        // Names our writers never make.
        "render.avi.~" + gone + ".tmp", "render.avi.~" + gone + ".3.tmp.bak",
        "render.avi.~0" + gone + ".3.tmp", "render.avi.~" + gone + ".03.tmp",
        "render.avi.~" + gone + ".4294967296.tmp", "render.avi.~+" + gone + ".3.tmp",
        "render.avi.~" + gone + ".3.TMP", ".~" + gone + ".3.tmp", "render.avi.~0.3.tmp",
        "render.avi~" + gone + ".3.tmp", "render.avi.~" + gone + "..tmp", "render.avi.~" + gone + ".3.00.tmp",
        "render.avi.~" + gone + ".3.0.0.tmp" };
    for (const auto& name : stale)
        std::ofstream(file(name)) << "left by a crash";
    for (const auto& name : kept)
        std::ofstream(file(name)) << "not ours to remove";
    // Of the right name, but no regular file.
    fs::create_directory(file("folder.~" + gone + ".5.tmp"));
    fs::create_symlink(file("notes.txt"), file("link.~" + gone + ".6.tmp"));
    // Another user's, where this test may give a file away (as root).
    const std::string others = file("shared.avi.~" + gone + ".7.tmp");
    std::ofstream(others) << "another user's";
    const bool given_away = ::chown(others.c_str(), 65534, 65534) == 0;

    avi_writer w;
    write_frames(w, file("render.avi"), 2);
    ASSERT_FALSE(HasFatalFailure());
    for (const auto& name : stale)
        EXPECT_FALSE(fs::exists(file(name))) << name;
    for (const auto& name : kept)
        EXPECT_TRUE(fs::exists(file(name))) << name;
    EXPECT_TRUE(fs::is_directory(file("folder.~" + gone + ".5.tmp")));
    EXPECT_TRUE(fs::is_symlink(file("link.~" + gone + ".6.tmp")));
    EXPECT_TRUE(fs::exists(file("notes.txt")));
    EXPECT_EQ(fs::exists(others), given_away);
    EXPECT_TRUE(fs::exists(member));
    EXPECT_EQ(w.close(), 0);
    EXPECT_EQ(earlier.close(), 0) << "the render in progress lost its file";
    avi_file f;
    f.open(file("earlier.avi"));
    EXPECT_EQ(f.length(), 2);
}

} // namespace
