#include "foundation/files/byte_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string file_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(WriteBinaryFile, ReplacesTheFileALinkPointsToWithItsPermissionsAndKeepsTheLink)
{
    const fs::path folder
        = fs::temp_directory_path() / ("foundation_write_binary_file_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "store");
    const fs::path real = folder / "store" / "mask.bmp";
    const fs::path link = folder / "mask.bmp";
    EXPECT_EQ(xtd::write_binary_file(real.string(), [](std::ostream& out) { out.write("old", 3); }), 3u);
    const auto shared
        = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write;
    fs::permissions(real, shared);
    fs::create_symlink(fs::path("store") / "mask.bmp", link);

    EXPECT_EQ(xtd::write_binary_file(link.string(), [](std::ostream& out) { out.write("newer", 5); }), 5u);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(file_text(real), "newer");
    EXPECT_EQ(fs::status(real).permissions(), shared);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "store"), fs::directory_iterator()), 1);
    fs::remove_all(folder);
}

} // namespace
