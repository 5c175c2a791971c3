// Headless tests of the platform's control services: scroll information,
// edit-field messages, popup menus, the clipboard and the progress window.

#include <gtest/gtest.h>

#include "platform/gui/clipboard.h"
#include "platform/gui/menu.h"
#include "platform/gui/progress.h"
#include "platform/gui/wnd.h"

namespace {

struct Calls {
    std::vector<std::pair<int, SCROLLINFO>> scroll;
    int sel_start = 0, sel_end = 0, left = -2, right = -2;
    std::string tip;
    int tip_changes = 0;
};

class Peer : public window_peer {
public:
    explicit Peer(Calls& c)
        : m_c(c)
    {
    }
    CRect client_rect() const override { return CRect(0, 0, 30, 20); }
    CRect window_rect() const override { return CRect(); }
    CPoint client_origin() const override { return {}; }
    void set_bounds(const CRect&) override { }
    void show(bool) override { }
    bool is_visible() const override { return true; }
    void enable(bool) override { }
    void invalidate(const RECT*) override { }
    void update() override { }
    void capture(bool) override { }
    bool has_capture() const override { return false; }
    void focus() override { }
    bool has_focus() const override { return false; }
    void track_leave() override { }
    void set_text(const std::string&) override { }
    std::string text() const override { return {}; }
    CPoint cursor_pos() const override { return {}; }
    void set_cursor(HCURSOR) override { }
    void set_tooltip(const std::string& t) override
    {
        m_c.tip = t;
        ++m_c.tip_changes;
    }
    bool set_timer(UINT_PTR, UINT) override { return true; }
    bool kill_timer(UINT_PTR) override { return true; }
    bool open_client_dc(CDC&) override { return false; }
    bool open_paint_dc(CDC&) override { return false; }
    CRect update_rect() const override { return {}; }
    void destroy() override { }
    void set_scroll_info(int bar, const SCROLLINFO& si) override { m_c.scroll.emplace_back(bar, si); }
    void select_text(int s, int e) override
    {
        m_c.sel_start = s;
        m_c.sel_end = e;
    }
    void set_margins(int l, int r) override
    {
        m_c.left = l;
        m_c.right = r;
    }
    int char_from_pos(const CPoint& p) const override { return p.x / 7; }

private:
    Calls& m_c;
};

} // namespace

TEST(ScrollInfo, OnlyTheMaskedPartsChangeAndATrackPositionStaysWithTheWindow)
{
    Calls calls;
    CWnd w;
    SCROLLINFO bad;
    EXPECT_FALSE(w.SetScrollInfo(5, bad));
    ASSERT_TRUE(w.AttachPeer(std::make_unique<Peer>(calls)));
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMax = 300;
    si.nPage = 100;
    si.nPos = 40;
    w.SetScrollInfo(SB_VERT, si);
    SCROLLINFO pos;
    pos.fMask = SIF_POS;
    pos.nPos = 70;
    pos.nMax = 9999; // not in the mask
    w.SetScrollInfo(SB_VERT, pos);
    SCROLLINFO got;
    w.GetScrollInfo(SB_VERT, &got);
    EXPECT_EQ(got.nMax, 300);
    EXPECT_EQ(got.nPage, 100u);
    EXPECT_EQ(got.nPos, 70);
    ASSERT_EQ(calls.scroll.size(), 2u);
    SCROLLINFO track;
    track.fMask = SIF_TRACKPOS;
    track.nTrackPos = 123456;
    w.SetScrollInfo(SB_VERT, track);
    EXPECT_EQ(calls.scroll.size(), 2u);
    w.GetScrollInfo(SB_VERT, &got);
    EXPECT_EQ(got.nTrackPos, 123456);
    // The other bars are untouched.
    w.GetScrollInfo(SB_HORZ, &got);
    EXPECT_EQ(got.nMax, 0);
}

TEST(ScrollInfo, NothingScrollsWhenThePageCoversTheRange)
{
    SCROLLINFO si;
    si.nMax = 100;
    si.nPage = 0;
    EXPECT_FALSE(can_scroll(si));
    si.nPage = 101;
    EXPECT_FALSE(can_scroll(si));
    si.nPage = 100;
    EXPECT_TRUE(can_scroll(si));
    si.nMin = -2147483647 - 1;
    si.nMax = 2147483647;
    si.nPage = 4000000000u;
    EXPECT_TRUE(can_scroll(si));
}

TEST(Edit, SelectionAndMarginMessagesReachTheField)
{
    Calls calls;
    CEdit e;
    ASSERT_TRUE(e.AttachPeer(std::make_unique<Peer>(calls)));
    e.SetSel(0, -1);
    EXPECT_EQ(calls.sel_start, 0);
    EXPECT_EQ(calls.sel_end, -1);
    e.SetMargins(3, 4);
    EXPECT_EQ(calls.left, 3);
    EXPECT_EQ(calls.right, 4);
    e.SendMessage(EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(7, 8));
    EXPECT_EQ(calls.left, -1);
    EXPECT_EQ(calls.right, 8);
    EXPECT_EQ(e.CharFromPos(CPoint(700, 3)), 100);
    EXPECT_TRUE(IsTextInput(&e));
    CWnd plain;
    ASSERT_TRUE(plain.AttachPeer(std::make_unique<Peer>(calls)));
    EXPECT_FALSE(IsTextInput(&plain));
    EXPECT_FALSE(IsTextInput(nullptr));
}

TEST(Menu, ReturnsTheChosenCommandOrNotifiesTheOwner)
{
    struct Owner : CWnd {
        std::vector<WPARAM> commands;
        LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override
        {
            if (m == WM_COMMAND)
                commands.push_back(w);
            return CWnd::WindowProc(m, w, l);
        }
    } owner;
    Calls calls;
    ASSERT_TRUE(owner.AttachPeer(std::make_unique<Peer>(calls)));
    CMenu menu;
    EXPECT_FALSE(menu.AppendMenu(MF_STRING, 1, "x"));
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, 0, 0, &owner), 0);
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendMenu(MF_STRING, 4, "four");
    int answer = 4;
    CMenu::SetResponder([&](const CMenu& m, UINT, const CPoint& at) {
        EXPECT_EQ(m.Items().size(), 1u);
        EXPECT_EQ(at, CPoint(10, 20));
        return answer;
    });
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD | TPM_NONOTIFY, 10, 20, &owner), 4);
    EXPECT_TRUE(owner.commands.empty());
    EXPECT_EQ(menu.TrackPopupMenu(0, 10, 20, &owner), 1);
    EXPECT_EQ(owner.commands, std::vector<WPARAM> { 4 });
    answer = 0;
    EXPECT_EQ(menu.TrackPopupMenu(0, 10, 20, &owner), 0);
    EXPECT_EQ(owner.commands.size(), 1u);
    CMenu::SetResponder({});
}

TEST(Clipboard, HeadlessClipboardKeepsTheTextAndAWriterCanRefuse)
{
    ASSERT_TRUE(platform::gui::set_clipboard_text("one\r\ntwo"));
    EXPECT_EQ(platform::gui::clipboard_text(), std::optional<std::string>("one\r\ntwo"));
    platform::gui::set_clipboard_writer([](const std::string&) { return false; });
    EXPECT_FALSE(platform::gui::set_clipboard_text("x"));
    platform::gui::set_clipboard_writer({});
}

TEST(ProgressWindow, KeepsItsStateWithoutAWindowSystemAndCancelOnlyCallsTheHandler)
{
    CProgressWindow w;
    int cancels = 0;
    w.SetCancelHandler([&] { ++cancels; });
    w.Show(true);
    EXPECT_FALSE(w.IsVisible());
    ASSERT_TRUE(w.Create(nullptr, "Working"));
    EXPECT_FALSE(w.Create(nullptr, "again"));
    w.SetRange(10);
    w.SetPos(3);
    w.SetText("3 / 10");
    w.Show(true);
    w.PressCancel();
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(w.IsVisible());
    EXPECT_EQ(w.GetText(), "3 / 10");
    EXPECT_EQ(w.GetCaption(), "Working");
    w.DestroyWindow();
    EXPECT_FALSE(w.IsCreated());
}

TEST(ToolTip, EachToolShowsItsTextOnlyOverItsRectangle)
{
    Calls calls;
    CWnd w;
    ASSERT_TRUE(w.AttachPeer(std::make_unique<Peer>(calls)));
    CToolTipCtrl tips;
    EXPECT_FALSE(tips.AddTool(&w, "early", nullptr, 1));
    ASSERT_TRUE(tips.Create(&w, TTS_ALWAYSTIP));
    const CRect left(0, 0, 10, 20), right(10, 0, 30, 20);
    tips.AddTool(&w, "left", &left, 1);
    tips.AddTool(&w, "right", &right, 2);
    w.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(calls.tip, "left");
    w.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(15, 3));
    EXPECT_EQ(calls.tip, "right");
    w.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(40, 3));
    EXPECT_EQ(calls.tip, "");
    // Moves that change nothing leave the window alone.
    const int changes = calls.tip_changes;
    w.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(41, 4));
    EXPECT_EQ(calls.tip_changes, changes);
    // The newest tool wins where tools overlap; a whole-window tool covers
    // everything.
    tips.AddTool(&w, "all", nullptr, 3);
    EXPECT_EQ(calls.tip, "all");
    w.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(calls.tip, "all");
    tips.DelTool(&w, 3);
    EXPECT_EQ(calls.tip, "left");
    tips.UpdateTipText("LEFT", &w, 1);
    EXPECT_EQ(calls.tip, "LEFT");
    tips.Activate(FALSE);
    EXPECT_EQ(calls.tip, "");
    tips.Activate(TRUE);
    tips.SetToolRect(&w, 1, CRect(100, 100, 110, 110));
    EXPECT_EQ(calls.tip, "");
    tips.DestroyWindow();
    EXPECT_FALSE(tips.IsCreated());
    // The window's moves no longer reach it.
    w.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(15, 3));
    EXPECT_EQ(calls.tip, "");
}
