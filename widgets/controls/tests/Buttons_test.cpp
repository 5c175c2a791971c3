#include <gtest/gtest.h>

#include "platform/gui/messages.h"
#include "widgets/controls/Button.h"
#include "widgets/controls/CheckBox.h"
#include "widgets/controls/ToolBar.h"
#include "widgets/core/Event.h"
#include "widgets/core/MainWindow.h"
#include "widgets/core/Widget.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/core/tests/Probe.h"

namespace {

class Counting : public My::Button, public My::Widget {
public:
    int clicks = 0;
    void Click() override { ++clicks; }
};

struct ButtonHost : ::testing::Test {
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(host);
    test::PanelBase panel;
    Counting button;
    ButtonHost()
    {
        host.AddChild(&panel);
        panel.SetBounds(CRect(0, 0, 200, 100));
        panel.AddChild(&button);
        button.SetBounds(CRect(10, 10, 40, 30));
    }
    void send(UINT msg, int x, int y, WPARAM flags = 0) { host.SendMessage(msg, flags, test::at(x, y)); }
};

// A frame that routes commands through a command map.
class Frame : public My::Window<CWnd>, public My::CommandTarget {
public:
    My::CommandMap map;
    std::vector<UINT> commands;
    bool RouteCommand(My::CommandEventBase& e) override { return map.Dispatch(e); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND) {
            commands.push_back(UINT(wParam));
            return 0;
        }
        return My::Window<CWnd>::WindowProc(message, wParam, lParam);
    }
};

} // namespace

TEST_F(ButtonHost, DraggingOutAndReleasingOutsideDoesNotClick)
{
    send(WM_MOUSEMOVE, 15, 15);
    send(WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
    EXPECT_EQ(button.GetState(), My::Button::Pushed);
    send(WM_MOUSEMOVE, 100, 80, MK_LBUTTON);
    EXPECT_EQ(button.GetState(), My::Button::Normal);
    send(WM_LBUTTONUP, 100, 80);
    EXPECT_EQ(button.clicks, 0);
    EXPECT_FALSE(button.HasCapture());
}

TEST_F(ButtonHost, DraggingBackInBeforeReleasingClicks)
{
    send(WM_MOUSEMOVE, 15, 15);
    send(WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
    send(WM_MOUSEMOVE, 100, 80, MK_LBUTTON);
    send(WM_MOUSEMOVE, 20, 20, MK_LBUTTON);
    EXPECT_EQ(button.GetState(), My::Button::Pushed);
    send(WM_LBUTTONUP, 20, 20);
    EXPECT_EQ(button.clicks, 1);
    EXPECT_EQ(button.GetState(), My::Button::Hot);
}

TEST_F(ButtonHost, ButtonInADisabledContainerIgnoresPressesAndShowsNormal)
{
    panel.SetEnabled(false);
    send(WM_MOUSEMOVE, 15, 15);
    send(WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
    send(WM_LBUTTONUP, 15, 15);
    EXPECT_EQ(button.clicks, 0);
    EXPECT_EQ(button.GetState(), My::Button::Normal);
}

TEST_F(ButtonHost, DoubleClickClicksTwice)
{
    send(WM_MOUSEMOVE, 15, 15);
    send(WM_LBUTTONDOWN, 15, 15, MK_LBUTTON);
    send(WM_LBUTTONUP, 15, 15);
    send(WM_LBUTTONDBLCLK, 15, 15, MK_LBUTTON);
    send(WM_LBUTTONUP, 15, 15);
    EXPECT_EQ(button.clicks, 2);
}

TEST(ToolBar, SeparatorsAddSixPixelsAndTheLengthFollowsTheOrientation)
{
    const My::ToolBar::Entry entries[] = { { 101, "T" }, { 102, "T" }, { 0, nullptr }, { 103, "T" } };
    My::ToolBar bar;
    bar.SetButtonSize(18, 18);
    bar.SetButtons(entries, 4);
    const auto& b = bar.GetButtons();
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(b[2], nullptr);
    EXPECT_EQ(b[0]->GetPosition(), 0);
    EXPECT_EQ(b[1]->GetPosition(), 18);
    EXPECT_EQ(b[3]->GetPosition(), 42);
    EXPECT_EQ(bar.GetPreferredSize(), CSize(60, 18));
    EXPECT_EQ(b[3]->GetBounds(), CRect(42, 0, 60, 18));

    My::ToolBar vertical(My::ToolBar::Vertical);
    vertical.SetButtons(entries, 4);
    vertical.SetButtonSize(20, 16);
    EXPECT_EQ(vertical.GetPreferredSize(), CSize(20, 54));
    EXPECT_EQ(vertical.GetButtons()[3]->GetBounds(), CRect(0, 38, 20, 54));
    // Replacing the buttons deletes the old ones.
    vertical.SetButtons(entries, 1);
    EXPECT_EQ(vertical.GetChildren().size(), 1u);
}

TEST(ToolBar, CommandStateComesFromTheFrame)
{
    Frame frame;
    auto peer = test::attach_fake(frame);
    My::ToolBar bar;
    frame.AddChild(&bar);
    bar.SetBounds(CRect(0, 0, 100, 18));
    bar.SetButtonSize(18, 18);
    const My::ToolBar::Entry entries[] = { { 1, "T" }, { 2, "T" }, { 3, "T" } };
    bar.SetButtons(entries, 3);
    // 1: no handler at all; 2: a command handler only; 3: an update handler
    // that checks the button and changes its tip.
    frame.map.Add(
        2, [] {}, nullptr);
    frame.map.Add(
        3, [] {},
        [](My::CommandUI& ui) {
            ui.Enable(true);
            ui.SetCheck(1);
            ui.SetText("three");
        });
    My::UpdateUIEvent update;
    frame.OnEvent(update);
    const auto& b = bar.GetButtons();
    EXPECT_FALSE(b[0]->IsEnabled());
    EXPECT_TRUE(b[1]->IsEnabled());
    EXPECT_TRUE(b[2]->IsEnabled());
    EXPECT_EQ(b[2]->GetCheck(), 1);
    EXPECT_EQ(b[2]->GetToolTipText(), "three");
}

TEST(ToolBar, ClickSendsTheCommandToTheMainWindowAndRefreshesTheButton)
{
    Frame frame;
    auto peer = test::attach_fake(frame);
    My::SetMainWindow(&frame);
    My::ToolBar bar;
    frame.AddChild(&bar);
    bar.SetBounds(CRect(0, 0, 100, 18));
    bar.SetButtonSize(18, 18);
    const My::ToolBar::Entry entries[] = { { 7, "T" } };
    bar.SetButtons(entries, 1);
    bar.GetButtons()[0]->Click();
    My::SetMainWindow(nullptr);
    EXPECT_EQ(frame.commands, std::vector<UINT> { 7 });
    EXPECT_FALSE(bar.GetButtons()[0]->IsEnabled());
}

TEST(ToolBar, DisabledToolButtonIgnoresClicks)
{
    Frame frame;
    auto peer = test::attach_fake(frame);
    My::SetMainWindow(&frame);
    My::ToolBar bar;
    frame.AddChild(&bar);
    bar.SetBounds(CRect(0, 0, 100, 18));
    bar.SetButtonSize(18, 18);
    const My::ToolBar::Entry entries[] = { { 7, "T" } };
    bar.SetButtons(entries, 1);
    My::UpdateUIEvent update;
    frame.OnEvent(update);
    frame.SendMessage(WM_MOUSEMOVE, 0, test::at(5, 5));
    frame.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(5, 5));
    frame.SendMessage(WM_LBUTTONUP, 0, test::at(5, 5));
    My::SetMainWindow(nullptr);
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_EQ(bar.GetButtons()[0]->GetState(), My::Button::Normal);
}

TEST(CheckBox, PreferredSizeIsTheGlyphWithItsFrame)
{
    struct Box : My::CheckBox {
        Box()
            : My::CheckBox("MYFC_CHECKBOX", "MYFC_CHECKBOX_MASK")
        {
        }
        int GetCheck() const override { return 1; }
    } box;
    EXPECT_EQ(box.GetPreferredSize(), CSize(11, 11));
}

namespace {

// A button whose click opens something modal: the window system takes the
// mouse capture away while it runs (as a modal dialog does).
class OpensModal : public My::Button, public My::Widget {
public:
    My::Window<CWnd>* host = nullptr;
    int clicks = 0;
    bool capturedDuringClick = true;
    void Click() override
    {
        ++clicks;
        capturedDuringClick = CWnd::GetCapture() != nullptr || HasCapture();
        host->SendMessage(WM_CAPTURECHANGED);
    }
};

} // namespace

TEST_F(ButtonHost, AClickHasLetGoOfTheCaptureAndAModalLoopInsideItDoesNotClickAgain)
{
    OpensModal modal;
    modal.host = &host;
    panel.AddChild(&modal);
    modal.SetBounds(CRect(50, 10, 80, 30));
    send(WM_MOUSEMOVE, 60, 15);
    send(WM_LBUTTONDOWN, 60, 15, MK_LBUTTON);
    EXPECT_TRUE(peer->captured);
    send(WM_LBUTTONUP, 60, 15);
    EXPECT_EQ(modal.clicks, 1);
    EXPECT_FALSE(modal.capturedDuringClick);
    EXPECT_FALSE(peer->captured);
    // The next press clicks normally.
    send(WM_LBUTTONDOWN, 60, 15, MK_LBUTTON);
    send(WM_LBUTTONUP, 60, 15);
    EXPECT_EQ(modal.clicks, 2);
    panel.RemoveChild(&modal);
}
