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
using test::Panel;

namespace {

bool has(const Log& log, const std::string& s)
{
    return std::find(log.begin(), log.end(), s) != log.end();
}

struct Host : ::testing::Test {
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(host);
    Log log;

    void click(int x, int y)
    {
        host.SendMessage(WM_MOUSEMOVE, 0, at(x, y));
        host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
        host.SendMessage(WM_LBUTTONUP, 0, at(x, y));
    }
};

} // namespace

TEST_F(Host, ControlWithoutParentAnswersEmptyAndIgnoresRequests)
{
    Leaf orphan("o", log);
    EXPECT_EQ(orphan.GetOrigin(), CPoint());
    EXPECT_TRUE(orphan.GetWndRect().IsRectNull());
    EXPECT_EQ(orphan.GetWnd(), nullptr);
    EXPECT_EQ(orphan.GetFont(), nullptr);
    EXPECT_FALSE(orphan.HasCapture());
    EXPECT_FALSE(orphan.HasFocus());
    EXPECT_EQ(orphan.ClientToScreen(CPoint(3, 4)), CPoint());
    orphan.SetCapture();
    orphan.SetFocus();
    orphan.Invalidate(CRect(0, 0, 5, 5));
    orphan.Update();
    EXPECT_TRUE(My::is_enabled_in_tree(nullptr));
}

TEST_F(Host, LaterChildTakesTheClickAndHidingItPassesTheClickBelow)
{
    Leaf a("a", log), b("b", log);
    host.AddChild(&a);
    host.AddChild(&b);
    a.SetBounds(CRect(10, 10, 50, 50));
    b.SetBounds(CRect(30, 30, 80, 80));
    click(40, 40);
    EXPECT_TRUE(has(log, "b.down(10,10)"));
    EXPECT_FALSE(has(log, "a.down(30,30)"));
    b.SetVisible(false);
    log.clear();
    click(40, 40);
    EXPECT_TRUE(has(log, "a.down(30,30)"));
}

TEST_F(Host, HitTestIsRightAndBottomExclusiveAndHitsDisabledChildren)
{
    Leaf a("a", log);
    host.AddChild(&a);
    a.SetBounds(CRect(10, 10, 20, 20));
    a.SetEnabled(false);
    EXPECT_EQ(host.ChildFromPoint(10, 10), &a);
    EXPECT_EQ(host.ChildFromPoint(19, 19), &a);
    EXPECT_EQ(host.ChildFromPoint(20, 19), nullptr);
    EXPECT_EQ(host.ChildFromPoint(19, 20), nullptr);
}

TEST_F(Host, MovingFromChildToFreeAreaSendsLeaveThenEnterThenMove)
{
    Panel panel("p", log);
    Leaf child("c", log);
    host.AddChild(&panel);
    panel.SetBounds(CRect(0, 0, 100, 100));
    panel.AddChild(&child);
    child.SetBounds(CRect(10, 10, 30, 30));
    host.SendMessage(WM_MOUSEMOVE, 0, at(15, 15));
    log.clear();
    host.SendMessage(WM_MOUSEMOVE, 0, at(50, 50));
    EXPECT_EQ(log, (Log { "c.leave", "p.enter(50,50)", "p.move(50,50)" }));
    EXPECT_EQ(panel.GetHoverChild(), nullptr);
}

TEST_F(Host, FirstMoveEntersNextOnlyMovesAndLeavingSendsOneLeave)
{
    Leaf a("a", log);
    host.AddChild(&a);
    a.SetBounds(CRect(0, 0, 200, 100));
    log.clear();
    host.SendMessage(WM_MOUSEMOVE, 0, at(5, 6));
    EXPECT_EQ(log, (Log { "a.enter(5,6)", "a.move(5,6)" }));
    EXPECT_EQ(peer->leave_requests, 1);
    log.clear();
    host.SendMessage(WM_MOUSEMOVE, 0, at(7, 8));
    EXPECT_EQ(log, (Log { "a.move(7,8)" }));
    EXPECT_EQ(peer->leave_requests, 1);
    log.clear();
    EXPECT_EQ(host.SendMessage(WM_MOUSELEAVE), 1);
    EXPECT_EQ(log, (Log { "a.leave" }));
    EXPECT_FALSE(a.IsHover());
}

TEST_F(Host, PlainControlNeverDragsButOneWhoseBeginDragAgreesDoes)
{
    Leaf plain("p", log), dragger("d", log);
    dragger.drags = true;
    host.AddChild(&plain);
    host.AddChild(&dragger);
    plain.SetBounds(CRect(0, 0, 50, 50));
    dragger.SetBounds(CRect(100, 0, 150, 50));

    host.SendMessage(WM_MOUSEMOVE, 0, at(10, 10));
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(10, 10));
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(20, 20));
    host.SendMessage(WM_LBUTTONUP, 0, at(20, 20));
    EXPECT_FALSE(has(log, "p.drag(20,20)"));
    EXPECT_FALSE(plain.IsDragging());

    log.clear();
    host.SendMessage(WM_MOUSEMOVE, 0, at(110, 10));
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(110, 10));
    log.clear();
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(120, 20));
    EXPECT_EQ(log, (Log { "d.move(20,20)", "d.begin(10,10)(20,20)", "d.drag(20,20)" }));
    log.clear();
    host.SendMessage(WM_LBUTTONUP, 0, at(130, 30));
    EXPECT_EQ(log, (Log { "d.up(30,30)", "d.drag(30,30)", "d.end(30,30)" }));
    EXPECT_FALSE(dragger.IsDragging());
    EXPECT_FALSE(dragger.IsPressed());
}

TEST_F(Host, NestedCaptureGetsEveryMouseEventInItsOwnCoordinates)
{
    Panel outer("o", log), inner("i", log);
    Leaf deep("d", log), other("x", log);
    host.AddChild(&outer);
    outer.SetBounds(CRect(10, 10, 190, 90));
    outer.AddChild(&inner);
    inner.SetBounds(CRect(10, 10, 100, 70));
    inner.AddChild(&deep);
    deep.SetBounds(CRect(5, 5, 25, 25));
    host.AddChild(&other);
    other.SetBounds(CRect(150, 0, 200, 10));

    host.SendMessage(WM_MOUSEMOVE, 0, at(30, 30));
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(30, 30));
    EXPECT_TRUE(deep.HasCapture());
    EXPECT_TRUE(peer->captured);
    EXPECT_EQ(host.GetCaptureChild(), &deep);
    log.clear();
    // Outside the window and over another control: still the capture child.
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(-20, 300));
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(160, 5));
    // Each move while pressed asks whether a drag begins; this one never does.
    EXPECT_EQ(log,
        (Log { "d.move(-45,275)", "d.begin(5,5)(-45,275)", "d.move(135,-20)", "d.begin(5,5)(135,-20)" }));
    EXPECT_EQ(outer.GetHoverChild(), &inner);
    EXPECT_EQ(host.GetHoverChild(), &outer);
    host.SendMessage(WM_LBUTTONUP, 0, at(160, 5));
    EXPECT_FALSE(deep.HasCapture());
    EXPECT_FALSE(peer->captured);
    log.clear();
    host.SendMessage(WM_MOUSEMOVE, 0, at(160, 5));
    EXPECT_TRUE(has(log, "x.move(10,5)"));
}

TEST_F(Host, RemovingContainerClearsCaptureFocusAndHoverIntoItsSubtree)
{
    Panel panel("p", log);
    Leaf leaf("l", log);
    leaf.focusable = true;
    host.AddChild(&panel);
    panel.SetBounds(CRect(0, 0, 100, 100));
    panel.AddChild(&leaf);
    leaf.SetBounds(CRect(0, 0, 50, 50));
    host.SendMessage(WM_MOUSEMOVE, 0, at(10, 10));
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(10, 10));
    ASSERT_EQ(host.GetCaptureChild(), &leaf);
    ASSERT_EQ(host.GetFocusChild(), &leaf);
    log.clear();
    host.RemoveChild(&panel);
    EXPECT_EQ(host.GetCaptureChild(), nullptr);
    EXPECT_EQ(host.GetFocusChild(), nullptr);
    EXPECT_EQ(host.GetHoverChild(), nullptr);
    EXPECT_FALSE(peer->captured);
    EXPECT_EQ(log, (Log { "l.unfocus" }));
}

TEST_F(Host, DestroyingContainerLeavesNoPointerIntoItsSubtree)
{
    Leaf leaf("l", log);
    leaf.focusable = true;
    {
        Panel panel("p", log);
        host.AddChild(&panel);
        panel.SetBounds(CRect(0, 0, 100, 100));
        panel.AddChild(&leaf);
        leaf.SetBounds(CRect(0, 0, 50, 50));
        host.SendMessage(WM_MOUSEMOVE, 0, at(10, 10));
        host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(10, 10));
        ASSERT_EQ(host.GetCaptureChild(), &leaf);
    }
    EXPECT_EQ(host.GetCaptureChild(), nullptr);
    EXPECT_EQ(host.GetFocusChild(), nullptr);
    EXPECT_EQ(host.GetHoverChild(), nullptr);
    EXPECT_EQ(leaf.GetContainer(), nullptr);
    EXPECT_TRUE(host.GetChildren().empty());
    // Later input reaches no destroyed control.
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(20, 20));
    host.SendMessage(WM_LBUTTONUP, 0, at(20, 20));
}

TEST_F(Host, DestroyingPlainControlWithCaptureClearsIt)
{
    {
        Leaf leaf("l", log);
        host.AddChild(&leaf);
        leaf.SetBounds(CRect(0, 0, 50, 50));
        host.SendMessage(WM_MOUSEMOVE, 0, at(10, 10));
        host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at(10, 10));
        ASSERT_EQ(host.GetCaptureChild(), &leaf);
    }
    EXPECT_EQ(host.GetCaptureChild(), nullptr);
    EXPECT_EQ(host.GetHoverChild(), nullptr);
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at(20, 20));
}

TEST_F(Host, FocusMovesWithUnfocusToTheOldAndFocusOnlyToANewControl)
{
    Leaf a("a", log), b("b", log);
    a.focusable = b.focusable = true;
    host.AddChild(&a);
    host.AddChild(&b);
    a.SetFocus();
    b.SetFocus();
    EXPECT_EQ(log, (Log { "a.focus", "a.unfocus", "b.focus" }));
    EXPECT_TRUE(b.HasFocus());
    EXPECT_TRUE(peer->focused);
    log.clear();
    host.SendMessage(WM_KILLFOCUS);
    EXPECT_EQ(log, (Log { "b.unfocus" }));
    EXPECT_EQ(host.GetFocusChild(), nullptr);
}

TEST_F(Host, FocusRequestClimbsToTheFirstAncestorThatAcceptsIt)
{
    Panel panel("p", log);
    Leaf leaf("l", log);
    panel.focusable = true;
    host.AddChild(&panel);
    panel.AddChild(&leaf);
    leaf.SetFocus();
    EXPECT_EQ(host.GetFocusChild(), &panel);
    EXPECT_EQ(log, (Log { "p.focus" }));
}

TEST_F(Host, SetBoundsWithSameRectDoesNothingAndMoveKeepsSize)
{
    Leaf a("a", log);
    host.AddChild(&a);
    a.SetBounds(CRect(0, 0, 10, 10));
    EXPECT_EQ(log, (Log { "a.size(10,10)" }));
    log.clear();
    peer->invalid.clear();
    a.SetBounds(CRect(0, 0, 10, 10));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(peer->invalid.empty());
    a.SetBounds(CRect(5, 5, 15, 15));
    EXPECT_TRUE(log.empty());
    // The old and the new area are both repainted.
    EXPECT_EQ(peer->invalid, (std::vector<CRect> { CRect(0, 0, 10, 10), CRect(5, 5, 15, 15) }));
}

TEST_F(Host, ChildGainingTheContainersFontGetsAFontEventOneWithItsOwnDoesNot)
{
    CFont font, own;
    LOGFONT lf;
    font.CreateFontIndirect(&lf);
    own.CreateFontIndirect(&lf);
    Panel panel("p", log);
    panel.SetFont(&font);
    Leaf plain("a", log), styled("b", log);
    styled.SetFont(&own);
    panel.AddChild(&plain);
    panel.AddChild(&styled);
    EXPECT_EQ(log, (Log { "a.font" }));
    EXPECT_EQ(plain.GetFont(), &font);
    EXPECT_EQ(styled.GetFont(), &own);
    log.clear();
    panel.AddChild(&plain);
    EXPECT_TRUE(log.empty());
}

TEST_F(Host, UpdateUIReachesEveryControlContainersFirst)
{
    Panel panel("p", log);
    Leaf a("a", log), b("b", log);
    host.AddChild(&panel);
    panel.AddChild(&a);
    host.AddChild(&b);
    host.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_EQ(log, (Log { "p.updateui", "a.updateui", "b.updateui" }));
}

TEST_F(Host, BringToFrontMakesTheChildTopmost)
{
    Leaf a("a", log), b("b", log);
    host.AddChild(&a);
    host.AddChild(&b);
    a.SetBounds(CRect(0, 0, 50, 50));
    b.SetBounds(CRect(0, 0, 50, 50));
    EXPECT_EQ(host.ChildFromPoint(5, 5), &b);
    host.BringToFront(&a);
    EXPECT_EQ(host.ChildFromPoint(5, 5), &a);
}

TEST_F(Host, PaintDrawsVisibleChildrenMeetingTheClipInTheirCoordinates)
{
    Panel panel("p", log);
    Leaf inside("i", log), outside("o", log), hidden("h", log);
    host.AddChild(&panel);
    panel.SetBounds(CRect(10, 20, 110, 90));
    panel.AddChild(&inside);
    panel.AddChild(&outside);
    panel.AddChild(&hidden);
    inside.SetBounds(CRect(5, 5, 50, 50));
    outside.SetBounds(CRect(60, 0, 90, 10));
    hidden.SetBounds(CRect(5, 5, 50, 50));
    hidden.SetVisible(false);

    CDC dc;
    host.Paint(dc, CRect(0, 0, 60, 60));
    ASSERT_EQ(panel.painted.size(), 1u);
    EXPECT_EQ(panel.painted[0], CRect(0, 0, 50, 40));
    EXPECT_EQ(panel.origins[0], CPoint(-10, -20));
    ASSERT_EQ(inside.painted.size(), 1u);
    EXPECT_EQ(inside.painted[0], CRect(0, 0, 45, 35));
    EXPECT_EQ(inside.origins[0], CPoint(-15, -25));
    EXPECT_TRUE(outside.painted.empty());
    EXPECT_TRUE(hidden.painted.empty());
    // Origin and clipping are as they were.
    EXPECT_EQ(dc.GetWindowOrg(), CPoint());
    CRgn r;
    EXPECT_EQ(dc.GetClipRgn(&r), 0);
}

TEST_F(Host, PaintRestoresTheClippingRegionItFound)
{
    Panel panel("p", log);
    host.AddChild(&panel);
    panel.SetBounds(CRect(10, 10, 50, 50));
    CDC dc;
    CRgn before;
    before.CreateRectRgn(0, 0, 30, 30);
    dc.SelectClipRgn(&before);
    host.Paint(dc, CRect(0, 0, 200, 100));
    CRgn after;
    ASSERT_EQ(dc.GetClipRgn(&after), 1);
    RECT box;
    after.GetRgnBox(&box);
    EXPECT_EQ(CRect(box), CRect(0, 0, 30, 30));
}

TEST_F(Host, CursorQueryGoesToTheHoverChildAndEndsInTheClassCursorWhenUnhandled)
{
    Leaf a("a", log);
    host.AddChild(&a);
    a.SetBounds(CRect(10, 10, 50, 50));
    host.SendMessage(WM_MOUSEMOVE, 0, at(20, 20));
    SetCursorPos(1000 + 20, 500 + 20);
    log.clear();
    peer->cursors.clear();
    EXPECT_EQ(host.SendMessage(WM_SETCURSOR, 0, HTCLIENT), FALSE);
    EXPECT_EQ(log, (Log { "a.cursor(10,10)" }));
    // The class cursor (none registered: null) is what shows.
    ASSERT_FALSE(peer->cursors.empty());
    EXPECT_EQ(peer->cursors.back(), nullptr);
    a.sets_cursor = true;
    peer->cursors.clear();
    EXPECT_EQ(host.SendMessage(WM_SETCURSOR, 0, HTCLIENT), TRUE);
    EXPECT_TRUE(peer->cursors.empty());
}

TEST_F(Host, ChildLeavingDuringADeliveryToAllChildrenDoesNotDisturbTheOthers)
{
    struct Leaving : Leaf {
        using Leaf::Leaf;
        void OnUpdateUI() override
        {
            Leaf::OnUpdateUI();
            GetContainer()->RemoveChild(this);
        }
    };
    Leaving a("a", log);
    Leaf b("b", log);
    host.AddChild(&a);
    host.AddChild(&b);
    host.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_EQ(log, (Log { "a.updateui", "b.updateui" }));
    EXPECT_EQ(host.GetChildren().size(), 1u);
}
