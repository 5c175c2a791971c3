#include <gtest/gtest.h>

#include <thread>

#include "platform/gui/app.h"
#include "platform/gui/wnd.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/dialogs/ProgressDlg.h"

TEST(ProgressDlg, StepAfterCancelAnswersFalseAndStillAdvances)
{
    My::ProgressDlg dlg;
    dlg.Create(nullptr, false);
    dlg.Start(10, 3);
    EXPECT_TRUE(dlg.Step());
    dlg.GetWindow().PressCancel();
    EXPECT_FALSE(dlg.Step());
    EXPECT_EQ(dlg.GetWindow().GetText(), "5 / 10");
    // A new start clears the flag.
    dlg.Start(10, 0);
    EXPECT_TRUE(dlg.Step());
}

TEST(ProgressDlg, ShowsPositionOfTotalAndTheDefaultCaption)
{
    My::ProgressDlg dlg;
    dlg.Create(nullptr, false);
    EXPECT_EQ(dlg.GetWindow().GetCaption(), "Rendering...");
    dlg.Start(120, 0);
    EXPECT_TRUE(dlg.GetWindow().IsVisible());
    dlg.Step();
    EXPECT_EQ(dlg.GetWindow().GetText(), "1 / 120");
    EXPECT_EQ(dlg.GetWindow().GetPos(), 1);
    EXPECT_EQ(dlg.GetWindow().GetRange(), 120);
}

TEST(ProgressDlg, StepsOfAWorkerAreShownOnTheUiThread)
{
    platform::gui::run_posted();
    My::ProgressDlg dlg;
    dlg.Create(nullptr, false);
    dlg.Start(50, 0);
    std::thread worker([&] {
        for (int i = 0; i < 7; ++i)
            dlg.Step();
    });
    worker.join();
    EXPECT_EQ(dlg.GetPosition(), 7);
    EXPECT_EQ(dlg.GetWindow().GetText(), "0 / 50");
    EXPECT_EQ(platform::gui::run_posted(), 7);
    EXPECT_EQ(dlg.GetWindow().GetText(), "7 / 50");
}

TEST(ProgressDlg, UpdatesArrivingAfterTheDialogWentDoNothing)
{
    platform::gui::run_posted();
    {
        My::ProgressDlg dlg;
        dlg.Create(nullptr, false);
        dlg.Start(5, 0);
        std::thread([&] { dlg.Step(); }).join();
    }
    EXPECT_EQ(platform::gui::run_posted(), 1);
}

TEST(ProgressDlg, DisabledParentIsEnabledAgainWhenTheDialogGoes)
{
    CWnd parent;
    auto peer = test::attach_fake(parent);
    {
        My::ProgressDlg dlg;
        dlg.Create(&parent, true);
        EXPECT_FALSE(peer->enabled);
    }
    EXPECT_TRUE(peer->enabled);
}
