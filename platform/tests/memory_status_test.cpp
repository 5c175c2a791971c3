#include "platform/kernel/memory_status.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/kernel/system_error.h"

namespace {

std::string write_temporary(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + name + "_" + std::to_string(::getpid());
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(memory_status, ReportsTheLiveSystem)
{
    platform::memory_status status;
    ASSERT_TRUE(platform::global_memory_status(status));
    EXPECT_GT(status.available_physical, 0u);
    EXPECT_GE(status.total_physical, status.available_physical);
    EXPECT_GE(status.available_page_file, status.available_physical);
    EXPECT_GT(status.available_virtual, 0u);
}

TEST(memory_status, ReadsKilobyteLinesAsBytes)
{
    const std::string path = write_temporary("meminfo_ok",
        "MemTotal:       8000 kB\nMemFree:  100 kB\nMemAvailable:   2048 kB\nSwapFree:  1024 kB\n");
    platform::memory_status status;
    ASSERT_TRUE(platform::read_meminfo(path, status));
    EXPECT_EQ(status.total_physical, 8000u * 1024u);
    EXPECT_EQ(status.available_physical, 2048u * 1024u);
    EXPECT_EQ(status.available_page_file, 3072u * 1024u);
    std::remove(path.c_str());
}

TEST(memory_status, HugeFiguresSaturateInsteadOfWrapping)
{
    // Each figure alone fits 64 bits in bytes; their sum does not.
    const std::string path = write_temporary(
        "meminfo_huge", "MemAvailable: 18014398509481983 kB\nSwapFree: 18014398509481983 kB\n");
    platform::memory_status status;
    ASSERT_TRUE(platform::read_meminfo(path, status));
    EXPECT_EQ(status.available_physical, 18014398509481983u * 1024u);
    EXPECT_GE(status.available_page_file, status.available_physical);
    std::remove(path.c_str());
}

TEST(memory_status, MissingFileOrMissingFigureFails)
{
    platform::memory_status status;
    platform::set_last_error(0);
    EXPECT_FALSE(platform::read_meminfo(::testing::TempDir() + "no_such_meminfo", status));
    EXPECT_EQ(platform::last_error(), ENOENT);

    const std::string path = write_temporary("meminfo_bad", "MemTotal: 8000 kB\nMemAvailable: many kB\n");
    platform::set_last_error(0);
    EXPECT_FALSE(platform::read_meminfo(path, status));
    EXPECT_EQ(platform::last_error(), ENODATA);
    EXPECT_EQ(status.available_physical, 0u);
    std::remove(path.c_str());
}

} // namespace
