// Panel bars, splitters and grips under a display: what they draw, and a
// click on a grip. Runs in the editor's window-test program, whose
// environment starts the window system.

#include <gtest/gtest.h>

#include <wx/uiaction.h>

#include "platform/gui/app.h"
#include "platform/gui/colors.h"
#include "widgets/containers/PanelBar.h"
#include "widgets/containers/Splitters.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/Screen.h"

using test::pixel;
using test::pump_until;
using test::screenshot;
using test::settle;

namespace {

// A frame window that arranges its bars the simple way: sizes at least 10,
// then every control re-placed.
class BarWindow : public My::CustomWindow<CWnd>, public My::PanelFrame {
public:
    int paints = 0, right = 120, bottom = 60;
    bool right_visible = true, bottom_visible = true;
    My::RightPanelBar right_bar { *this };
    My::BottomPanelBar bottom_bar { *this };
    My::RightSplitter right_splitter { *this };
    My::BottomSplitter bottom_splitter { *this };
    My::RightGrip right_grip { *this };
    My::CornerGrip corner { *this };
    My::Panel panel { "Properties", 3 };

    BarWindow()
    {
        AddChild(&right_bar);
        AddChild(&bottom_bar);
        AddChild(&right_splitter);
        AddChild(&bottom_splitter);
        AddChild(&right_grip);
        AddChild(&corner);
        right_bar.AddPanel(&panel);
    }
    ~BarWindow() override
    {
        for (My::Control* c : { static_cast<My::Control*>(&right_bar), static_cast<My::Control*>(&bottom_bar),
                 static_cast<My::Control*>(&right_splitter), static_cast<My::Control*>(&bottom_splitter),
                 static_cast<My::Control*>(&right_grip), static_cast<My::Control*>(&corner) })
            RemoveChild(c);
    }
    void Draw(CDC& dc, const CRect&) override
    {
        ++paints;
        dc.FillSolidRect(CRect(CPoint(), GetSize()), RGB(255, 255, 255));
    }
    CRect GetBarArea() const override { return CRect(CPoint(), GetSize()); }
    int GetRightBarSize() const override { return right; }
    int GetBottomBarSize() const override { return bottom; }
    bool IsRightBarVisible() const override { return right_visible; }
    bool IsBottomBarVisible() const override { return bottom_visible; }
    bool IsStatusBarVisible() const override { return false; }
    void ArrangeBars(int r, int b, bool rv, bool bv) override
    {
        right = std::max(r, 10);
        bottom = std::max(b, 10);
        right_visible = rv;
        bottom_visible = bv;
        RecalcLayout();
    }
    void ClearHiddenBySize(bool) override { }
    void RecalcLayout() override
    {
        right_bar.Place();
        bottom_bar.Place();
        right_splitter.Place();
        bottom_splitter.Place();
        right_grip.Place();
        corner.Place();
        Invalidate(FALSE);
    }
    bool Open(const CRect& r)
    {
        if (!Create("", "", WS_POPUP | WS_VISIBLE, r, nullptr, 0))
            return false;
        RecalcLayout();
        return pump_until([this] { return paints > 0 && IsWindowVisible(); });
    }
    wxImage Shot()
    {
        settle();
        CRect r;
        GetClientRect(&r);
        ClientToScreen(&r);
        return screenshot(r);
    }
};

} // namespace

TEST(PanelsWindow, BarsSplittersAndGripsDrawAndAGripClickHidesTheBar)
{
    if (!platform::gui::running())
        GTEST_SKIP() << "no display";
    BarWindow w;
    ASSERT_TRUE(w.Open(CRect(30, 30, 430, 330)));
    const wxImage shot = w.Shot();
    // Right bar from x = 280, its splitter 275..280 (a face line on its left).
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(pixel(shot, 275, 10), face);
    EXPECT_EQ(pixel(shot, 277, 10), My::mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
    // The panel's caption band in the darkened shadow, the bar's face below.
    EXPECT_EQ(pixel(shot, 399, 1), My::mix_colors(shadow, My::mix_colors(shadow, RGB(0, 0, 0))));
    EXPECT_EQ(pixel(shot, 399, 200), face);
    // The view area stays as the window drew it.
    EXPECT_EQ(pixel(shot, 100, 100), RGB(255, 255, 255));

    // A click on the right grip hides the right bar.
    const CRect grip = w.right_grip.GetBounds();
    ASSERT_FALSE(grip.IsRectEmpty());
    CPoint p = grip.CenterPoint();
    w.ClientToScreen(&p);
    wxUIActionSimulator sim;
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return !w.right_visible; }));
    EXPECT_EQ(w.right, 120);
    const wxImage hidden = w.Shot();
    // The splitter stands at the window's edge now, the view beside it.
    EXPECT_EQ(pixel(hidden, 390, 10), RGB(255, 255, 255));
    EXPECT_EQ(pixel(hidden, 395, 10), face);
    EXPECT_EQ(pixel(hidden, 397, 10), My::mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
}
