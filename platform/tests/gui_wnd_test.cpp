#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gui/app.h"
#include "platform/gui/cursor.h"
#include "platform/gui/dc.h"
#include "platform/gui/gdi.h"
#include "platform/gui/wnd.h"

namespace {

struct PeerLog {
    bool captured = false;
    bool destroyed = false;
    int defaults = 0;
    std::vector<HCURSOR> cursors;
};

class Peer : public window_peer {
public:
    explicit Peer(PeerLog& l)
        : m_l(l)
    {
    }
    CRect client_rect() const override { return CRect(0, 0, 30, 20); }
    CRect window_rect() const override { return CRect(100, 100, 130, 120); }
    CPoint client_origin() const override { return CPoint(100, 100); }
    void set_bounds(const CRect&) override { }
    void show(bool) override { }
    bool is_visible() const override { return true; }
    void enable(bool) override { }
    void invalidate(const RECT*) override { }
    void update() override { }
    void capture(bool take) override { m_l.captured = take; }
    bool has_capture() const override { return m_l.captured; }
    void focus() override { }
    bool has_focus() const override { return false; }
    void track_leave() override { }
    void set_text(const std::string&) override { }
    std::string text() const override { return {}; }
    CPoint cursor_pos() const override { return {}; }
    void set_cursor(HCURSOR c) override { m_l.cursors.push_back(c); }
    void set_tooltip(const std::string&) override { }
    bool set_timer(UINT_PTR, UINT) override { return true; }
    bool kill_timer(UINT_PTR) override { return true; }
    bool open_client_dc(CDC&) override { return false; }
    bool open_paint_dc(CDC&) override { return false; }
    CRect update_rect() const override { return {}; }
    void destroy() override { m_l.destroyed = true; }
    void default_processing() override { ++m_l.defaults; }

private:
    PeerLog& m_l;
};

class Recording : public CWnd {
public:
    std::vector<UINT> got;
    LRESULT create_result = 0;
    int nc_destroyed = 0;

protected:
    LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override
    {
        got.push_back(m);
        if (m == WM_CREATE)
            return create_result;
        if (m == WM_APP && w == 7)
            throw std::runtime_error("posted failure");
        return CWnd::WindowProc(m, w, l);
    }
    void PostNcDestroy() override { ++nc_destroyed; }
};

} // namespace

TEST(gui_wnd, CreationFailsForAnUnknownClassOrWithoutWindowSystem)
{
    CWnd w;
    EXPECT_FALSE(w.Create("NoSuchClass", "", WS_VISIBLE, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_FALSE(w.Create("", "", WS_VISIBLE, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_EQ(w.GetSafeHwnd(), nullptr);
}

TEST(gui_wnd, ClassNamesAreRegisteredOnce)
{
    WNDCLASS empty;
    EXPECT_FALSE(RegisterClass(&empty));
    EXPECT_FALSE(RegisterClass(nullptr));
    WNDCLASS wc;
    wc.lpszClassName = "gui_wnd test class";
    EXPECT_TRUE(RegisterClass(&wc));
    EXPECT_TRUE(RegisterClass(&wc));
    static const cursor other { cursor_shape::hand };
    wc.hCursor = &other;
    EXPECT_FALSE(RegisterClass(&wc));
}

TEST(gui_wnd, FailedCreationDestroysThePeerWithoutDestroyMessage)
{
    PeerLog log;
    Recording w;
    w.create_result = -1;
    EXPECT_FALSE(w.AttachPeer(std::make_unique<Peer>(log)));
    EXPECT_TRUE(log.destroyed);
    EXPECT_EQ(w.GetSafeHwnd(), nullptr);
    EXPECT_EQ(w.got, (std::vector<UINT> { WM_CREATE }));
    EXPECT_FALSE(CWnd::IsAlive(&w));
}

TEST(gui_wnd, CreatedWindowGetsCreateThenSizeAndDestroyEndsIt)
{
    PeerLog log;
    Recording w;
    ASSERT_TRUE(w.AttachPeer(std::make_unique<Peer>(log)));
    EXPECT_EQ(w.got, (std::vector<UINT> { WM_CREATE, WM_SIZE }));
    EXPECT_FALSE(w.AttachPeer(std::make_unique<Peer>(log)));
    EXPECT_TRUE(w.DestroyWindow());
    EXPECT_EQ(w.got.back(), WM_DESTROY);
    EXPECT_TRUE(log.destroyed);
    EXPECT_EQ(w.nc_destroyed, 1);
    EXPECT_FALSE(w.DestroyWindow());
    EXPECT_EQ(w.nc_destroyed, 1);
}

TEST(gui_wnd, DefaultProcessingReachesThePeerAndKeepsFontsAndClassCursor)
{
    PeerLog log;
    CWnd w;
    w.AttachPeer(std::make_unique<Peer>(log));
    log.defaults = 0;
    EXPECT_EQ(w.Default(), 0);
    w.SendMessage(WM_KEYDOWN, 'A', 1);
    EXPECT_EQ(log.defaults, 1);
    CFont font;
    w.SetFont(&font, FALSE);
    EXPECT_EQ(w.GetFont(), &font);
    EXPECT_EQ(w.SendMessage(WM_SETCURSOR, 0, HTCLIENT), FALSE);
    EXPECT_EQ(log.cursors, (std::vector<HCURSOR> { nullptr }));
}

TEST(gui_wnd, CaptureMovesBetweenWindowsAndIsReleasedOnce)
{
    PeerLog la, lb;
    CWnd a, b;
    a.AttachPeer(std::make_unique<Peer>(la));
    b.AttachPeer(std::make_unique<Peer>(lb));
    a.SetCapture();
    EXPECT_EQ(CWnd::GetCapture(), &a);
    EXPECT_EQ(b.SetCapture(), &a);
    EXPECT_FALSE(la.captured);
    EXPECT_TRUE(lb.captured);
    ReleaseCapture();
    EXPECT_FALSE(lb.captured);
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
    EXPECT_TRUE(ReleaseCapture());
}

TEST(gui_wnd, DestroyedWindowLeavesNoCaptureOrFocusBehind)
{
    PeerLog l;
    {
        CWnd w;
        w.AttachPeer(std::make_unique<Peer>(l));
        w.SetCapture();
        w.SetFocus();
    }
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
    EXPECT_EQ(CWnd::GetFocus(), nullptr);
}

TEST(gui_wnd, PostedMessagesRunInOrderAndThoseOfDestroyedWindowsAreDropped)
{
    PeerLog la, lb;
    Recording a;
    auto b = std::make_unique<Recording>();
    a.AttachPeer(std::make_unique<Peer>(la));
    b->AttachPeer(std::make_unique<Peer>(lb));
    a.got.clear();
    std::thread t([&] {
        a.PostMessage(WM_APP, 1);
        b->PostMessage(WM_APP, 2);
        a.PostMessage(WM_APP + 1, 3);
    });
    t.join();
    b.reset();
    EXPECT_EQ(platform::gui::run_posted(), 3);
    EXPECT_EQ(a.got, (std::vector<UINT> { WM_APP, WM_APP + 1 }));
    CWnd never;
    EXPECT_FALSE(never.PostMessage(WM_APP));
}

TEST(gui_wnd, ExceptionOfAPostedMessageGoesToTheReportAndLaterOnesStillRun)
{
    std::vector<std::string> reported;
    platform::gui::set_error_report([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            reported.push_back(x.what());
        }
    });
    PeerLog l;
    Recording w;
    w.AttachPeer(std::make_unique<Peer>(l));
    w.got.clear();
    w.PostMessage(WM_APP, 7);
    w.PostMessage(WM_APP, 8);
    EXPECT_EQ(platform::gui::run_posted(), 2);
    platform::gui::set_error_report({});
    EXPECT_EQ(reported, (std::vector<std::string> { "posted failure" }));
    EXPECT_EQ(w.got, (std::vector<UINT> { WM_APP, WM_APP }));
}

TEST(gui_wnd, XorLineDrawnTwiceLeavesNoOverlay)
{
    PeerLog l;
    CWnd w;
    w.AttachPeer(std::make_unique<Peer>(l));
    w.ToggleXorLine(CPoint(1, 1), CPoint(1, 9), RGB(255, 255, 255), true);
    w.ToggleXorLine(CPoint(2, 1), CPoint(2, 9), RGB(255, 255, 255), true);
    EXPECT_TRUE(w.HasXorOverlay());
    w.ToggleXorLine(CPoint(1, 1), CPoint(1, 9), RGB(255, 255, 255), true);
    w.ToggleXorLine(CPoint(2, 1), CPoint(2, 9), RGB(255, 255, 255), true);
    EXPECT_FALSE(w.HasXorOverlay());
}

TEST(gui_wnd, WindowWithoutPeerAnswersEmpty)
{
    CWnd w;
    RECT r { 1, 2, 3, 4 };
    w.GetClientRect(&r);
    EXPECT_TRUE(CRect(r).IsRectNull());
    EXPECT_FALSE(w.IsWindowVisible());
    EXPECT_FALSE(w.ShowWindow(SW_SHOW));
    EXPECT_EQ(w.SetTimer(1, 10, nullptr), 0u);
    EXPECT_FALSE(w.KillTimer(1));
    EXPECT_EQ(w.GetUserData(), 0);
}
