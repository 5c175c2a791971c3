#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "widgets/core/Event.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/core/tests/Probe.h"

using test::at;
using test::Leaf;
using test::Log;

namespace {

// A window whose own control logs and accepts the focus.
class LoggingWindow : public My::CustomWindow<CWnd> {
public:
    explicit LoggingWindow(Log& log)
        : m_log(log)
    {
    }
    bool AcceptsFocus() const override { return true; }
    void OnFocus() override { m_log.push_back("w.focus"); }
    void OnUnfocus() override { m_log.push_back("w.unfocus"); }
    void OnActivate(bool active) override { m_log.push_back(active ? "w.active" : "w.inactive"); }

private:
    Log& m_log;
};

// Records the scroll messages that reach it.
class ScrollTarget : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> got;

protected:
    LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override
    {
        if (m == WM_HSCROLL)
            got.emplace_back(w, l);
        return CWnd::WindowProc(m, w, l);
    }
};

} // namespace

TEST(Window, KeysGoToTheFocusChildAndOtherwiseToTheWindowsDefaultProcessing)
{
    Log log;
    My::Window<CWnd> host;
    auto peer = test::attach_fake(host);
    Leaf a("a", log);
    a.focusable = true;
    host.AddChild(&a);
    peer->default_calls = 0;
    host.SendMessage(WM_KEYDOWN, 'A', 1);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(peer->default_calls, 1);
    a.SetFocus();
    log.clear();
    host.SendMessage(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(log, (Log { "a.key13" }));
    EXPECT_EQ(peer->default_calls, 1);
}

TEST(Window, GainingFocusWithoutFocusChildFocusesTheWindowsOwnControl)
{
    Log log;
    LoggingWindow w(log);
    test::attach_fake(w);
    w.SendMessage(WM_SETFOCUS);
    EXPECT_EQ(log, (Log { "w.focus" }));
    EXPECT_TRUE(w.HasFocus());
    w.SendMessage(WM_KILLFOCUS);
    EXPECT_EQ(log, (Log { "w.focus", "w.unfocus" }));
    EXPECT_FALSE(w.HasFocus());
}

TEST(Window, LostCaptureIsHandledAsARelease)
{
    Log log;
    My::Window<CWnd> host;
    auto peer = test::attach_fake(host);
    Leaf a("a", log);
    a.drags = true;
    host.AddChild(&a);
    a.SetBounds(CRect(10, 10, 60, 60));
    host.SendMessage(WM_MOUSEMOVE, 0, at(20, 20));
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(20, 20));
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(30, 30));
    ASSERT_TRUE(a.IsDragging());
    log.clear();
    host.SendMessage(WM_CAPTURECHANGED);
    EXPECT_EQ(host.GetCaptureChild(), nullptr);
    EXPECT_FALSE(a.IsPressed());
    EXPECT_FALSE(a.IsDragging());
    EXPECT_EQ(log, (Log { "a.up(20,20)", "a.drag(20,20)", "a.end(20,20)" }));
    // A later move without the button does not drag on.
    log.clear();
    host.SendMessage(WM_MOUSEMOVE, 0, at(40, 40));
    EXPECT_EQ(log, (Log { "a.move(30,30)" }));
}

TEST(Window, ScrollMessagesFromAScrollBarGoOnToIt)
{
    My::Window<CWnd> host;
    test::attach_fake(host);
    ScrollTarget bar;
    test::attach_fake(bar);
    const WPARAM wp = MAKEWPARAM(SB_THUMBTRACK, 42);
    host.SendMessage(WM_HSCROLL, wp, reinterpret_cast<LPARAM>(static_cast<CWnd*>(&bar)));
    ASSERT_EQ(bar.got.size(), 1u);
    EXPECT_EQ(bar.got[0].first, wp);
    EXPECT_EQ(bar.got[0].second, 0);
}

TEST(Window, ActivationBecomesAnActivateEventForTheTree)
{
    Log log;
    LoggingWindow w(log);
    test::attach_fake(w);
    Leaf child("c", log);
    w.AddChild(&child);
    w.SendMessage(WM_ACTIVATE, WA_CLICKACTIVE);
    w.SendMessage(WM_ACTIVATE, WA_INACTIVE);
    EXPECT_EQ(log, (Log { "w.active", "w.inactive" }));
}

TEST(CustomWindow, BufferGrowsToTheLargestSizeAndNeverShrinks)
{
    Log log;
    LoggingWindow w(log);
    test::attach_fake(w);
    EXPECT_EQ(w.GetBufferSize(), CSize(200, 100));
    w.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(50, 40));
    EXPECT_EQ(w.GetBufferSize(), CSize(200, 100));
    w.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 80));
    EXPECT_EQ(w.GetBufferSize(), CSize(300, 100));
    w.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 400));
    EXPECT_EQ(w.GetBufferSize(), CSize(300, 400));
}

TEST(CustomWindow, SizeChangeLaysOutAndMarksChildWindowsUnplaced)
{
    Log log;
    struct Laying : My::CustomWindow<CWnd> {
        int layouts = 0;
        void Layout() override { ++layouts; }
    } w;
    auto peer = test::attach_fake(w);
    // Creation told the window its size once already.
    EXPECT_EQ(w.layouts, 1);
    peer->invalid.clear();
    w.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(120, 60));
    EXPECT_EQ(w.layouts, 2);
    ASSERT_FALSE(peer->invalid.empty());
}

TEST(Window, VisibleEventBeforeTheWindowExistsSetsTheCreationStyle)
{
    My::Window<CWnd> child;
    My::WindowVisibleEvent hide(false);
    child.OnEvent(hide);
    EXPECT_EQ(child.GetCreationStyle() & WS_VISIBLE, 0u);
    My::WindowVisibleEvent show(true);
    child.OnEvent(show);
    EXPECT_NE(child.GetCreationStyle() & WS_VISIBLE, 0u);
}

TEST(Window, WindowWithoutHandleAnswersEmpty)
{
    My::Window<CWnd> w;
    EXPECT_EQ(w.GetWnd(), nullptr);
    EXPECT_TRUE(w.GetBounds().IsRectNull());
    EXPECT_EQ(w.GetSize(), CSize());
    EXPECT_FALSE(w.IsVisible());
    EXPECT_EQ(w.GetToolTipCtrl(), nullptr);
}

TEST(Window, DestroyingTheWindowTellsTheChildrenAndDropsCaptureAndFocus)
{
    Log log;
    auto host = std::make_unique<My::Window<CWnd>>();
    auto peer = test::attach_fake(*host);
    Leaf a("a", log);
    a.focusable = true;
    host->AddChild(&a);
    a.SetBounds(CRect(0, 0, 10, 10));
    host->SendMessage(WM_MOUSEMOVE, 0, at(5, 5));
    host->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5));
    ASSERT_EQ(host->GetCaptureChild(), &a);
    EXPECT_NE(host->GetToolTipCtrl(), nullptr);
    host->DestroyWindow();
    EXPECT_TRUE(peer->destroyed);
    EXPECT_EQ(host->GetCaptureChild(), nullptr);
    EXPECT_EQ(host->GetFocusChild(), nullptr);
    EXPECT_EQ(host->GetToolTipCtrl(), nullptr);
    host.reset();
    EXPECT_EQ(a.GetContainer(), nullptr);
}

TEST(Window, TooltipOfTheHoveredControlIsRegisteredAndRemoved)
{
    struct Tipped : Leaf {
        using Leaf::Leaf;
        std::string GetToolTipText() const override { return "Play"; }
    };
    Log log;
    My::Window<CWnd> host;
    auto peer = test::attach_fake(host);
    Tipped a("a", log);
    host.AddChild(&a);
    a.SetBounds(CRect(0, 0, 10, 10));
    host.SendMessage(WM_MOUSEMOVE, 0, at(5, 5));
    EXPECT_EQ(peer->tooltip, "Play");
    host.SendMessage(WM_MOUSEMOVE, 0, at(50, 50));
    EXPECT_EQ(peer->tooltip, "");
}

TEST(Window, ExceptionFromAHandlerPassesThroughSendMessageToTheBoundary)
{
    struct Throwing : Leaf {
        using Leaf::Leaf;
        void OnLeftDown(UINT, const CPoint&) override { throw std::runtime_error("boom"); }
    };
    Log log;
    My::Window<CWnd> host;
    test::attach_fake(host);
    Throwing a("a", log);
    host.AddChild(&a);
    a.SetBounds(CRect(0, 0, 10, 10));
    EXPECT_THROW(host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(5, 5)), std::runtime_error);
    // The window is usable afterwards.
    host.SendMessage(WM_MOUSEMOVE, 0, at(50, 50));
    EXPECT_EQ(host.GetCurrentMessage(), nullptr);
}
