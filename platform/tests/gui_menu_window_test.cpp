// Menus on the real window system (run under Xvfb): a frame's menu bar and
// a popup menu, whose items are chosen with synthesised keys (XTest); the
// marks the menu shows are read back while it is open.

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "platform/gui/app.h"
#include "platform/gui/menu.h"
#include "platform/gui/shell.h"
#include "platform/gui/wnd.h"
#include "platform/tests/screen.h"
#include "platform/tests/toolkit_messages.h"

#include <dlfcn.h>

#include <algorithm>
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

class MenuWindow : public ::testing::Test {
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
        for (auto [id, text] :
            std::vector<std::pair<UINT, const char*>> { { 101, "Plain\tCtrl+F" }, { 102, "Always checked" },
                { 103, "Radio off\tHyper+Q" }, { 104, "Switching\tShift+Del" } }) {
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
            if (id == 101 && !label.empty()) {
                state.text = label;
                state.text_set = true;
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
    std::string label;
};

// The width the menu bar's first menu has on the screen now, and the least
// width its items ask for (by the toolkit's own measure, whose calls are
// found in the process: its headers are not part of this build).
struct MenuWidths {
    int shown = 0;
    int needed = 0;
};

MenuWidths FirstMenuWidths()
{
    using allocated_fn = int (*)(void*);
    using preferred_fn = void (*)(void*, int*, int*);
    static const auto allocated
        = reinterpret_cast<allocated_fn>(::dlsym(RTLD_DEFAULT, "gtk_widget_get_allocated_width"));
    static const auto preferred
        = reinterpret_cast<preferred_fn>(::dlsym(RTLD_DEFAULT, "gtk_widget_get_preferred_width"));
    MenuWidths w;
    for (wxWindow* top : wxTopLevelWindows) {
        auto* frame = dynamic_cast<wxFrame*>(top);
        wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
        if (!bar || bar->GetMenuCount() == 0 || !allocated || !preferred)
            continue;
        void* menu = bar->GetMenu(0)->m_menu;
        w.shown = allocated(menu);
        preferred(menu, &w.needed, nullptr);
    }
    return w;
}

// What an item of the menu bar's first menu shows: its label, and the key
// and modifier bits of its accelerator column (0 for none), read from the
// toolkit's widgets (whose calls are found in the process).
struct Shown {
    std::string label;
    unsigned key = 0;
    unsigned modifiers = 0;
    bool operator==(const Shown&) const = default;
    friend void PrintTo(const Shown& s, std::ostream* os)
    {
        *os << "\"" << s.label << "\" key " << s.key << " modifiers " << s.modifiers;
    }
};

template <class F> F Found(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}

unsigned KeyNamed(const char* name)
{
    static const auto from_name = Found<unsigned (*)(const char*)>("gdk_keyval_from_name");
    return from_name ? from_name(name) : 0;
}

// The window system's modifier bits.
constexpr unsigned SHIFT_BIT = 1u << 0;
constexpr unsigned CONTROL_BIT = 1u << 2;

Shown ShownItem(std::size_t position)
{
    static const auto child = Found<void* (*)(void*)>("gtk_bin_get_child");
    static const auto label_of = Found<const char* (*)(void*)>("gtk_label_get_label");
    static const auto accel_of = Found<void (*)(void*, unsigned*, unsigned*)>("gtk_accel_label_get_accel");
    Shown s;
    for (wxWindow* top : wxTopLevelWindows) {
        auto* frame = dynamic_cast<wxFrame*>(top);
        wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
        if (!bar || bar->GetMenuCount() == 0 || !child || !label_of || !accel_of)
            continue;
        wxMenuItem* item = bar->GetMenu(0)->FindItemByPosition(position);
        void* label = item ? child(item->GetMenuItem()) : nullptr;
        if (!label)
            continue;
        s.label = label_of(label);
        accel_of(label, &s.key, &s.modifiers);
    }
    return s;
}

TEST_F(MenuWindow, KeyHintsShowInTheAcceleratorColumnAndLabelsWithoutThem)
{
    EXPECT_EQ(ShownItem(0), (Shown { "Plain", KeyNamed("f"), CONTROL_BIT }));
    EXPECT_EQ(ShownItem(1), (Shown { "Always checked", 0, 0 }));
    // A key the column has no name for stays in the label, as written.
    EXPECT_EQ(ShownItem(2), (Shown { "Radio off    Hyper+Q", 0, 0 }));
    EXPECT_EQ(ShownItem(3), (Shown { "Switching", KeyNamed("Delete"), SHIFT_BIT }));
}

TEST_F(MenuWindow, ANewLabelAndAnItemMadeAgainShowTheirHintsInTheColumn)
{
    label = "Undo Brush\tCtrl+Z";
    OpenMenu();
    EXPECT_EQ(ShownItem(0), (Shown { "Undo Brush", KeyNamed("z"), CONTROL_BIT }));
    sim.Char(WXK_ESCAPE);
    settle();
    // Item 104 gains a mark: it is made again as a check item.
    switching = true;
    OpenMenu();
    EXPECT_EQ(MarkOf(frame, 104), (Mark { true, true }));
    EXPECT_EQ(ShownItem(3), (Shown { "Switching", KeyNamed("Delete"), SHIFT_BIT }));
    sim.Char(WXK_ESCAPE);
    settle();
    label = "Undo Brush\tHyper+Z";
    OpenMenu();
    EXPECT_EQ(ShownItem(0), (Shown { "Undo Brush    Hyper+Z", 0, 0 }));
    sim.Char(WXK_ESCAPE);
    settle();
}

TEST_F(MenuWindow, OnlyBarItemsWhoseHandlerSetsAMarkCarryOne)
{
    EXPECT_EQ(MarkOf(frame, 101), (Mark { false, false }));
    EXPECT_EQ(MarkOf(frame, 102), (Mark { true, true }));
    EXPECT_EQ(MarkOf(frame, 103), (Mark { true, false }));
    EXPECT_EQ(MarkOf(frame, 104), (Mark { false, false }));
}

TEST_F(MenuWindow, TheMarkShownWhenTheMenuOpensIsTheHandlersAnswerAfterChoosingItems)
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

TEST_F(MenuWindow, AMenuOpensAsWideAsTheLabelsItsHandlersGiveItThen)
{
    OpenMenu();
    const MenuWidths before = FirstMenuWidths();
    ASSERT_GT(before.shown, 0);
    sim.Char(WXK_ESCAPE);
    settle();
    label = "Plain, and now a label much longer than any other item's";
    OpenMenu();
    const MenuWidths after = FirstMenuWidths();
    sim.Char(WXK_ESCAPE);
    settle();
    EXPECT_GT(after.needed, before.shown);
    EXPECT_GE(after.shown, after.needed);
}

// Presses the keys from the event loop, 100 ms apart (also inside the
// popup menu's own loop).
class KeyPresser : public wxTimer {
public:
    KeyPresser(wxUIActionSimulator& sim, std::vector<int> keys)
        : m_sim(sim)
        , m_keys(std::move(keys))
    {
        Start(100);
    }
    void Notify() override
    {
        if (m_next < m_keys.size())
            m_sim.Char(m_keys[m_next++]);
        else
            Stop();
    }

private:
    wxUIActionSimulator& m_sim;
    std::vector<int> m_keys;
    std::size_t m_next = 0;
};

TEST_F(MenuWindow, APopupItemWithAnIdAboveTheToolkitsLimitIsChosenWithoutComplaint)
{
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendMenu(MF_STRING, 50041, "Activate below\tCtrl+Down");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_CHECKED, 50042, "Activate above");
    CRect r;
    frame.GetWindowRect(&r);
    platform::testing::diagnostic_capture capture;
    int chosen = 0;
    {
        KeyPresser keys(sim, { WXK_DOWN, WXK_DOWN, WXK_RETURN });
        chosen = menu.TrackPopupMenu(TPM_RETURNCMD | TPM_NONOTIFY, r.left + 20, r.top + 20, &frame);
    }
    settle();
    EXPECT_EQ(chosen, 50042);
    EXPECT_EQ(capture.complaints(), std::vector<std::string>()) << capture.text();
}

// A child window that records the keys it gets: it takes every one, as the
// toolkit's windows do, or passes every one on, as a window that has no use
// for a key does (a key the toolkit knew as an accelerator would then choose
// its menu item).
class KeyWindow : public CWnd {
public:
    explicit KeyWindow(bool takes)
        : m_takes(takes)
    {
    }

    std::vector<UINT> keys;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_KEYDOWN)
            keys.push_back(UINT(wParam));
        if (m_takes && (message == WM_KEYDOWN || message == WM_CHAR))
            return 0;
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    const bool m_takes;
};

// The menu window with a child over it that has the keyboard focus.
class FocusedChildWindow : public MenuWindow {
protected:
    explicit FocusedChildWindow(bool takes)
        : focused(takes)
    {
    }
    void SetUp() override
    {
        MenuWindow::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(focused.Create("", "", WS_CHILD | WS_VISIBLE, CRect(10, 10, 200, 100), &frame, 0));
        settle();
        focused.SetFocus();
        ASSERT_TRUE(pump_until([&] { return CWnd::GetFocus() == &focused; }));
    }
    void TearDown() override
    {
        focused.DestroyWindow();
        MenuWindow::TearDown();
    }

    KeyWindow focused;
};

class MenuKeysWindow : public FocusedChildWindow {
protected:
    MenuKeysWindow()
        : FocusedChildWindow(true)
    {
    }
    // Whether the key opened the menu: Down and Return then choose one of
    // its items.
    bool Opens(int key, int modifiers)
    {
        const std::size_t before = frame.commands.size();
        sim.Char(key, modifiers);
        settle();
        sim.Char(WXK_DOWN);
        sim.Char(WXK_RETURN);
        const bool chosen
            = pump_until([&] { return frame.commands.size() > before; }, std::chrono::milliseconds(1500));
        settle();
        return chosen;
    }
};

TEST_F(MenuKeysWindow, AltAndATitlesLetterOrF10OpenTheMenuBarWhileAWindowThatTakesEveryKeyHasTheFocus)
{
    EXPECT_TRUE(Opens('f', wxMOD_ALT));
    EXPECT_TRUE(Opens(WXK_F10, wxMOD_NONE));
    // The window saw the keys all the same.
    EXPECT_NE(std::find(focused.keys.begin(), focused.keys.end(), UINT('F')), focused.keys.end());
    EXPECT_NE(std::find(focused.keys.begin(), focused.keys.end(), UINT(VK_F1 + 9)), focused.keys.end());
}

TEST_F(MenuKeysWindow, PlainLettersAndControlLettersStayWithTheFocusedWindow)
{
    EXPECT_FALSE(Opens('f', wxMOD_NONE));
    EXPECT_FALSE(Opens('f', wxMOD_CONTROL));
    EXPECT_EQ(std::count(focused.keys.begin(), focused.keys.end(), UINT('F')), 2);
    EXPECT_EQ(std::count(focused.keys.begin(), focused.keys.end(), UINT(VK_RETURN)), 2);
}

class MenuPassingWindow : public FocusedChildWindow {
protected:
    MenuPassingWindow()
        : FocusedChildWindow(false)
    {
    }
    // Whether pressing the key sent a command.
    bool Commands(int key, int modifiers)
    {
        const std::size_t before = frame.commands.size();
        sim.Char(key, modifiers);
        return pump_until([&] { return frame.commands.size() > before; }, std::chrono::milliseconds(700));
    }
};

TEST_F(MenuPassingWindow, TheKeysOfHintsReachTheFocusedWindowAndChooseNoItem)
{
    EXPECT_FALSE(Commands('f', wxMOD_CONTROL));
    EXPECT_FALSE(Commands(WXK_DELETE, wxMOD_SHIFT));
    // Nor once a handler gave an item a new label with a hint.
    label = "Undo Brush\tCtrl+Z";
    OpenMenu();
    sim.Char(WXK_ESCAPE);
    settle();
    ASSERT_TRUE(pump_until([&] { return CWnd::GetFocus() == &focused; }));
    EXPECT_FALSE(Commands('z', wxMOD_CONTROL));
    EXPECT_EQ(std::count(focused.keys.begin(), focused.keys.end(), UINT('F')), 1);
    EXPECT_EQ(std::count(focused.keys.begin(), focused.keys.end(), UINT(VK_DELETE)), 1);
    EXPECT_EQ(std::count(focused.keys.begin(), focused.keys.end(), UINT('Z')), 1);
}

} // namespace
