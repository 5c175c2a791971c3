// Message boxes without an installed presenter (as in every library that
// links its own copy of the window layer): the diagnostic answer while no
// toolkit loop runs, the native box a user can see while one runs, and the
// same for an error a window handler reports. Run under Xvfb.

#include <gtest/gtest.h>

#include <wx/app.h>

#include "platform/gui/app.h"
#include "platform/gui/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

const char* const g_title = "Tavelo message test";

// Presses `key` in the first window titled g_title once it appears, from
// outside the process (the box's own loop runs no timers of ours), and
// leaves a flag file when it saw the window.
std::string AnswerFromOutside(const std::string& key)
{
    const std::string flag = ::testing::TempDir() + "tavelo_message_box_seen_" + std::to_string(::getpid());
    std::remove(flag.c_str());
    const std::string script
        = std::string("for i in $(seq 100); do w=$(xdotool search --onlyvisible --name '^") + g_title
        + "$' | head -1); if [ -n \"$w\" ]; then touch '" + flag
        + "'; sleep 0.3; xdotool windowfocus --sync $w key " + key + "; exit; fi; sleep 0.1; done &";
    EXPECT_EQ(std::system(script.c_str()), 0);
    return flag;
}

// Runs `call` inside the toolkit's loop and answers its result.
int InLoop(const std::function<int()>& call)
{
    int result = -1;
    platform::gui::post([&] {
        result = call();
        platform::gui::quit(0);
    });
    platform::gui::run_loop();
    return result;
}

class MessageBoxWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!platform::gui::start())
            GTEST_SKIP() << "no display";
        wxTheApp->SetAppDisplayName(g_title);
        m_previous = platform::set_message_box_presenter(nullptr);
    }
    void TearDown() override { platform::set_message_box_presenter(m_previous); }

    platform::message_box_presenter m_previous = nullptr;
};

TEST_F(MessageBoxWindow, OutsideTheLoopTheTextGoesToTheDiagnosticStreamWithTheFirstAnswer)
{
    EXPECT_FALSE(platform::toolkit_loop_running());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(platform::MessageBox("Cache folder missing.", platform::MB_OKCANCEL), platform::IDOK);
    EXPECT_EQ(platform::MessageBox("Replace it?", platform::MB_YESNO), platform::IDYES);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cache folder missing.\nReplace it?\n");
}

TEST_F(MessageBoxWindow, WhileTheLoopRunsTheUserSeesAndAnswersTheBox)
{
    const std::string flag = AnswerFromOutside("Escape");
    const int answer = InLoop([] {
        EXPECT_TRUE(platform::toolkit_loop_running());
        return platform::MessageBox("Please enter a cache size of zero or more megabytes.",
            platform::MB_OKCANCEL | platform::MB_ICONEXCLAMATION);
    });
    EXPECT_TRUE(std::ifstream(flag).good());
    std::remove(flag.c_str());
    EXPECT_EQ(answer, platform::IDCANCEL);
}

TEST_F(MessageBoxWindow, AnErrorInAWindowHandlerIsShownWhenNoReportIsInstalled)
{
    platform::gui::set_error_report({});
    const std::string flag = AnswerFromOutside("Return");
    ::testing::internal::CaptureStderr();
    InLoop([] {
        try {
            throw std::runtime_error("The cache folder cannot be created.");
        } catch (...) {
            platform::gui::report_current_exception();
        }
        return 0;
    });
    const std::string diagnostic = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::ifstream(flag).good());
    std::remove(flag.c_str());
    EXPECT_NE(diagnostic.find("The cache folder cannot be created."), std::string::npos);
}

} // namespace
