// The "Display" panel of the right bar: its zoom row by width, its size,
// the editor without help texts, and the tool bar's two commands.

#include "app/shell/DisplayPanel.h"

#include "app/display/tests/painting_test_support.h"
#include "app/view/TLView.h"
#include "document/composition/TLComp.h"
#include "widgets/properties/PropertyRow.h"

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

TEST(DisplayPanel, NeedsTheToolBarPlusRoomForEveryStyleRowAndTheZoomRow)
{
    DisplayPanel panel;
    // Preview and Edit Mask, 18 pixels square.
    EXPECT_EQ(panel.GetToolBar().GetPreferredSize(), CSize(2 * 18, 18));
    // "Display Style" with Type, Mask (Smooth, Inverse) and Matte (Color,
    // Opacity).
    EXPECT_EQ(panel.GetStyleRowCount(), 8);
    const int zoomRow = panel.GetZoomEdit().GetPreferredSize().cy;
    EXPECT_EQ(panel.GetContentSize(), CSize(2 * 18 + 160, 18 + 8 * My::PropertyRow::height + zoomRow));
    EXPECT_EQ(panel.GetTitle(), "Display");
    // Laid out at that size, the editor has room for every row.
    panel.SetBounds(CRect(CPoint(), panel.GetNeededSize()));
    panel.Layout();
    EXPECT_EQ(panel.GetToolBar().GetBounds().Size(), CSize(2 * 18, 18));
    EXPECT_EQ(panel.GetEditor().GetBounds().Height(), 8 * My::PropertyRow::height);
}

TEST(DisplayPanel, WithoutAViewTheEditorShowsNothingAndZoomIsDisabled)
{
    DisplayPanel panel;
    panel.SetView(nullptr);
    EXPECT_FALSE(panel.GetZoomSlider().IsEnabled());
    EXPECT_FALSE(panel.GetZoomEdit().IsEnabled());
}

struct CountingListener : My::EventListener {
    int changes = 0;
    void OnEvent(My::Event& event) override
    {
        if (dynamic_cast<My::PropertyChange*>(&event))
            ++changes;
    }
};

TEST(DisplayPanel, FollowsStyleChangesTheViewMakesUntilUnbound)
{
    TLComp comp;
    painting_testing::ListCache cache;
    TLView view(comp, cache);
    CountingListener rows;
    {
        DisplayPanel panel;
        // The editor's rows listen to the style's properties.
        for (const auto& [label, property] : panel.GetStyleObject().GetProperties().GetMap())
            property->AddListener(&rows);
        panel.SetView(&view);
        EXPECT_EQ(view.GetStyleDispatcher().GetListenerCount(), 1u);
        EXPECT_EQ(panel.GetView(), &view);
        // A style set through the view (a display key) reaches the editor.
        view.SetDisplayType(int(DisplayType::ForegroundOnly));
        EXPECT_EQ(rows.changes, 1);
        // An unchanged style tells nobody.
        view.SetDisplayType(int(DisplayType::ForegroundOnly));
        EXPECT_EQ(rows.changes, 1);
        panel.SetView(nullptr);
        EXPECT_EQ(view.GetStyleDispatcher().GetListenerCount(), 0u);
        view.SetDisplayType(int(DisplayType::MaskOnly));
        EXPECT_EQ(rows.changes, 1);
        panel.SetView(&view);
        for (const auto& [label, property] : panel.GetStyleObject().GetProperties().GetMap())
            property->RemoveListener(&rows);
    }
    // A panel gone leaves no listener behind.
    EXPECT_EQ(view.GetStyleDispatcher().GetListenerCount(), 0u);
}

} // namespace

TEST(DisplayPanel, ABoundViewsStyleShowsEveryRowWithoutScrolling)
{
    TLComp comp;
    painting_testing::ListCache cache;
    TLView view(comp, cache);
    DisplayPanel panel;
    panel.SetView(&view);
    My::PropertyList& list = panel.GetEditor().GetList();
    EXPECT_EQ(list.GetRowCount(), panel.GetStyleRowCount());
    panel.SetBounds(CRect(CPoint(), panel.GetNeededSize()));
    panel.Layout();
    list.Layout();
    EXPECT_EQ(list.GetContentHeight(), panel.GetEditor().GetBounds().Height());
    panel.SetView(nullptr);
    EXPECT_EQ(list.GetRowCount(), 0);
}
