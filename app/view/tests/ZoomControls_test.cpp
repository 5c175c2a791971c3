// The zoom controls bound to a view with a fake window: disabled without a
// view, the slider's logarithmic scale, the percent field's strict texts,
// and the menu of steps.

#include "app/view/SequenceView.h"
#include "app/view/ZoomControls.h"
#include "platform/gui/menu.h"
#include "widgets/core/tests/FakeHost.h"

#include <gtest/gtest.h>

namespace {

struct ZoomControls : ::testing::Test {
    ZoomControls()
    {
        state = test::attach_fake(view);
        view.SetImageSize(400, 300);
    }
    ~ZoomControls() override { CMenu::SetResponder({}); }
    My::SequenceView view;
    std::shared_ptr<test::FakePeerState> state;
};

} // namespace

TEST_F(ZoomControls, WithoutAViewEveryControlIsDisabledAndChangesNothing)
{
    // Never bound (no project open yet) and unbound again alike.
    My::ZoomSlider slider;
    My::ZoomIn in;
    My::ZoomOut out;
    My::ZoomEdit edit;
    EXPECT_FALSE(slider.IsEnabled());
    EXPECT_FALSE(in.IsEnabled());
    EXPECT_FALSE(out.IsEnabled());
    EXPECT_FALSE(edit.IsEnabled());
    slider.SetView(&view);
    in.SetView(&view);
    out.SetView(&view);
    edit.SetView(&view);
    EXPECT_TRUE(slider.IsEnabled() && in.IsEnabled() && out.IsEnabled() && edit.IsEnabled());
    slider.SetView(nullptr);
    in.SetView(nullptr);
    out.SetView(nullptr);
    edit.SetView(nullptr);
    EXPECT_FALSE(slider.IsEnabled());
    EXPECT_FALSE(in.IsEnabled());
    EXPECT_FALSE(out.IsEnabled());
    EXPECT_FALSE(edit.IsEnabled());
    EXPECT_EQ(slider.GetValue(), 0.0);
    slider.SetValue(1.0);
    in.Click();
    edit.SetText("200");
    edit.Choose(1000);
    std::string text;
    EXPECT_FALSE(edit.GetText(text));
    EXPECT_EQ(view.GetGeometry().GetZoom(), 1.0);
}

TEST_F(ZoomControls, PercentFieldTakesOnlyANumberWithAnOptionalPercentSign)
{
    My::ZoomTextEdit edit;
    edit.SetView(&view);
    EXPECT_TRUE(edit.IsEnabled());
    std::string text;
    ASSERT_TRUE(edit.GetText(text));
    EXPECT_EQ(text, "100%");
    for (const char* bad : { "150x", "", "%", "x150", "1e3", "inf" }) {
        edit.SetText(bad);
        EXPECT_EQ(view.GetGeometry().GetZoom(), 1.0) << bad;
    }
    for (const char* good : { "150", "150%", "150 %" }) {
        view.SetZoom(1.0);
        edit.SetText(good);
        EXPECT_DOUBLE_EQ(view.GetGeometry().GetZoom(), 1.5) << good;
    }
    edit.SetText("100000");
    EXPECT_EQ(view.GetGeometry().GetZoom(), 100.0);
    edit.GetText(text);
    EXPECT_EQ(text, "10000%");
}

TEST_F(ZoomControls, SliderIsLogarithmicAndButtonsDoubleAndHalve)
{
    My::ZoomSlider slider;
    My::ZoomIn in;
    My::ZoomOut out;
    slider.SetView(&view);
    in.SetView(&view);
    out.SetView(&view);
    EXPECT_NEAR(slider.GetValue(), 1.0 / 3, 1e-12);
    slider.SetValue(1.0);
    EXPECT_NEAR(view.GetGeometry().GetZoom(), 16.0, 1e-9);
    in.Click();
    EXPECT_NEAR(view.GetGeometry().GetZoom(), 32.0, 1e-9);
    EXPECT_GT(slider.GetValue(), 1.0);
    out.Click();
    out.Click();
    EXPECT_NEAR(view.GetGeometry().GetZoom(), 8.0, 1e-9);
}

TEST_F(ZoomControls, MenuChecksTheCurrentStepAndAppliesTheChoice)
{
    My::ZoomEdit edit;
    edit.SetView(&view);
    std::vector<CMenu::item> shown;
    int answer = 3;
    CMenu::SetResponder([&](const CMenu& menu, UINT, const CPoint&) {
        shown = menu.Items();
        return answer;
    });
    edit.ShowMenu();
    ASSERT_EQ(shown.size(), 9u);
    EXPECT_EQ(shown[2].text, "100%");
    EXPECT_TRUE(shown[2].flags & MF_CHECKED);
    EXPECT_FALSE(shown[3].flags & MF_CHECKED);
    EXPECT_TRUE(shown[7].flags & MF_SEPARATOR);
    EXPECT_EQ(shown[8].id, 1000u);
    EXPECT_EQ(view.GetGeometry().GetZoom(), 1.0);
    answer = 7;
    edit.ShowMenu();
    EXPECT_EQ(view.GetGeometry().GetZoom(), 16.0);
    answer = 0;
    edit.ShowMenu();
    EXPECT_EQ(view.GetGeometry().GetZoom(), 16.0);
    answer = 1000;
    edit.ShowMenu();
    // The fake window is 200 x 100: the 400 x 300 image fits at a third.
    EXPECT_NEAR(view.GetGeometry().GetZoom(), 1.0 / 3, 1e-9);
}
