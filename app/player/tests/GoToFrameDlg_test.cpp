// The go-to-frame question answered by a responder: it opens on the preview
// frame counted from the first frame number, OK moves the current frame,
// Cancel and bad text leave it alone.

#include "app/player/GoToFrameDlg.h"

#include "app/timeline/tests/TimelineFixture.h"
#include "platform/gui/message_box.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

int g_messages = 0;
int CountMessage(const std::string&, unsigned)
{
    ++g_messages;
    return platform::IDOK;
}

struct GoToFrameTest : ::testing::Test {
    GoToFrameTest() { previous = platform::set_message_box_presenter(&CountMessage); }
    ~GoToFrameTest() override
    {
        CDialog::SetResponder({});
        platform::set_message_box_presenter(previous);
    }
    platform::message_box_presenter previous = nullptr;
    test::FakeSequence sequence;
    std::string shown;
};

TEST_F(GoToFrameTest, NothingOpenAsksNothing)
{
    bool asked = false;
    CDialog::SetResponder([&](CDialog&) { asked = true; });
    EXPECT_FALSE(My::RunGoToFrame(sequence, nullptr));
    EXPECT_FALSE(asked);
}

TEST_F(GoToFrameTest, BadTextKeepsTheDialogOpenAndTheFrame)
{
    sequence.Open(200);
    g_messages = 0;
    CDialog::SetResponder([&](CDialog& d) {
        d.Type(My::GoToFrameDlg::kFrameItem, "12x");
        d.Click(platform::IDOK);
        d.Type(My::GoToFrameDlg::kFrameItem, "");
        d.Click(platform::IDOK);
    });
    EXPECT_FALSE(My::RunGoToFrame(sequence, nullptr));
    EXPECT_EQ(g_messages, 2);
    EXPECT_EQ(sequence.GetCurrentFrame(), 0);
}

TEST_F(GoToFrameTest, CancelLeavesTheFrame)
{
    sequence.Open(200);
    CDialog::SetResponder([&](CDialog& d) {
        d.Type(My::GoToFrameDlg::kFrameItem, "50");
        d.Click(platform::IDCANCEL);
    });
    EXPECT_FALSE(My::RunGoToFrame(sequence, nullptr));
    EXPECT_EQ(sequence.GetCurrentFrame(), 0);
}

TEST_F(GoToFrameTest, OpensOnThePreviewFrameAndOkMovesTheCurrentFrame)
{
    sequence.Open(200);
    sequence.SetPreviewFrame(7);
    CDialog::SetResponder([&](CDialog& d) {
        shown = d.GetDlgItemText(My::GoToFrameDlg::kFrameItem);
        d.Type(My::GoToFrameDlg::kFrameItem, "100");
        d.Click(platform::IDOK);
    });
    EXPECT_TRUE(My::RunGoToFrame(sequence, nullptr));
    EXPECT_EQ(shown, "7");
    EXPECT_EQ(sequence.GetCurrentFrame(), 100);
}

TEST_F(GoToFrameTest, ExtremeAnswersDoNotOverflow)
{
    sequence.Open(200, 1);
    CDialog::SetResponder([&](CDialog& d) {
        d.Type(My::GoToFrameDlg::kFrameItem, std::to_string(INT_MIN));
        d.Click(platform::IDOK);
    });
    EXPECT_TRUE(My::RunGoToFrame(sequence, nullptr));
    EXPECT_EQ(sequence.GetCurrentFrame(), 1) << "the fake sequence ignores frames outside";
}

} // namespace
