#include "foundation/system/win32_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <regex>
#include <string>

#include "platform/kernel/system_error.h"

TEST(Win32Error, CarriesSystemTextAndFailedCall)
{
    platform::set_last_error(ENOENT);
    try {
        throw_win32_error("CreateFile");
        FAIL();
    } catch (const xtd::exception& error) {
        EXPECT_EQ(std::string(error.what()),
            "System error: " + platform::system_error_text(ENOENT) + "\nas a result of CreateFile");
    }
}

TEST(Win32Error, KeepsCodeWhenSystemHasNoText)
{
    platform::set_last_error(98765);
    const Win32Error error("\nas a result of GetFileTime");
    EXPECT_STREQ(error.what(), "System error: error code 98765\nas a result of GetFileTime");
}

TEST(Win32Error, ModuleFileDateIsYearMonthDay)
{
    const std::string date = module_file_date();
    EXPECT_TRUE(std::regex_match(date, std::regex("[0-9]{4,}\\.[01][0-9]\\.[0-3][0-9]"))) << date;
}
