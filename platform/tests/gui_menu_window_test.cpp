// A frame's menu bar on the real window system (run under Xvfb): items are
// chosen with synthesised keys (XTest), and the marks the menu shows are
// read back while it is open.

#include <gtest/gtest.h>

#include <wx/uiaction.h>

#include "platform/gui/app.h"
#include "platform/gui/shell.h"
#include "platform/gui/wnd.h"
#include "platform/tests/screen.h"

#include <chrono>
#include <ostream>
#include <vector>

namespace {

using platform::testing::pump_until;
using platform::testing::settle;

// A frame that records the commands its menu sends.
class MenuFrame : public CFrameWnd {
public:
    std::vector<UINT> commands;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND)
            commands.push_back(UINT(wParam & 0xFFFF));
        return CFrameWnd::WindowProc(message, wParam, lParam);
    }
};

struct Mark {
    bool marked = false;
    bool checked = false;
    bool operator==(const Mark&) const = default;
    friend void PrintTo(const Mark& m, std::ostream* os)
    {
        *os << (m.marked ? (m.checked ? "checked" : "unchecked") : "no mark");
    }
};

Mark MarkOf(MenuFrame& frame, UINT id)
{
    Mark m;
    EXPECT_TRUE(platform::gui::get_menu_item_mark(&frame, id, m.marked, m.checked));
    return m;
}

class MenuBarWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!platform::gui::start())
            GTEST_SKIP() << "no display";
        ASSERT_TRUE(
            frame.Create("", "Menus", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
        platform::gui::menu_entry popup;
        popup.popup = true;
        popup.text = "&First";
        for (auto [id, text] : std::vector<std::pair<UINT, const char*>> {
                 { 101, "Plain" }, { 102, "Always checked" }, { 103, "Radio off" }, { 104, "Switching" } }) {
            platform::gui::menu_entry e;
            e.id = id;
            e.text = text;
            popup.entries.push_back(e);
        }
        ASSERT_TRUE(platform::gui::set_menu_bar(&frame, { popup }, [this](UINT id, auto& state) {
            ++asked;
            if (id == 102) {
                state.marked = true;
                state.check = 1;
            } else if (id == 103) {
                state.marked = true;
                state.radio = false;
            } else if (id == 104 && switching) {
                state.marked = true;
                state.radio = true;
            }
        }));
        ASSERT_TRUE(pump_until([&] { return frame.IsWindowVisible() != FALSE; }));
        // The keyboard goes to the frame, as after a user's click into it.
        CRect r;
        frame.GetClientRect(&r);
        frame.ClientToScreen(&r);
        sim.MouseMove(r.CenterPoint().x, r.CenterPoint().y);
        settle();
        sim.MouseClick();
        settle();
        frame.SetFocus();
        settle();
    }
    void TearDown() override
    {
        frame.DestroyWindow();
        settle();
        platform::testing::return_keyboard_to_pointer();
    }

    // Opens the menu from the keyboard and leaves it open.
    void OpenMenu()
    {
        const int before = asked;
        sim.Char(WXK_F10);
        ASSERT_TRUE(pump_until([&] { return asked > before; }));
        settle();
    }
    // Opens the menu and chooses its item at `index` (from 0): the first
    // Down selects the first item.
    void Choose(int index)
    {
        OpenMenu();
        for (int i = 0; i <= index; ++i)
            sim.Char(WXK_DOWN);
        const std::size_t before = frame.commands.size();
        sim.Char(WXK_RETURN);
        ASSERT_TRUE(pump_until([&] { return frame.commands.size() > before; }));
    }

    MenuFrame frame;
    wxUIActionSimulator sim;
    int asked = 0;
    bool switching = false;
};

TEST_F(MenuBarWindow, OnlyItemsWhoseHandlerSetsAMarkCarryOne)
{
    EXPECT_EQ(MarkOf(frame, 101), (Mark { false, false }));
    EXPECT_EQ(MarkOf(frame, 102), (Mark { true, true }));
    EXPECT_EQ(MarkOf(frame, 103), (Mark { true, false }));
    EXPECT_EQ(MarkOf(frame, 104), (Mark { false, false }));
}

TEST_F(MenuBarWindow, TheMarkShownWhenTheMenuOpensIsTheHandlersAnswerAfterChoosingItems)
{
    Choose(0);
    EXPECT_EQ(frame.commands.back(), 101u);
    Choose(1);
    EXPECT_EQ(frame.commands.back(), 102u);
    switching = true;
    OpenMenu();
    // Chosen items show no mark of the toolkit's own making.
    EXPECT_EQ(MarkOf(frame, 101), (Mark { false, false }));
    EXPECT_EQ(MarkOf(frame, 102), (Mark { true, true }));
    // An item whose handler now sets a mark carries it.
    EXPECT_EQ(MarkOf(frame, 104), (Mark { true, true }));
    sim.Char(WXK_ESCAPE);
    settle();

    switching = false;
    Choose(3);
    EXPECT_EQ(frame.commands.back(), 104u);
    OpenMenu();
    EXPECT_EQ(MarkOf(frame, 104), (Mark { false, false }));
    sim.Char(WXK_ESCAPE);
    settle();
}

} // namespace
