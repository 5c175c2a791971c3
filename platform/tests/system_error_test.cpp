#include "platform/kernel/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

TEST(system_error, LastErrorBelongsToEachThread)
{
    platform::set_last_error(EACCES);
    int other = -1;
    std::thread([&other] {
        other = platform::last_error();
        platform::set_last_error(ENOENT);
    }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(platform::last_error(), EACCES);
}

TEST(system_error, LastErrorSurvivesLaterChangesOfErrno)
{
    errno = ENOENT;
    EXPECT_EQ(platform::set_last_error_from_errno(), ENOENT);
    errno = 0;
    EXPECT_EQ(platform::last_error(), ENOENT);
}

TEST(system_error, TextForKnownCodeHasNoLineBreak)
{
    const std::string text = platform::system_error_text(ENOENT);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST(system_error, UnknownCodeHasNoText)
{
    EXPECT_EQ(platform::system_error_text(98765), "");
    EXPECT_EQ(platform::system_error_text(-3), "");
}
