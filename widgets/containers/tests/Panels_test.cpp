#include <gtest/gtest.h>

#include <vector>

#include "widgets/containers/PanelBar.h"
#include "widgets/containers/Splitters.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"

namespace {

// A frame of 800 x 600 with a status bar; arranging stores the values (at
// least 10 pixels, as the frame does) and re-places the controls.
struct Frame : My::PanelFrame {
    int right = 200, bottom = 150;
    bool right_visible = true, bottom_visible = true, status = true;
    int arranged = 0, cleared = 0, recalcs = 0;
    std::vector<My::Widget*> placed;
    std::vector<My::Grip*> grips;
    My::RightSplitter* splitter = nullptr;

    CRect GetBarArea() const override { return CRect(0, 0, 800, 600); }
    int GetRightBarSize() const override { return right; }
    int GetBottomBarSize() const override { return bottom; }
    bool IsRightBarVisible() const override { return right_visible; }
    bool IsBottomBarVisible() const override { return bottom_visible; }
    bool IsStatusBarVisible() const override { return status; }
    void ArrangeBars(int r, int b, bool rv, bool bv) override
    {
        ++arranged;
        right = std::max(r, 10);
        bottom = std::max(b, 10);
        right_visible = rv;
        bottom_visible = bv;
        for (My::Grip* g : grips)
            g->Place();
        if (splitter)
            splitter->Place();
    }
    void ClearHiddenBySize(bool) override { ++cleared; }
    void RecalcLayout() override { ++recalcs; }
};

struct Host {
    My::Window<CWnd> window;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(window);
    Host() { peer->client = CRect(0, 0, 800, 600); }
};

// Press, move by (dx, dy) and release, in the control's coordinates at the
// press (the control may move meanwhile).
void drag(My::Control& c, CPoint at, int dx, int dy)
{
    const CPoint origin = c.GetOrigin();
    c.OnLeftDown(MK_LBUTTON, at);
    const CPoint to = at + CPoint(dx, dy) + origin - c.GetOrigin();
    c.OnMouseMove(MK_LBUTTON, to);
    const CPoint end = at + CPoint(dx, dy) + origin - c.GetOrigin();
    c.OnLeftUp(0, end);
}

struct Fixed : My::Panel {
    CSize content;
    Fixed(int w, int h, int align, std::string title = {})
        : My::Panel(std::move(title), align)
        , content(w, h)
    {
    }
    CSize GetContentSize() const override { return content; }
};

} // namespace

TEST(PanelBar, RectanglesFollowTheFramesSizesAndTheStatusBar)
{
    Frame f;
    My::RightPanelBar right(f);
    My::BottomPanelBar bottom(f);
    My::ToolPanelBar tool(f);
    // Bottom of the usable area: 600 - 16.
    EXPECT_EQ(bottom.ComputeRect(), CRect(0, 434, 800, 584));
    EXPECT_EQ(right.ComputeRect(), CRect(600, 0, 800, 429));
    EXPECT_EQ(My::RightSplitter(f).ComputeRect(), CRect(595, 0, 600, 429));
    EXPECT_EQ(My::BottomSplitter(f).ComputeRect(), CRect(0, 429, 800, 434));
    EXPECT_EQ(My::CornerGrip(f).ComputeRect(), CRect(585, 419, 600, 434));
    EXPECT_EQ(My::RightGrip(f).ComputeRect(), CRect(595, 204, 600, 225));
    // Under the view: from 0 to 800 - 5 - 200.
    EXPECT_EQ(My::BottomGrip(f).ComputeRect(), CRect(287, 429, 308, 434));
    f.bottom_visible = false;
    f.status = false;
    EXPECT_FALSE(bottom.IsVisible());
    EXPECT_EQ(tool.ComputeRect(), CRect(0, 0, 1, 595));
    f.bottom_visible = true;
    f.bottom = 560;
    // The right splitter is 35 pixels high: no grip.
    EXPECT_TRUE(My::RightGrip(f).ComputeRect().IsRectEmpty());
}

TEST(PanelBar, PanelsStackByAlignmentAndTheNeededSizeAddsThemUp)
{
    Frame f;
    My::RightPanelBar bar(f);
    Fixed a(50, 30, 3), b(70, 20, 3), rest(10, 10, 0), late(10, 10, 3);
    bar.AddPanel(&a);
    bar.AddPanel(&a);
    bar.AddPanel(&b);
    bar.AddPanel(&rest);
    bar.AddPanel(&late);
    EXPECT_EQ(f.recalcs, 4);
    EXPECT_EQ(b.GetBarIndex(), 1);
    bar.Place();
    const int cap = a.GetCaptionHeight();
    EXPECT_EQ(a.GetBounds(), CRect(0, 0, 200, 30 + cap));
    EXPECT_EQ(b.GetBounds(), CRect(0, 30 + cap, 200, 50 + 2 * cap));
    EXPECT_EQ(rest.GetBounds(), CRect(0, 50 + 2 * cap, 200, 429));
    EXPECT_TRUE(late.GetBounds().IsRectEmpty());
    EXPECT_EQ(bar.GetNeededSize(), CSize(70, 70 + 4 * cap));
    My::ToolPanelBar tool(f);
    Fixed left(40, 5, 1), right(30, 8, 2);
    tool.AddPanel(&left);
    tool.AddPanel(&right);
    EXPECT_EQ(tool.GetRequiredSize(), CSize(71, 8 + cap));
    // Aligned at the right now: the bar lays out again.
    left.SetAlignment(2);
    EXPECT_EQ(left.GetAlignment(), 2);
}

TEST(PanelBar, APanelNeedsTheWidthOfItsWholeTitle)
{
    Frame f;
    My::ToolPanelBar tool(f);
    // One column of tool buttons under the title "Tools": seven pixels a
    // character without a display, and 2 on either side.
    Fixed tools(29, 100, 0, "Tools");
    EXPECT_EQ(tools.GetTitleWidth(), 5 * 7 + 4);
    EXPECT_EQ(tools.GetNeededSize(), CSize(39, 100 + tools.GetCaptionHeight()));
    tool.AddPanel(&tools);
    EXPECT_EQ(tool.GetRequiredSize().cx, 40);
    // Content wider than the title keeps its own width.
    Fixed wide(120, 10, 3, "Tools");
    EXPECT_EQ(wide.GetNeededSize().cx, 120);
    // A longer title asks the frame for a new layout.
    const int before = f.recalcs;
    tools.SetTitle("Drawing Tools");
    EXPECT_EQ(f.recalcs, before + 1);
    EXPECT_EQ(tool.GetRequiredSize().cx, 13 * 7 + 4 + 1);
}

TEST(Splitters, ARightBarDraggedBelowTenPixelsHidesAndComesBackAtTheDraggedWidth)
{
    Frame f;
    Host h;
    My::RightSplitter s(f);
    f.splitter = &s;
    h.window.AddChild(&s);
    s.Place();
    drag(s, CPoint(2, 100), 191, 0);
    EXPECT_FALSE(f.right_visible);
    EXPECT_EQ(f.right, 200);
    EXPECT_GT(f.cleared, 0);
    // From the hidden bar's edge back out by 120 pixels.
    drag(s, CPoint(2, 100), -120, 0);
    EXPECT_TRUE(f.right_visible);
    EXPECT_EQ(f.right, 120);
    h.window.RemoveChild(&s);
}

TEST(Splitters, GripsToggleOnAClickAndResizeAfterMovingTwoPixels)
{
    Frame f;
    Host h;
    My::RightGrip grip(f);
    f.grips.push_back(&grip);
    h.window.AddChild(&grip);
    grip.Place();
    drag(grip, CPoint(2, 10), 1, 0);
    EXPECT_FALSE(f.right_visible);
    EXPECT_EQ(f.right, 200);
    drag(grip, CPoint(2, 10), 1, 0);
    EXPECT_TRUE(f.right_visible);
    drag(grip, CPoint(2, 10), -2, 0);
    EXPECT_TRUE(f.right_visible);
    EXPECT_EQ(f.right, 202);
    h.window.RemoveChild(&grip);
}

TEST(Splitters, TheCornerGripHidesBothUnlessBothAreHidden)
{
    Frame f;
    Host h;
    My::CornerGrip corner(f);
    f.grips.push_back(&corner);
    h.window.AddChild(&corner);
    corner.Place();
    f.bottom_visible = false;
    drag(corner, CPoint(5, 5), 0, 0);
    EXPECT_FALSE(f.right_visible);
    EXPECT_FALSE(f.bottom_visible);
    drag(corner, CPoint(5, 5), 0, 0);
    EXPECT_TRUE(f.right_visible);
    EXPECT_TRUE(f.bottom_visible);
    EXPECT_EQ(f.right, 200);
    EXPECT_EQ(f.bottom, 150);
    // Dragged: each side on its own.
    drag(corner, CPoint(5, 5), -10, 145);
    EXPECT_EQ(f.right, 210);
    EXPECT_FALSE(f.bottom_visible);
    EXPECT_TRUE(f.right_visible);
    h.window.RemoveChild(&corner);
}
