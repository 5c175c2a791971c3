#include "app/shell/FrameLayout.h"

#include <gtest/gtest.h>

namespace {

FrameLayout Window(int width, int height)
{
    FrameLayout layout;
    layout.SetToolStrip(29, true);
    layout.SetHasWindow(true);
    layout.SetClientSize(width, height);
    return layout;
}

TEST(FrameLayout, TinyStoredSizesAreRaisedToTenOrTheBarsMinimum)
{
    FrameLayout layout = Window(1000, 700);
    layout.ArrangeBars(3, 3, true, true);
    EXPECT_EQ(layout.GetRightSize(), 10);
    EXPECT_EQ(layout.GetBottomSize(), 10);
    layout.SetMinimums(120, 40);
    layout.ArrangeBars(3, 3, true, true);
    EXPECT_EQ(layout.GetRightSize(), 120);
    EXPECT_EQ(layout.GetBottomSize(), 40);
}

TEST(FrameLayout, BarsLargerThanTheWindowAreClampedAndSnapToTheFarEdge)
{
    FrameLayout layout = Window(1000, 700);
    // Usable: 1000 - 29 wide, 700 - 16 high.
    layout.ArrangeBars(5000, 5000, true, true);
    EXPECT_EQ(layout.GetRightSize(), 971 - 5);
    EXPECT_EQ(layout.GetBottomSize(), 684 - 5);
    layout.ArrangeBars(971 - 20, 300, true, true);
    EXPECT_EQ(layout.GetRightSize(), 971 - 5);
    layout.ArrangeBars(971 - 30, 300, true, true);
    EXPECT_EQ(layout.GetRightSize(), 971 - 30);
}

TEST(FrameLayout, ArrangeReportsWhetherAnythingChanged)
{
    FrameLayout layout = Window(1000, 700);
    EXPECT_FALSE(layout.ArrangeBars(200, 200, true, true));
    EXPECT_TRUE(layout.ArrangeBars(200, 200, false, true));
    EXPECT_FALSE(layout.ArrangeBars(200, 200, false, true));
}

TEST(FrameLayout, NarrowWindowHidesTheRightBarAndWideningShowsItAgain)
{
    FrameLayout layout = Window(1000, 700);
    layout.ArrangeBars(300, 200, true, true);
    layout.SetClientSize(300, 700);
    layout.AutoHide();
    EXPECT_FALSE(layout.IsRightVisible());
    EXPECT_TRUE(layout.IsBottomVisible());
    layout.SetClientSize(1000, 700);
    layout.AutoHide();
    EXPECT_TRUE(layout.IsRightVisible());
}

TEST(FrameLayout, BarHiddenByTheUserStaysHiddenWhenTheWindowGrows)
{
    FrameLayout layout = Window(1000, 700);
    layout.ArrangeBars(300, 200, false, true);
    layout.SetClientSize(2000, 700);
    layout.AutoHide();
    EXPECT_FALSE(layout.IsRightVisible());
}

TEST(FrameLayout, AreasTileTheClientWithoutOverlap)
{
    FrameLayout layout = Window(1000, 700);
    layout.SetDisplayStripHeight(20);
    layout.ArrangeBars(200, 150, true, true);
    const FrameLayout::Rects r = layout.Compute();
    EXPECT_EQ(r.status, CRect(0, 684, 1000, 700));
    EXPECT_EQ(r.bottom, CRect(0, 534, 1000, 684));
    EXPECT_EQ(r.bottomSplitter, CRect(0, 529, 1000, 534));
    EXPECT_EQ(r.tools, CRect(0, 0, 29, 529));
    EXPECT_EQ(r.right, CRect(800, 0, 1000, 529));
    EXPECT_EQ(r.rightSplitter, CRect(795, 0, 800, 529));
    EXPECT_EQ(r.display, CRect(29, 509, 795, 529));
    EXPECT_EQ(r.view, CRect(29, 0, 795, 509));
    layout.ArrangeBars(200, 150, false, false);
    layout.SetStatusVisible(false);
    const FrameLayout::Rects hidden = layout.Compute();
    EXPECT_EQ(hidden.view, CRect(29, 0, 995, 675));
}

TEST(FrameLayout, DisplayStripSitsUnderTheViewOnlyWhileThereIsAView)
{
    FrameLayout layout = Window(1000, 700);
    layout.ArrangeBars(200, 150, true, true);
    layout.SetDisplayStrip(20, false);
    FrameLayout::Rects r = layout.Compute();
    EXPECT_TRUE(r.display.IsRectEmpty());
    EXPECT_EQ(r.view, CRect(29, 0, 795, 529));
    layout.SetDisplayStrip(20, true);
    r = layout.Compute();
    EXPECT_EQ(r.display, CRect(29, 509, 795, 529));
    EXPECT_EQ(r.view.bottom, r.display.top);
    // With the bottom bar and the status strip hidden, its bottom edge is 5
    // pixels above the client's bottom, left of the right bar's splitter.
    layout.ArrangeBars(200, 150, true, false);
    layout.SetStatusVisible(false);
    r = layout.Compute();
    EXPECT_EQ(r.display, CRect(29, 675, 795, 695));
    // A window too low for the strip keeps an empty view, never a negative one.
    FrameLayout low = Window(1000, 30);
    low.ArrangeBars(200, 150, true, false);
    low.SetDisplayStrip(20, true);
    r = low.Compute();
    EXPECT_GE(r.view.Height(), 0);
}

} // namespace
