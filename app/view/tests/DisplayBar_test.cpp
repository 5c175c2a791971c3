// The strip over the bottom of the view area: its layout by width, the
// colour box following its target view, and its place in the frame.

#include "app/view/DisplayBar.h"
#include "app/view/SequenceView.h"
#include "widgets/containers/PanelBar.h"
#include "widgets/core/tests/FakeHost.h"

#include <gtest/gtest.h>

namespace {

struct FakeFrame : My::PanelFrame {
    CRect area { 0, 0, 1000, 700 };
    int right = 200;
    int bottom = 150;
    bool rightVisible = true;
    bool bottomVisible = true;
    bool status = true;
    CRect GetBarArea() const override { return area; }
    int GetRightBarSize() const override { return right; }
    int GetBottomBarSize() const override { return bottom; }
    bool IsRightBarVisible() const override { return rightVisible; }
    bool IsBottomBarVisible() const override { return bottomVisible; }
    bool IsStatusBarVisible() const override { return status; }
    void ArrangeBars(int, int, bool, bool) override { }
    void ClearHiddenBySize(bool) override { }
    void RecalcLayout() override { }
};

int Width(const My::Widget& w)
{
    return w.GetBounds().Width();
}

TEST(DisplayBar, WithoutAViewTheColourBoxIsDisabledAndTheStripTakesNoArea)
{
    My::DisplayPanel strip;
    EXPECT_FALSE(strip.GetColorBox().IsEnabled());
    COLORREF color = 1;
    EXPECT_FALSE(strip.GetColorBox().GetColor(color));
    strip.GetColorBox().SetColor(RGB(1, 2, 3));
    FakeFrame frame;
    EXPECT_TRUE(My::DisplayPanel::Place(frame, false, 20).IsRectEmpty());
}

TEST(DisplayBar, SliderWidthFollowsTheStripWidth)
{
    My::DisplayPanel strip;
    strip.SetBounds(CRect(0, 0, 400, 20));
    strip.Layout();
    EXPECT_EQ(Width(strip.GetZoomSlider()), 50);
    EXPECT_EQ(strip.GetZoomEdit().GetBounds(), CRect(0, 0, 75, 20));
    EXPECT_EQ(strip.GetZoomOut().GetBounds(), CRect(75, 0, 100, 20));
    EXPECT_EQ(strip.GetZoomIn().GetBounds().left, 150);
    // The colour box is a square of the strip's height after the buttons.
    EXPECT_EQ(strip.GetColorBox().GetBounds(), CRect(175, 0, 195, 20));
    EXPECT_EQ(strip.GetColorBox().GetAlignment(), 0x33u);
    strip.SetBounds(CRect(0, 0, 150, 20));
    strip.Layout();
    EXPECT_EQ(Width(strip.GetZoomSlider()), 25);
}

TEST(DisplayBar, FurtherControlsFollowTheColourBoxWhileVisible)
{
    My::DisplayPanel strip;
    My::Widget a, b;
    b.SetVisible(false);
    strip.AddControl(&b);
    strip.AddControl(&a);
    strip.SetBounds(CRect(0, 0, 400, 20));
    strip.Layout();
    EXPECT_EQ(a.GetBounds().left, 195);
    EXPECT_EQ(a.GetBounds().Height(), 20);
}

TEST(DisplayBar, ColourBoxReadsAndSetsTheViewsBackground)
{
    My::SequenceView view;
    auto state = test::attach_fake(view);
    My::DisplayPanel strip;
    strip.SetView(&view);
    EXPECT_TRUE(strip.GetColorBox().IsEnabled());
    strip.GetColorBox().SetColor(RGB(10, 20, 30));
    EXPECT_EQ(view.GetBackgroundColor(), RGB(10, 20, 30));
    COLORREF color = 0;
    ASSERT_TRUE(strip.GetColorBox().GetColor(color));
    EXPECT_EQ(color, RGB(10, 20, 30));
    strip.SetView(nullptr);
    EXPECT_FALSE(strip.GetColorBox().IsEnabled());
}

TEST(DisplayBar, PlacedAboveTheStatusAndBottomBarsLeftOfTheRightBar)
{
    FakeFrame frame;
    // 700 - 16 (status) - 150 - 5 (bottom bar and splitter) - 5.
    EXPECT_EQ(My::DisplayPanel::Place(frame, true, 20), CRect(0, 504, 795, 524));
    frame.rightVisible = frame.bottomVisible = frame.status = false;
    EXPECT_EQ(My::DisplayPanel::Place(frame, true, 20), CRect(0, 675, 1000, 695));
}

} // namespace
