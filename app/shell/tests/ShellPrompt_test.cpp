#include "app/shell/ShellPrompt.h"

#include <gtest/gtest.h>
#include <thread>

#include "platform/gui/app.h"

namespace {

TEST(ShellPrompt, QuestionsFromAnotherThreadAreCancelledAndNoticesWaitForTheUIThread)
{
    ShellPrompt prompt;
    My::Prompt* previous = My::SetPrompt(&prompt);
    prompt.QueueAnswer(My::IDOK);
    int answer = 0;
    int notice = 0;
    std::thread worker([&] {
        answer = prompt.MessageBox("Close anyway?", My::MB_YESNO | My::MB_ICONQUESTION);
        notice = prompt.MessageBox("Rendering failed.", My::MB_ICONEXCLAMATION);
    });
    worker.join();
    EXPECT_EQ(answer, My::IDCANCEL);
    EXPECT_EQ(notice, My::IDOK);
    EXPECT_TRUE(prompt.GetShown().empty());
    // The notice shows once the UI thread runs its posted calls.
    platform::gui::run_posted();
    ASSERT_EQ(prompt.GetShown().size(), 1u);
    EXPECT_EQ(prompt.GetShown()[0], "Rendering failed.");
    My::SetPrompt(previous);
}

} // namespace
