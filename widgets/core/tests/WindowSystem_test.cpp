// Real windows under a display (CI: Xvfb, GTK_THEME=Adwaita, scale 1): a
// custom window with nested controls is created, painted, resized, clicked
// and typed into through the window system, and its client area on screen is
// compared with the pixels our controls draw.

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/uiaction.h>

#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "platform/gui/metrics.h"
#include "widgets/controls/ColorBox.h"
#include "widgets/core/ClientDC.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Event.h"
#include "widgets/core/Message.h"
#include "widgets/core/Prompt.h"
#include "widgets/core/Timer.h"
#include "widgets/core/Window.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/Probe.h"
#include "widgets/core/tests/Screen.h"
#include "widgets/core/tests/WindowEnvironment.h"

namespace {

[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment());

using test::pixel;
using test::pump_until;
using test::screenshot;
using test::screenshot_until;
using test::settle;

// A widget filled with one colour, logging what reaches it.
class Swatch : public test::Leaf {
public:
    Swatch(std::string name, test::Log& log, COLORREF color)
        : test::Leaf(std::move(name), log)
        , m_color(color)
    {
    }
    void Draw(CDC& dc, const CRect&) override { dc.FillSolidRect(CRect(CPoint(), GetSize()), m_color); }
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override
    {
        test::Leaf::OnKeyDown(key, repeat, flags);
        if (key == 'A') {
            m_color = RGB(255, 255, 0);
            Invalidate(CRect(CPoint(), GetSize()));
        }
    }
    COLORREF m_color;
};

class Board : public test::Panel {
public:
    Board(std::string name, test::Log& log, COLORREF color)
        : test::Panel(std::move(name), log)
        , m_color(color)
    {
    }
    void Draw(CDC& dc, const CRect&) override { dc.FillSolidRect(CRect(CPoint(), GetSize()), m_color); }
    COLORREF m_color;
};

// A top-level double-buffered window: grey background, a blue board holding
// a red swatch, a green swatch that takes the focus, and a bar along the
// bottom that follows the window's size.
class Canvas : public My::CustomWindow<CWnd> {
public:
    test::Log log;
    Board board { "board", log, RGB(0, 0, 255) };
    Swatch red { "red", log, RGB(255, 0, 0) };
    Swatch green { "green", log, RGB(0, 160, 0) };
    Swatch bar { "bar", log, RGB(90, 40, 10) };
    int paints = 0;

    Canvas()
    {
        AddChild(&board);
        board.SetBounds(CRect(10, 10, 110, 90));
        board.AddChild(&red);
        red.SetBounds(CRect(20, 20, 60, 60));
        AddChild(&green);
        green.SetBounds(CRect(120, 10, 150, 40));
        green.focusable = true;
        AddChild(&bar);
    }
    void Layout() override
    {
        const CSize s = GetSize();
        bar.SetBounds(CRect(0, s.cy - 10, s.cx, s.cy));
    }
    void Draw(CDC& dc, const CRect&) override
    {
        ++paints;
        dc.FillSolidRect(CRect(CPoint(), GetSize()), RGB(200, 200, 200));
    }
    bool Open(const CRect& r) { return Create("", "", WS_POPUP | WS_VISIBLE, r, nullptr, 0) != FALSE; }
};

// The expected colour of the canvas at a client point.
COLORREF expected(const Canvas& c, int x, int y)
{
    const CSize s = c.GetSize();
    if (y >= s.cy - 10)
        return c.bar.m_color;
    if (CRect(120, 10, 150, 40).PtInRect(CPoint(x, y)))
        return c.green.m_color;
    if (CRect(30, 30, 70, 70).PtInRect(CPoint(x, y)))
        return RGB(255, 0, 0);
    if (CRect(10, 10, 110, 90).PtInRect(CPoint(x, y)))
        return RGB(0, 0, 255);
    return RGB(200, 200, 200);
}

int mismatches(const Canvas& c)
{
    CRect r;
    c.GetClientRect(&r);
    c.ClientToScreen(&r);
    const auto count = [&](const wxImage& img) {
        int bad = 0;
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x)
                if (pixel(img, x, y) != expected(c, x, y))
                    ++bad;
        return bad;
    };
    return count(screenshot_until(r, [&](const wxImage& img) { return count(img) == 0; }));
}

} // namespace

TEST(WindowSystem, CustomWindowPaintsItsTreeAsItsControlsDraw)
{
    NEED_DISPLAY();
    Canvas c;
    ASSERT_TRUE(c.Open(CRect(0, 0, 180, 120)));
    ASSERT_TRUE(pump_until([&] { return c.paints > 0 && c.IsWindowVisible(); }));
    settle();
    EXPECT_EQ(c.GetSize(), CSize(180, 120));
    EXPECT_EQ(mismatches(c), 0);
}

TEST(WindowSystem, ResizingRelaysOutAndRepaintsTheNewArea)
{
    NEED_DISPLAY();
    Canvas c;
    ASSERT_TRUE(c.Open(CRect(0, 0, 160, 100)));
    ASSERT_TRUE(pump_until([&] { return c.paints > 0; }));

    c.SetWindowPos(nullptr, 0, 0, 220, 140, SWP_NOZORDER | SWP_NOMOVE);
    ASSERT_TRUE(pump_until([&] { return c.GetSize() == CSize(220, 140); }));
    settle();
    EXPECT_EQ(c.bar.GetBounds(), CRect(0, 130, 220, 140));
    EXPECT_EQ(c.GetBufferSize(), CSize(220, 140));

    EXPECT_EQ(mismatches(c), 0);
}

TEST(WindowSystem, SynthesisedClickAndTypingReachTheControlsUnderThePointerAndInFocus)
{
    NEED_DISPLAY();
    Canvas c;
    ASSERT_TRUE(c.Open(CRect(20, 20, 200, 140)));
    ASSERT_TRUE(pump_until([&] { return c.paints > 0; }));
    settle();
    wxUIActionSimulator sim;
    // The red swatch: client (40, 40), 10 pixels into it.
    sim.MouseMove(20 + 40, 20 + 40);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return test::Log(c.log).size() > 0 && c.red.IsHover(); }));
    settle();
    EXPECT_NE(std::find(c.log.begin(), c.log.end(), "red.down(10,10)"), c.log.end());
    EXPECT_NE(std::find(c.log.begin(), c.log.end(), "red.up(10,10)"), c.log.end());
    // The green swatch takes the focus on a click and then gets the keys.
    sim.MouseMove(20 + 130, 20 + 20);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return c.green.HasFocus(); }));

    sim.Char('a');
    ASSERT_TRUE(pump_until([&] { return c.green.m_color == RGB(255, 255, 0); }));
    settle();
    EXPECT_EQ(mismatches(c), 0);
}

namespace {

class Recorder : public My::Prompt {
public:
    std::vector<std::string> texts;
    int MessageBox(const std::string& text, unsigned) override
    {
        texts.push_back(text);
        return My::IDOK;
    }
};

} // namespace

TEST(WindowSystem, ExceptionInAHandlerIsReportedAndTheLoopGoesOn)
{
    NEED_DISPLAY();
    struct Throwing : Swatch {
        using Swatch::Swatch;
        void OnLeftDown(UINT, const CPoint&) override { throw std::runtime_error("boom"); }
    };
    Recorder prompt;
    My::Prompt* old = My::SetPrompt(&prompt);
    {
        Canvas c;
        Throwing t("t", c.log, RGB(1, 1, 1));
        c.AddChild(&t);
        t.SetBounds(CRect(0, 0, 10, 10));
        ASSERT_TRUE(c.Open(CRect(0, 0, 100, 100)));
        ASSERT_TRUE(pump_until([&] { return c.paints > 0; }));
        wxUIActionSimulator sim;
        sim.MouseMove(5, 5);
        settle();
        sim.MouseClick();
        ASSERT_TRUE(pump_until([&] { return !prompt.texts.empty(); }));
        EXPECT_EQ(prompt.texts[0], "Error while performing operation:\nboom.");
        // Still painting afterwards.
        const int before = c.paints;
        c.Invalidate();
        EXPECT_TRUE(pump_until([&] { return c.paints > before; }));
        c.RemoveChild(&t);
    }
    My::SetPrompt(old);
}

TEST(WindowSystem, TimerTicksUntilStoppedAndRestartingARunningOneDoesNothing)
{
    NEED_DISPLAY();
    struct Counter : My::EventListener {
        int ticks = 0;
        My::Timer* from = nullptr;
        void OnEvent(My::Event& e) override
        {
            if (auto* t = dynamic_cast<My::TimerEvent*>(&e)) {
                ++ticks;
                from = t->timer;
            }
        }
    } counter;
    My::Timer timer;
    timer.AddListener(&counter);
    timer.SetInterval(50);
    EXPECT_FALSE(timer.IsRunning());
    timer.SetInterval(10);
    EXPECT_FALSE(timer.IsRunning());
    timer.SetRunning(true);
    timer.SetRunning(true);
    ASSERT_TRUE(pump_until([&] { return counter.ticks >= 3; }));
    EXPECT_EQ(counter.from, &timer);
    timer.SetRunning(false);
    const int ticks = counter.ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    settle();
    EXPECT_EQ(counter.ticks, ticks);
}

TEST(WindowSystem, MessagePostedFromAnotherThreadRunsOnTheUiThread)
{
    NEED_DISPLAY();
    struct Note : My::Message {
        std::thread::id* ran;
        explicit Note(std::thread::id* r)
            : ran(r)
        {
        }
        void Execute() override { *ran = std::this_thread::get_id(); }
    };
    std::thread::id ran;
    std::thread poster([&] { My::GetMessageQueue().Post(std::make_unique<Note>(&ran)); });
    poster.join();
    ASSERT_TRUE(pump_until([&] { return ran != std::thread::id(); }));
    EXPECT_EQ(ran, std::this_thread::get_id());
}

TEST(WindowSystem, XorLineAppearsAtTheNextPaintingAndDrawingItAgainRestoresThePicture)
{
    NEED_DISPLAY();
    Canvas c;
    ASSERT_TRUE(c.Open(CRect(0, 0, 180, 120)));
    ASSERT_TRUE(pump_until([&] { return c.paints > 0; }));
    settle();
    {
        My::ClientDC dc(&c.board);
        My::draw_xor_vline(dc, 50, 0, 20, RGB(255, 255, 255));
    }
    settle();
    CRect r;
    c.GetClientRect(&r);
    c.ClientToScreen(&r);
    wxImage img
        = screenshot_until(r, [](const wxImage& shot) { return pixel(shot, 60, 10) == RGB(255, 255, 0); });
    // Board pixels at x = 60: every other row from y = 10 is XORed white.
    EXPECT_EQ(pixel(img, 60, 10), RGB(255, 255, 0));
    EXPECT_EQ(pixel(img, 60, 11), RGB(0, 0, 255));
    EXPECT_EQ(pixel(img, 60, 12), RGB(255, 255, 0));
    EXPECT_EQ(pixel(img, 60, 31), RGB(255, 0, 0));
    {
        My::ClientDC dc(&c.board);
        My::draw_xor_vline(dc, 50, 20, 0, RGB(255, 255, 255));
    }
    settle();
    EXPECT_EQ(mismatches(c), 0);
}

TEST(WindowSystem, ChildWindowInsideWindowlessContainerFollowsItsBoundsAtThePainting)
{
    NEED_DISPLAY();
    struct Child : My::Window<CWnd>, My::Widget {
        CRect GetBounds() const override { return My::Widget::GetBounds(); }
        bool IsVisible() const override { return My::Window<CWnd>::IsVisible(); }
        CFont* GetFont() const override { return My::Window<CWnd>::GetFont(); }
    } child;
    Canvas c;
    c.board.AddChild(&child);
    child.SetBounds(CRect(5, 6, 25, 16));
    ASSERT_TRUE(c.Open(CRect(0, 0, 180, 120)));
    ASSERT_TRUE(child.GetSafeHwnd() != nullptr);
    ASSERT_TRUE(pump_until([&] { return c.paints > 0; }));
    CRect r;
    child.GetWindowRect(&r);
    c.ScreenToClient(&r);
    EXPECT_EQ(r, CRect(15, 16, 35, 26));
    // As a layout does: new bounds, then the container tells its children.
    child.SetBounds(CRect(40, 30, 60, 40));
    c.board.BoundsChanged();
    ASSERT_TRUE(pump_until([&] {
        CRect now;
        child.GetWindowRect(&now);
        c.ScreenToClient(&now);
        return now == CRect(50, 40, 70, 50);
    }));
    c.DestroyWindow();
    EXPECT_EQ(child.GetSafeHwnd(), nullptr);
    c.board.RemoveChild(&child);
}

TEST(WindowSystem, ThemeColoursAndScrollBarThicknessHaveSensibleValues)
{
    NEED_DISPLAY();
    EXPECT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT));
    EXPECT_GE(GetSystemMetrics(SM_CXVSCROLL), min_scroll_bar_thickness);
}

// Run with GDK_SCALE=2 (its own CTest entry): handlers keep logical
// coordinates, the buffer holds physical pixels, and every logical pixel is
// a crisp 2 x 2 block on screen.
TEST(WindowSystem, HiDpiDrawsCrispAtTwiceTheSize)
{
    NEED_DISPLAY();
    Canvas c;
    ASSERT_TRUE(c.Open(CRect(0, 0, 90, 60)));
    if (c.GetContentScaleFactor() != 2.0)
        GTEST_SKIP() << "scale factor is not 2";
    ASSERT_TRUE(pump_until([&] { return c.paints > 0; }));
    settle();
    EXPECT_EQ(c.GetSize(), CSize(90, 60));
    CRect r;
    c.GetClientRect(&r);
    c.ClientToScreen(&r);
    const auto count = [&](const wxImage& img) {
        int bad = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 180; ++x)
                if (pixel(img, x, y) != expected(c, x / 2, y / 2))
                    ++bad;
        return bad;
    };
    EXPECT_EQ(count(screenshot_until(CRect(r.left * 2, r.top * 2, r.right * 2, r.bottom * 2),
                  [&](const wxImage& img) { return count(img) == 0; })),
        0);
}

TEST(WindowSystem, TypingIntoAnEditFieldReachesTheNativeFieldThroughTheDefaultProcessing)
{
    NEED_DISPLAY();
    struct Field : My::Window<CEdit>, My::Widget {
        CRect GetBounds() const override { return My::Widget::GetBounds(); }
        bool IsVisible() const override { return My::Window<CEdit>::IsVisible(); }
        CFont* GetFont() const override { return My::Window<CEdit>::GetFont(); }
        bool AcceptsFocus() const override { return true; }
    } field;
    Canvas c;
    c.AddChild(&field);
    field.SetBounds(CRect(10, 95, 170, 125));
    ASSERT_TRUE(c.Open(CRect(0, 0, 180, 140)));
    ASSERT_TRUE(field.GetSafeHwnd() != nullptr);
    ASSERT_TRUE(pump_until([&] { return c.paints > 0; }));
    wxUIActionSimulator sim;
    // As a user does: a click into the field, then typing.
    sim.MouseMove(40, 110);
    settle();
    sim.MouseClick();
    settle();
    field.SetFocus();
    ASSERT_TRUE(pump_until([&] { return field.HasFocus(); }));
    sim.Text("abc");
    EXPECT_TRUE(pump_until([&] { return field.GetWindowText() == "abc"; })) << field.GetWindowText();
    EXPECT_TRUE(field.HasFocus());
    c.RemoveChild(&field);
}

TEST(WindowSystem, FrameWindowIsActivatedAndClosingItByDefaultDestroysIt)
{
    NEED_DISPLAY();
    struct Frame : My::CustomWindow<CFrameWnd> {
        std::vector<bool> activations;
        void OnActivate(bool active) override { activations.push_back(active); }
    } frame;
    ASSERT_TRUE(
        frame.Create("", "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 200, 150), nullptr, 0));
    ASSERT_TRUE(pump_until([&] { return frame.IsWindowVisible(); }));
    frame.SendMessage(WM_CLOSE);
    EXPECT_EQ(frame.GetSafeHwnd(), nullptr);
}
