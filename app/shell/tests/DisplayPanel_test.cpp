// The "Display" panel of the right bar: its zoom row by width, its size,
// the editor without help texts, and the tool bar's two commands.

#include "app/shell/DisplayPanel.h"

#include <gtest/gtest.h>

namespace {

TEST(DisplayPanel, ZoomRowSharesItsWidthBetweenFieldAndSlider)
{
    DisplayPanel panel;
    panel.SetBounds(CRect(0, 0, 300, 400));
    panel.Layout();
    EXPECT_EQ(panel.GetZoomEdit().GetBounds().Width(), 100);
    EXPECT_EQ(panel.GetZoomSlider().GetBounds().Width(), 150);
    EXPECT_EQ(panel.GetZoomOut().GetBounds().Width(), 25);
    EXPECT_EQ(panel.GetZoomIn().GetBounds().right, 300);
    // The row sits at the bottom; the editor fills the space above it.
    EXPECT_EQ(panel.GetZoomIn().GetBounds().bottom, 400);
    EXPECT_EQ(panel.GetEditor().GetBounds().bottom, panel.GetZoomEdit().GetBounds().top);
    EXPECT_EQ(panel.GetEditor().GetBounds().top, panel.GetToolBar().GetBounds().bottom);
    // Narrow rows keep a slider of 50 pixels.
    panel.SetBounds(CRect(0, 0, 120, 400));
    panel.Layout();
    EXPECT_EQ(panel.GetZoomSlider().GetBounds().Width(), 50);
    EXPECT_EQ(panel.GetZoomEdit().GetBounds().Width(), 20);
}

TEST(DisplayPanel, NeedsTheToolBarPlusRoomForEditorAndZoomRow)
{
    DisplayPanel panel;
    const CSize bar = panel.GetToolBar().GetPreferredSize();
    EXPECT_EQ(panel.GetContentSize(), CSize(bar.cx + 160, bar.cy + 60));
    EXPECT_EQ(panel.GetTitle(), "Display");
}

TEST(DisplayPanel, WithoutAViewTheEditorShowsNothingAndZoomIsDisabled)
{
    DisplayPanel panel;
    panel.SetView(nullptr);
    EXPECT_FALSE(panel.GetZoomSlider().IsEnabled());
    EXPECT_FALSE(panel.GetZoomEdit().IsEnabled());
}

} // namespace
