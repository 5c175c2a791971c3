// Frame windows and scroll bars on the real window system (run under Xvfb):
// the events only these kinds of window have reach their handlers: a
// frame's idle time (the command-state pass) and its closing,
// and a scroll bar's clicks.

#include <gtest/gtest.h>

#include <wx/toplevel.h>
#include <wx/uiaction.h>

#include "platform/gui/app.h"
#include "platform/gui/messages.h"
#include "platform/gui/wnd.h"
#include "platform/tests/screen.h"

#include <algorithm>
#include <vector>

namespace {

#define NEED_DISPLAY()                                                                                       \
    if (!platform::gui::start())                                                                             \
    GTEST_SKIP() << "no display"

bool seen(const std::vector<UINT>& messages, UINT message)
{
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

struct RecordingFrame : CFrameWnd {
    std::vector<UINT> messages;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(message);
        // A handler that keeps the window open refuses the close.
        if (message == WM_CLOSE)
            return 0;
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
};

struct ScrollParent : CWnd {
    std::vector<UINT> scrolls;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_VSCROLL)
            scrolls.push_back(LOWORD(wParam));
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

} // namespace

// The window system's close request (a window manager's close button)
// reaches the frame once, and a handler that refuses it keeps the window.
TEST(FrameWindow, IdleTimeAndClosingReachTheFrame)
{
    NEED_DISPLAY();
    RecordingFrame frame;
    ASSERT_TRUE(frame.Create("", "Recording Frame", WS_VISIBLE, CRect(60, 60, 360, 260), nullptr, 0));
    frame.SetWindowText("Recording Frame");
    EXPECT_TRUE(platform::testing::pump_until([&] { return seen(frame.messages, WM_IDLEUPDATECMDUI); }));
    wxTopLevelWindow* native = nullptr;
    for (wxWindow* w : wxTopLevelWindows)
        if (w->GetLabel() == "Recording Frame")
            native = dynamic_cast<wxTopLevelWindow*>(w);
    ASSERT_NE(native, nullptr);
    native->Close();
    EXPECT_TRUE(platform::testing::pump_until([&] { return seen(frame.messages, WM_CLOSE); }));
    platform::testing::settle();
    EXPECT_EQ(std::count(frame.messages.begin(), frame.messages.end(), UINT(WM_CLOSE)), 1);
    EXPECT_TRUE(frame.GetSafeHwnd()) << "the refused close destroyed the frame";
    EXPECT_TRUE(native->IsShown());
    frame.DestroyWindow();
}

TEST(ScrollBarWindow, ClickInTheTroughScrollsThroughTheParent)
{
    NEED_DISPLAY();
    ScrollParent parent;
    ASSERT_TRUE(parent.Create("", "", WS_VISIBLE, CRect(60, 60, 260, 360), nullptr, 0));
    CScrollBar bar;
    ASSERT_TRUE(bar.Create("", "", WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(0, 0, 20, 280), &parent, 0));
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 100;
    si.nPage = 10;
    si.nPos = 0;
    bar.SetScrollInfo(SB_CTL, si, TRUE);
    platform::testing::settle(std::chrono::milliseconds(300));
    CPoint low(10, 250);
    bar.ClientToScreen(&low);
    wxUIActionSimulator sim;
    sim.MouseMove(low.x, low.y);
    sim.MouseClick();
    EXPECT_TRUE(platform::testing::pump_until([&] { return !parent.scrolls.empty(); }));
    bar.DestroyWindow();
    parent.DestroyWindow();
}
