#include "xmldoc/replace_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The error that fsync of a regular file answers in this test program; 0
// lets it flush.
std::atomic<int> failing_file_syncs { 0 };

} // namespace

// Stands in for the C library's fsync in this test program, so that a test
// can make flushing a file fail as a file system would. Exported, so that the
// library's own calls come here too.
extern "C" __attribute__((visibility("default"))) int fsync(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && failing_file_syncs != 0) {
        errno = failing_file_syncs;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace {

namespace fs = std::filesystem;

class ReplaceFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (fs::temp_directory_path() / "replace_file_test_XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        m_folder = name;
        std::ofstream(path()) << "the saved project";
    }
    void TearDown() override
    {
        failing_file_syncs = 0;
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    std::string path() const { return (m_folder / "project.tvp").string(); }
    std::string text() const
    {
        std::ifstream in(path(), std::ios::binary);
        std::ostringstream read;
        read << in.rdbuf();
        return read.str();
    }
    std::ptrdiff_t files() const
    {
        return std::distance(fs::directory_iterator(m_folder), fs::directory_iterator());
    }

    fs::path m_folder;
};

TEST_F(ReplaceFile, FileThatCannotBeFlushedDoesNotReplaceTheOld)
{
    for (const int error : { EIO, ENOSPC, EDQUOT }) {
        failing_file_syncs = error;
        try {
            xml::replace_file(path(), [](std::ostream& out) { out << "the new project"; });
            ADD_FAILURE() << "no failure for " << std::strerror(error);
        } catch (const std::ios_base::failure& e) {
            EXPECT_EQ(e.code().value(), error);
            EXPECT_NE(std::string(e.what()).find(path()), std::string::npos) << e.what();
        }
        failing_file_syncs = 0;
        EXPECT_EQ(text(), "the saved project");
        EXPECT_EQ(files(), 1);
    }
}

// Some network and FUSE mounts have no flush at all; a save there is as safe
// as that file system makes it, and must not be refused.
TEST_F(ReplaceFile, FileSystemWithoutFlushStillTakesTheSave)
{
    for (const int error : { EINVAL, ENOTSUP, EOPNOTSUPP }) {
        failing_file_syncs = error;
        const std::string saved = std::string("saved over ") + std::strerror(error);
        EXPECT_NO_THROW(xml::replace_file(path(), [&](std::ostream& out) { out << saved; }));
        failing_file_syncs = 0;
        EXPECT_EQ(text(), saved);
        EXPECT_EQ(files(), 1);
    }
}

} // namespace
