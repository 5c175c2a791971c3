#include "platform/kernel/module.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/kernel/system_error.h"

TEST(module, FileNameIsTheRunningExecutable)
{
    std::string path;
    ASSERT_TRUE(platform::module_file_name(path));
    EXPECT_EQ(path.front(), '/');
    EXPECT_NE(path.find("platform_tests"), std::string::npos) << path;

    platform::attribute_file file;
    ASSERT_TRUE(file.open(path));
    platform::file_time written;
    ASSERT_TRUE(file.last_write_time(written));
    EXPECT_GT(written.seconds, 0);
}

TEST(module, OpeningMissingFileRecordsError)
{
    platform::set_last_error(0);
    platform::attribute_file file;
    EXPECT_FALSE(file.open("/nonexistent/folder/file"));
    EXPECT_FALSE(file.is_open());
    EXPECT_EQ(platform::last_error(), ENOENT);
}

TEST(module, FileTimeConvertsToUtcCalendar)
{
    platform::system_time date;
    ASSERT_TRUE(platform::file_time_to_system_time({ 951782400 + 86399, 250000000 }, date));
    EXPECT_EQ(date.year, 2000);
    EXPECT_EQ(date.month, 2);
    EXPECT_EQ(date.day, 29);
    EXPECT_EQ(date.hour, 23);
    EXPECT_EQ(date.minute, 59);
    EXPECT_EQ(date.second, 59);
    EXPECT_EQ(date.milliseconds, 250);
}

TEST(module, TimeOutsideCalendarFails)
{
    platform::system_time date;
    platform::set_last_error(0);
    EXPECT_FALSE(platform::file_time_to_system_time({ INT64_MAX, 0 }, date));
    EXPECT_NE(platform::last_error(), 0);
    EXPECT_FALSE(platform::file_time_to_system_time({ 0, -1 }, date));
}
