// Windows on the real window system (run under Xvfb) where what matters is
// what the toolkit says meanwhile: places of windows not shown yet, and a
// window's own scroll bars.

#include <gtest/gtest.h>

#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "platform/gui/wnd.h"
#include "platform/tests/screen.h"
#include "platform/tests/toolkit_messages.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/uiaction.h>

namespace {

using platform::testing::pump_until;
using platform::testing::settle;

#define NEED_DISPLAY()                                                                                       \
    if (!platform::gui::start())                                                                             \
    GTEST_SKIP() << "no display"

// Counts its paintings.
class Painted : public CWnd {
public:
    int paints = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PAINT) {
            ++paints;
            CRect r;
            GetUpdateRect(&r);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

TEST(WindowPlaces, WindowsOfAFrameNotShownYetArePlacedWithoutComplaint)
{
    NEED_DISPLAY();
    platform::testing::diagnostic_capture capture;
    {
        CFrameWnd frame;
        ASSERT_TRUE(frame.Create("", "Hidden", WS_OVERLAPPEDWINDOW, CRect(100, 80, 400, 300), nullptr, 0));
        CWnd child;
        ASSERT_TRUE(child.Create("", "", WS_CHILD | WS_VISIBLE, CRect(10, 20, 60, 50), &frame, 0));
        CRect r;
        child.GetWindowRect(&r);
        frame.ScreenToClient(&r);
        EXPECT_EQ(r, CRect(10, 20, 60, 50));
        child.SetWindowPos(nullptr, 30, 40, 50, 30, SWP_NOZORDER);
        child.GetWindowRect(&r);
        frame.ScreenToClient(&r);
        EXPECT_EQ(r, CRect(30, 40, 80, 70));
        CPoint p(0, 0);
        child.ClientToScreen(&p);
        frame.ScreenToClient(&p);
        EXPECT_EQ(p, CPoint(30, 40));
        child.DestroyWindow();
        frame.DestroyWindow();
        settle();
    }
    EXPECT_EQ(capture.complaints(), std::vector<std::string>()) << capture.text();
}

// A frame that lays its child out on every size change, as a main frame
// does: the first comes while the frame is being shown, before the window
// system has put it on the screen.
TEST(WindowPlaces, AFrameLaysOutWhileItIsShownWithoutComplaint)
{
    NEED_DISPLAY();
    struct Laying : CFrameWnd {
        CWnd child;
        int layouts = 0;
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_SIZE && child.GetSafeHwnd()) {
                ++layouts;
                CRect r;
                GetClientRect(&r);
                child.MoveWindow(10, 10, r.Width() - 20, r.Height() - 20);
                return 0;
            }
            return CFrameWnd::WindowProc(message, wParam, lParam);
        }
    };
    platform::testing::diagnostic_capture capture;
    {
        Laying frame;
        ASSERT_TRUE(frame.Create("", "Laying", WS_OVERLAPPEDWINDOW, CRect(50, 50, 350, 250), nullptr, 0));
        ASSERT_TRUE(frame.child.Create("", "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &frame, 0));
        frame.ShowWindow(SW_SHOW);
        ASSERT_TRUE(pump_until([&] { return frame.IsWindowVisible() != FALSE && frame.layouts > 0; }));
        settle();
        CRect r;
        frame.child.GetWindowRect(&r);
        frame.ScreenToClient(&r);
        CRect client;
        frame.GetClientRect(&client);
        EXPECT_EQ(r, CRect(10, 10, client.Width() - 10, client.Height() - 10));
        frame.child.DestroyWindow();
        frame.DestroyWindow();
        settle();
    }
    EXPECT_EQ(capture.complaints(), std::vector<std::string>()) << capture.text();
}

SCROLLINFO Bar(int content, int page, int pos = 0)
{
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = content;
    si.nPage = UINT(page);
    si.nPos = pos;
    return si;
}

class WindowScrollBars : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!platform::gui::start())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(
            frame.Create("", "Bars", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 300), nullptr, 0));
        ASSERT_TRUE(pump_until([&] { return frame.IsWindowVisible() != FALSE; }));
    }
    void TearDown() override
    {
        frame.DestroyWindow();
        settle();
    }
    CFrameWnd frame;
};

// A list 30 pixels high (a panel squeezed by its neighbours) with more rows
// than it shows: the toolkit's bar cannot be that short.
TEST_F(WindowScrollBars, ABarInAWindowTooShortForItMakesNoComplaint)
{
    platform::testing::diagnostic_capture capture;
    {
        Painted w;
        ASSERT_TRUE(w.Create(
            "", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, CRect(10, 10, 110, 40), &frame, 0));
        w.SetScrollInfo(SB_VERT, Bar(200, 30), TRUE);
        settle(std::chrono::milliseconds(600));
        // Grown, the window holds its bar; shrunk again, it does not.
        w.MoveWindow(10, 10, 100, 150);
        w.SetScrollInfo(SB_VERT, Bar(200, 150, 20), TRUE);
        settle(std::chrono::milliseconds(300));
        w.MoveWindow(10, 10, 100, 30);
        settle(std::chrono::milliseconds(600));
        w.DestroyWindow();
        settle();
    }
    EXPECT_EQ(capture.complaints(), std::vector<std::string>()) << capture.text();
}

// A window that sets its bar whenever it paints (as a list laying out its
// rows does) is painted once, not again and again.
TEST_F(WindowScrollBars, SettingABarAsItIsDoesNotPaintTheWindowAgain)
{
    struct Resetting : Painted {
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_PAINT)
                SetScrollInfo(SB_VERT, Bar(200, 100), TRUE);
            return Painted::WindowProc(message, wParam, lParam);
        }
    } w;
    ASSERT_TRUE(w.Create("", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(10, 10, 110, 110), &frame, 0));
    ASSERT_TRUE(pump_until([&] { return w.paints > 0; }));
    settle(std::chrono::milliseconds(300));
    const int before = w.paints;
    settle(std::chrono::milliseconds(1000));
    EXPECT_LE(w.paints - before, 2);
    w.DestroyWindow();
}

} // namespace

namespace {

// Takes the capture on a press and, still holding it, opens the colour
// dialog when the button comes up, as a control that reacts to the release
// of its own press does. Told that the capture went, it asks again (a
// handler of the loss may run a modal loop of its own too).
class CapturingOpener : public CWnd {
public:
    int dialogs = 0;
    int captureChanges = 0;
    bool closed = false;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_LBUTTONDOWN:
            SetCapture();
            return 0;
        case WM_LBUTTONUP:
            if (CWnd::GetCapture() == this) {
                Ask();
                closed = true;
                if (CWnd::GetCapture() == this)
                    ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (++captureChanges == 1)
                Ask();
            return 0;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
        }
    }

private:
    void Ask()
    {
        ++dialogs;
        CColorDialog dialog(RGB(1, 2, 3), CC_FULLOPEN, this);
        dialog.DoModal();
    }
};

} // namespace

// A window that still holds the mouse capture when it opens a modal dialog
// is told once, before the dialog's loop, that it lost the capture; what it
// does then runs outside the toolkit's own bookkeeping. Each dialog takes
// input (Escape closes it) and nothing is left holding the pointer.
TEST(WindowCapture, AModalDialogOpenedWhileTheCaptureIsHeldTakesItAwayOnce)
{
    NEED_DISPLAY();
    platform::testing::diagnostic_capture complaints;
    {
        CapturingOpener w;
        ASSERT_TRUE(w.Create("", "Opener", WS_POPUP | WS_VISIBLE, CRect(40, 40, 140, 100), nullptr, 0));
        ASSERT_TRUE(pump_until([&] { return w.IsWindowVisible() != FALSE; }));
        settle();
        const std::string log = platform::testing::escape_every_window_titled("Choose colour", 6);
        CPoint p(50, 30);
        w.ClientToScreen(&p);
        wxUIActionSimulator sim;
        sim.MouseMove(p.x, p.y);
        settle();
        sim.MouseClick();
        EXPECT_TRUE(pump_until([&] { return w.closed; }, std::chrono::seconds(15)));
        EXPECT_EQ(w.dialogs, 2);
        EXPECT_EQ(w.captureChanges, 1);
        EXPECT_EQ(platform::testing::lines_in(log), 2);
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        w.DestroyWindow();
        platform::testing::settle(std::chrono::milliseconds(6000));
        std::remove(log.c_str());
    }
    EXPECT_EQ(complaints.complaints(), std::vector<std::string>()) << complaints.text();
}
