#include <gtest/gtest.h>

#include "platform/gui/menu.h"
#include "platform/gui/messages.h"
#include "widgets/controls/DropDown.h"
#include "widgets/controls/Slider.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"

namespace {

class ValueSlider : public My::Slider {
public:
    double value = 0.5;
    std::vector<double> set;
    double GetValue() const override { return value; }
    void SetValue(double v) override
    {
        value = v;
        set.push_back(v);
    }
};

struct SliderHost : ::testing::Test {
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(host);
    ValueSlider slider;
    CDC nowhere;
    explicit SliderHost(int width = 112)
    {
        host.AddChild(&slider);
        slider.SetBounds(CRect(0, 0, width, 20));
        slider.Paint(nowhere, CRect(0, 0, width, 20));
    }
    void send(UINT msg, int x, WPARAM flags = 0) { host.SendMessage(msg, flags, test::at(x, 10)); }
};

class Choice : public My::DropDown {
public:
    std::vector<std::string> entries;
    int index = -1;
    bool readable = true;
    int GetCount() const override { return int(entries.size()); }
    std::string GetText(int i) const override { return entries.at(std::size_t(i)); }
    std::string GetEmptyText() const override { return "(none)"; }
    bool GetIndex(int& i) const override
    {
        i = index;
        return readable;
    }
    void SetIndex(int i) override { index = i; }
};

struct MenuResponder {
    std::vector<CMenu::item> shown;
    MenuResponder(int answer)
    {
        CMenu::SetResponder([this, answer](const CMenu& m, UINT flags, const CPoint&) {
            shown = m.Items();
            EXPECT_TRUE(flags & TPM_RETURNCMD);
            EXPECT_TRUE(flags & TPM_NONOTIFY);
            return answer;
        });
    }
    ~MenuResponder() { CMenu::SetResponder({}); }
};

} // namespace

TEST_F(SliderHost, TrackLiesInsideTheMarginsAndTheBand)
{
    // 112 - 2 x 6 margin = 100 wide band, less one pixel on each side.
    EXPECT_EQ(slider.GetTrackLeft(), 7);
    EXPECT_EQ(slider.GetTrackWidth(), 98);
}

TEST_F(SliderHost, PressJumpsToThePointAndDraggingPinsTheEnds)
{
    send(WM_MOUSEMOVE, 56);
    send(WM_LBUTTONDOWN, 56, MK_LBUTTON);
    EXPECT_DOUBLE_EQ(slider.value, 49.0 / 98);
    send(WM_MOUSEMOVE, 500, MK_LBUTTON);
    EXPECT_DOUBLE_EQ(slider.value, 1.0);
    send(WM_MOUSEMOVE, -500, MK_LBUTTON);
    EXPECT_DOUBLE_EQ(slider.value, 0.0);
    send(WM_LBUTTONUP, -500);
    EXPECT_FALSE(slider.HasCapture());
}

TEST_F(SliderHost, DragMovesTheThumbByThePointersTravel)
{
    slider.value = 0.25;
    send(WM_MOUSEMOVE, 7);
    send(WM_LBUTTONDOWN, 7, MK_LBUTTON); // jumps to 0.0
    slider.value = 0.25; // as if the subclass kept its own
    send(WM_MOUSEMOVE, 7 + 49, MK_LBUTTON);
    EXPECT_DOUBLE_EQ(slider.value, (49.0 + 24) / 98);
}

TEST_F(SliderHost, DisabledSliderIgnoresPressesAndDrags)
{
    slider.SetEnabled(false);
    send(WM_MOUSEMOVE, 20);
    send(WM_LBUTTONDOWN, 20, MK_LBUTTON);
    send(WM_MOUSEMOVE, 90, MK_LBUTTON);
    send(WM_LBUTTONUP, 90);
    EXPECT_TRUE(slider.set.empty());
    EXPECT_DOUBLE_EQ(slider.value, 0.5);
}

TEST(Slider, NarrowerThanItsMarginsChangesNothing)
{
    My::Window<CWnd> host;
    auto peer = test::attach_fake(host);
    ValueSlider slider;
    host.AddChild(&slider);
    slider.SetBounds(CRect(0, 0, 12, 20));
    CDC nowhere;
    slider.Paint(nowhere, CRect(0, 0, 12, 20));
    EXPECT_LE(slider.GetTrackWidth(), 0);
    host.SendMessage(WM_MOUSEMOVE, 0, test::at(5, 10));
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(5, 10));
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, test::at(10, 10));
    host.SendMessage(WM_LBUTTONUP, 0, test::at(10, 10));
    EXPECT_TRUE(slider.set.empty());
}

TEST(DropDown, SelectNextWrapsAndStartsFromTheFirst)
{
    Choice c;
    c.entries = { "a", "b", "c" };
    c.index = 2;
    c.SelectNext();
    EXPECT_EQ(c.index, 0);
    c.SelectNext();
    EXPECT_EQ(c.index, 1);
    c.index = -1;
    c.SelectNext();
    EXPECT_EQ(c.index, 0);
    c.index = 1;
    c.readable = false;
    c.SelectNext();
    EXPECT_EQ(c.index, 0);
}

TEST(DropDown, SelectNextWithoutEntriesDoesNothing)
{
    Choice c;
    c.index = 5;
    c.SelectNext();
    EXPECT_EQ(c.index, 5);
}

struct DropDownHost : ::testing::Test {
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(host);
    Choice choice;
    CDC nowhere;
    DropDownHost()
    {
        choice.entries = { "alpha", "beta", "gamma" };
        choice.index = 1;
        host.AddChild(&choice);
        choice.SetBounds(CRect(0, 0, 150, 20));
        choice.Paint(nowhere, CRect(0, 0, 150, 20));
    }
    void click(const CPoint& p)
    {
        host.SendMessage(WM_MOUSEMOVE, 0, test::at(p.x, p.y));
        host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(p.x, p.y));
        host.SendMessage(WM_LBUTTONUP, 0, test::at(p.x, p.y));
    }
};

TEST_F(DropDownHost, ButtonAndTextRectanglesSplitTheControl)
{
    // The arrow is 7 wide: a button 15 wide at the right edge.
    EXPECT_EQ(choice.GetButtonRect(), CRect(135, 0, 150, 20));
    EXPECT_EQ(choice.GetTextRect().left, 4);
    EXPECT_LE(choice.GetTextRect().right, 135);
}

TEST_F(DropDownHost, ClickOnTheTextStepsToTheNextEntry)
{
    click(choice.GetTextRect().CenterPoint());
    EXPECT_EQ(choice.index, 2);
}

TEST_F(DropDownHost, TheMenuListsTheEntriesWithTheCurrentCheckedAndSelectsTheChoice)
{
    MenuResponder r(3);
    click(choice.GetButtonRect().CenterPoint());
    ASSERT_EQ(r.shown.size(), 3u);
    EXPECT_EQ(r.shown[0].id, 1u);
    EXPECT_EQ(r.shown[2].text, "gamma");
    EXPECT_TRUE(r.shown[1].flags & MF_CHECKED);
    EXPECT_FALSE(r.shown[0].flags & MF_CHECKED);
    EXPECT_EQ(choice.index, 2);
}

TEST_F(DropDownHost, DismissingTheMenuChangesNothingAndADisabledOneOpensNone)
{
    {
        MenuResponder r(0);
        click(choice.GetButtonRect().CenterPoint());
        EXPECT_EQ(choice.index, 1);
    }
    MenuResponder r(1);
    choice.SetEnabled(false);
    click(choice.GetButtonRect().CenterPoint());
    click(choice.GetTextRect().CenterPoint());
    EXPECT_TRUE(r.shown.empty());
    EXPECT_EQ(choice.index, 1);
}
