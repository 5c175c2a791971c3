// The controls in real windows under a display (CI: Xvfb, Adwaita, scale 1,
// and one run at scale 2): each family is painted and its pixels compared
// with what the control draws (frames, glyphs at their places, alignment),
// and driven by synthesised clicks, drags and typing.

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include "platform/gui/app.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/colors.h"
#include "widgets/controls/CheckBox.h"
#include "widgets/controls/ColorBox.h"
#include "widgets/controls/DropDown.h"
#include "widgets/controls/Glyph.h"
#include "widgets/controls/GlyphButton.h"
#include "widgets/controls/GlyphResources.h"
#include "widgets/controls/Slider.h"
#include "widgets/controls/ToolBar.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Window.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/Screen.h"
#include "widgets/core/tests/WindowEnvironment.h"
#include "widgets/dialogs/ProgressDlg.h"
#include "widgets/layout/LabelledWidget.h"
#include "widgets/scrolling/ListControl.h"
#include "widgets/scrolling/ScrollBox.h"
#include "widgets/text/Clipboard.h"
#include "widgets/text/TextControl.h"

using test::pixel;
using test::pump_until;
using test::screenshot;
using test::settle;

namespace {

[[maybe_unused]] auto* g_env
    = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment(test::WindowOptions { true, {} }));

constexpr COLORREF background = RGB(200, 200, 200);

// A top-level double-buffered window with a plain background.
class Canvas : public My::CustomWindow<CWnd> {
public:
    int paints = 0;
    void Draw(CDC& dc, const CRect&) override
    {
        ++paints;
        dc.FillSolidRect(CRect(CPoint(), GetSize()), background);
    }
    bool Open(const CRect& r)
    {
        if (!Create("", "", WS_POPUP | WS_VISIBLE, r, nullptr, 0))
            return false;
        return pump_until([this] { return paints > 0 && IsWindowVisible(); });
    }
    // The client area on screen, in physical pixels.
    wxImage Shot()
    {
        settle();
        CRect r;
        GetClientRect(&r);
        ClientToScreen(&r);
        const int s = int(GetContentScaleFactor());
        const CRect physical(r.left * s, r.top * s, r.right * s, r.bottom * s);
        // Taken again until two shots in a row agree: a loaded server may
        // still be showing an earlier painting.
        wxImage last = screenshot(physical);
        return test::screenshot_until(physical, [&](const wxImage& shot) {
            const bool same = shot.GetWidth() == last.GetWidth() && shot.GetHeight() == last.GetHeight()
                && std::equal(shot.GetData(),
                    shot.GetData() + std::size_t(shot.GetWidth()) * shot.GetHeight() * 3, last.GetData());
            last = shot;
            return same;
        });
    }
    CPoint Screen(CPoint p) const
    {
        ClientToScreen(&p);
        return p;
    }
};

// Counts the pixels of a glyph drawn with its top-left at `at` (client
// coordinates) that differ from the glyph's own, or from `under` where the
// glyph is transparent.
int glyph_mismatches(const wxImage& shot, const My::Glyph& g, CPoint at, COLORREF under, int scale = 1)
{
    const auto drawn = g.GetDrawnPixels();
    int bad = 0;
    for (int y = 0; y < g.GetHeight() * scale; ++y)
        for (int x = 0; x < g.GetWidth() * scale; ++x) {
            const std::uint32_t p = drawn[std::size_t(y / scale) * g.GetWidth() + x / scale];
            const COLORREF want = (p >> 24) ? RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF) : under;
            if (pixel(shot, at.x * scale + x, at.y * scale + y) != want)
                ++bad;
        }
    return bad;
}

class Check : public My::CheckBox {
public:
    int check = 1;
    Check()
        : My::CheckBox("MYFC_CHECKBOX", "MYFC_CHECKBOX_MASK")
    {
    }
    int GetCheck() const override { return check; }
};

class Push : public My::GlyphButton {
public:
    int clicks = 0;
    Push()
        : My::GlyphButton("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK")
    {
    }
    void Click() override { ++clicks; }
};

} // namespace

TEST(ControlsWindow, ButtonsCheckBoxAndToolBarDrawTheirFramesAndGlyphs)
{
    NEED_DISPLAY();
    My::AddGlyphResource(
        "TEST_TOOL", "TEST_TOOL_MASK", { "kkkkkk", "kwwwwk", "kw..wk", "kw..wk", "kwwwwk", "kkkkkk" });
    Canvas c;
    Check check;
    Push push;
    My::ToolBar bar;
    c.AddChild(&check);
    check.SetBounds(CRect(10, 10, 40, 30));
    c.AddChild(&push);
    push.SetBounds(CRect(50, 10, 70, 30));
    c.AddChild(&bar);
    bar.SetBounds(CRect(10, 40, 120, 60));
    bar.SetButtonSize(18, 18);
    const My::ToolBar::Entry entries[] = { { 9001, "TEST_TOOL" }, { 0, nullptr }, { 9002, "TEST_TOOL" } };
    bar.SetButtons(entries, 3);
    ASSERT_TRUE(c.Open(CRect(0, 0, 140, 80)));
    const wxImage shot = c.Shot();
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), highlight = GetSysColor(COLOR_BTNHIGHLIGHT),
                   face = GetSysColor(COLOR_BTNFACE);

    // Check box: an 11 x 11 sunken frame left-aligned and vertically
    // centred in (10, 10, 40, 30): (10, 14, 21, 25); the glyph inside.
    EXPECT_EQ(pixel(shot, 10, 14), shadow);
    EXPECT_EQ(pixel(shot, 20, 24), highlight);
    My::SysColorGlyph mark;
    mark.Load("MYFC_CHECKBOX", "MYFC_CHECKBOX_MASK");
    EXPECT_EQ(glyph_mismatches(shot, mark, CPoint(11, 15), background), 0);

    // Glyph button: face, raised frame, the arrow centred.
    EXPECT_EQ(pixel(shot, 50, 10), highlight);
    EXPECT_EQ(pixel(shot, 69, 29), shadow);
    My::Glyph arrow;
    arrow.Load("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK");
    EXPECT_EQ(glyph_mismatches(shot, arrow, CPoint(50 + (20 - 7) / 2, 10 + (20 - 4) / 2), face), 0);

    // Tool bar: two groups, each in a groove one pixel outside its buttons;
    // raised buttons with the glyph centred on (9, 9).
    EXPECT_EQ(pixel(shot, 9, 39), shadow);
    EXPECT_EQ(pixel(shot, 10 + 18, 39), My::mix_colors(shadow, highlight)); // groove corner
    EXPECT_EQ(pixel(shot, 9, 45), shadow);
    EXPECT_EQ(pixel(shot, 10 + 18, 45), highlight);
    EXPECT_EQ(pixel(shot, 10 + 24 - 1, 45), shadow); // second groove
    EXPECT_EQ(pixel(shot, 10, 45), highlight); // the button's own frame
    // No frame routes commands here: the buttons stay enabled.
    My::SysColorGlyph tool;
    tool.Load("TEST_TOOL", "TEST_TOOL_MASK");
    EXPECT_EQ(glyph_mismatches(shot, tool, CPoint(10 + 9 - 3, 40 + 9 - 3), face), 0);
    EXPECT_EQ(glyph_mismatches(shot, tool, CPoint(10 + 24 + 9 - 3, 40 + 9 - 3), face), 0);
    // Disabled by its command state: the greyed glyph.
    My::ToolButtonCmdUI(*bar.GetButtons()[2]).Enable(false);
    My::GrayedGlyph greyed;
    greyed.Load("TEST_TOOL", "TEST_TOOL_MASK");
    const wxImage later = c.Shot();
    EXPECT_EQ(glyph_mismatches(later, greyed, CPoint(10 + 24 + 9 - 3, 40 + 9 - 3), face), 0);

    // A checked tool button is sunken: light inside, (face, light) frame,
    // the glyph moved by (1, 1).
    My::ToolButtonCmdUI(*bar.GetButtons()[0]).SetCheck(1);
    const COLORREF light = My::mix_colors(highlight, face);
    const wxImage checked = c.Shot();
    EXPECT_EQ(pixel(checked, 10, 45), face);
    EXPECT_EQ(pixel(checked, 10 + 17, 45), light);
    EXPECT_EQ(pixel(checked, 12, 42), light);
    EXPECT_EQ(glyph_mismatches(checked, tool, CPoint(10 + 9 - 3 + 1, 40 + 9 - 3 + 1), light), 0);

    // A check box too small for its frame draws nothing; a disabled glyph
    // button shows the greyed glyph in a raised frame.
    Check tiny;
    c.AddChild(&tiny);
    tiny.SetBounds(CRect(80, 10, 90, 20));
    push.SetEnabled(false);
    const wxImage disabled = c.Shot();
    for (int y = 10; y < 20; ++y)
        for (int x = 80; x < 90; ++x)
            EXPECT_EQ(pixel(disabled, x, y), background) << x << "," << y;
    EXPECT_EQ(pixel(disabled, 50, 10), highlight);
    My::GrayedGlyph grey_arrow;
    grey_arrow.Load("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK");
    EXPECT_EQ(glyph_mismatches(disabled, grey_arrow, CPoint(50 + (20 - 7) / 2, 10 + (20 - 4) / 2), face), 0);
    push.SetEnabled(true);
    c.RemoveChild(&tiny);

    // A synthesised click on the glyph button clicks it once.
    wxUIActionSimulator sim;
    const CPoint p = c.Screen(CPoint(60, 20));
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    EXPECT_TRUE(pump_until([&] { return push.clicks == 1; }));
    c.RemoveChild(&bar);
}

TEST(ControlsWindow, HiDpiGlyphsStayCrisp)
{
    NEED_DISPLAY();
    Canvas c;
    Push push;
    c.AddChild(&push);
    push.SetBounds(CRect(10, 10, 30, 30));
    ASSERT_TRUE(c.Open(CRect(0, 0, 60, 40)));
    if (c.GetContentScaleFactor() != 2.0)
        GTEST_SKIP() << "scale factor is not 2";
    const wxImage shot = c.Shot();
    My::Glyph arrow;
    arrow.Load("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK");
    EXPECT_EQ(glyph_mismatches(
                  shot, arrow, CPoint(10 + (20 - 7) / 2, 10 + (20 - 4) / 2), GetSysColor(COLOR_BTNFACE), 2),
        0);
}

namespace {

// A widget of one colour and a fixed preferred size.
class Block : public My::Widget {
public:
    Block(CSize size, COLORREF color)
        : m_size(size)
        , m_color(color)
    {
    }
    CSize GetPreferredSize() const override { return m_size; }
    void Draw(CDC& dc, const CRect&) override { dc.FillSolidRect(CRect(CPoint(), GetSize()), m_color); }
    CSize m_size;
    COLORREF m_color;
};

// Counts the pixels in `area` that differ from `color`.
int differing(const wxImage& shot, const CRect& area, COLORREF color)
{
    int bad = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            bad += pixel(shot, x, y) != color;
    return bad;
}

} // namespace

TEST(ControlsWindow, LabelledWidgetsPlaceTheirControlsAndLabelsByTheAlignmentCodes)
{
    NEED_DISPLAY();
    Canvas c;
    Block control(CSize(30, 12), RGB(0, 120, 0));
    My::LabelledWidget labelled(&control, "Label");
    c.AddChild(&labelled);
    labelled.SetBounds(CRect(10, 10, 150, 40));
    Block a(CSize(20, 10), RGB(200, 0, 0)), b(CSize(16, 16), RGB(0, 0, 200));
    My::StringContainer row;
    row.AddControl(&a);
    row.AddControl(&b);
    row.SetAlignment(0x33);
    c.AddChild(&row);
    row.SetBounds(CRect(10, 50, 150, 80));
    ASSERT_TRUE(c.Open(CRect(0, 0, 160, 90)));
    const wxImage shot = c.Shot();
    // The control sits right of the label, vertically centred in the block.
    const CRect ctl = control.GetBounds() + CPoint(10, 10);
    EXPECT_EQ(ctl.right, 10 + labelled.GetPreferredSize().cx);
    EXPECT_EQ(differing(shot, ctl, RGB(0, 120, 0)), 0);
    // The label's ink lies inside its rectangle, left of the control.
    const CRect label = labelled.GetLabelRect() + CPoint(10, 10);
    EXPECT_EQ(label.left, 10);
    EXPECT_LE(label.right + 4, ctl.left);
    int ink = 0, stray = 0;
    for (int y = 10; y < 40; ++y)
        for (int x = 10; x < ctl.left; ++x) {
            const bool dark = pixel(shot, x, y) != background;
            ink += dark && label.PtInRect(CPoint(x, y));
            stray += dark && !label.PtInRect(CPoint(x, y));
        }
    EXPECT_GT(ink, 10);
    EXPECT_EQ(stray, 0);
    // The row, centred both ways: 2 x 10 gap + 36 + 2 x 4 margins = 64 wide,
    // 16 + 2 x 2 = 20 high, in 140 x 30.
    EXPECT_EQ(a.GetBounds(), CRect(38 + 4, 5 + 2 + 3, 38 + 24, 5 + 2 + 13));
    EXPECT_EQ(b.GetBounds(), CRect(38 + 34, 5 + 2, 38 + 50, 5 + 18));
    EXPECT_EQ(differing(shot, a.GetBounds() + CPoint(10, 50), RGB(200, 0, 0)), 0);
    EXPECT_EQ(differing(shot, b.GetBounds() + CPoint(10, 50), RGB(0, 0, 200)), 0);
    EXPECT_EQ(differing(shot, CRect(10, 50, 10 + 38 + 4, 80), background), 0);
}

namespace {

class Value : public My::Slider {
public:
    double value = 0.5;
    double GetValue() const override { return value; }
    void SetValue(double v) override { value = v; }
};

class Choice : public My::DropDown {
public:
    int index = 0;
    int GetCount() const override { return 3; }
    std::string GetText(int i) const override { return i == 0 ? "one" : i == 1 ? "two" : "three"; }
    std::string GetEmptyText() const override { return "-"; }
    bool GetIndex(int& i) const override
    {
        i = index;
        return true;
    }
    void SetIndex(int i) override { index = i; }
};

} // namespace

TEST(ControlsWindow, SliderDrawsItsTrackAndThumbAndFollowsADrag)
{
    NEED_DISPLAY();
    Canvas c;
    Value slider;
    c.AddChild(&slider);
    slider.SetBounds(CRect(10, 10, 122, 30));
    ASSERT_TRUE(c.Open(CRect(0, 0, 140, 50)));
    wxImage shot = c.Shot();
    // The band is (16, 14, 116, 25) in the window; the track one pixel in.
    EXPECT_EQ(pixel(shot, 10, 10), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(pixel(shot, 121, 29), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixel(shot, 20, 13), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixel(shot, 20, 14), RGB(0, 0, 0));
    My::Glyph thumb;
    thumb.Load("SliderThumb", "SliderThumbMask");
    const int left = 10 + slider.ThumbLeft(0.5);
    EXPECT_EQ(glyph_mismatches(shot, thumb, CPoint(left, 15), GetSysColor(COLOR_BTNFACE)), 0);

    // Press on the track at a quarter, then drag far to the right.
    wxUIActionSimulator sim;
    const CPoint quarter = c.Screen(CPoint(10 + 7 + 98 / 4, 20));
    sim.MouseMove(quarter.x, quarter.y);
    settle();
    sim.MouseDown();
    ASSERT_TRUE(pump_until([&] { return slider.value < 0.3; }));
    EXPECT_NEAR(slider.value, 24.0 / 98, 1e-9);
    const CPoint far = c.Screen(CPoint(135, 20));
    for (int x = quarter.x; x <= far.x; x += 10) {
        sim.MouseMove(x, quarter.y);
        settle();
    }
    sim.MouseUp();
    EXPECT_TRUE(pump_until([&] { return slider.value == 1.0; }));
}

TEST(ControlsWindow, DropDownShowsItsButtonAndStepsOnAClickOnTheText)
{
    NEED_DISPLAY();
    Canvas c;
    Choice choice;
    c.AddChild(&choice);
    choice.SetBounds(CRect(10, 10, 110, 30));
    ASSERT_TRUE(c.Open(CRect(0, 0, 130, 40)));
    const wxImage shot = c.Shot();
    My::SysColorGlyph arrow;
    arrow.Load("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK");
    // The button is the right 15 pixels; the arrow centred in it.
    EXPECT_EQ(choice.GetButtonRect(), CRect(85, 0, 100, 20));
    EXPECT_EQ(glyph_mismatches(shot, arrow, CPoint(10 + 85 + 4, 10 + 8), background), 0);
    wxUIActionSimulator sim;
    const CPoint p = c.Screen(CPoint(10 + choice.GetTextRect().CenterPoint().x, 20));
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    EXPECT_TRUE(pump_until([&] { return choice.index == 1; }));
}

namespace {

class Editable : public My::TextControl {
public:
    std::string value = "abc";
    std::vector<std::string> received;
    bool GetText(std::string& out) const override
    {
        out = value;
        return true;
    }
    void SetText(const std::string& t) override
    {
        received.push_back(t);
        value = t;
    }
};

} // namespace

TEST(ControlsWindow, TextControlUnderlinesItsTextAndEditsInPlace)
{
    NEED_DISPLAY();
    Canvas c;
    Editable text;
    c.AddChild(&text);
    text.SetBounds(CRect(10, 10, 150, 34));
    ASSERT_TRUE(c.Open(CRect(0, 0, 170, 50)));
    const wxImage shot = c.Shot();
    // The dotted dark-blue line along the text's bottom: every other pixel.
    const CRect r = text.GetTextRect() + CPoint(10, 10);
    ASSERT_GT(r.Width(), 4);
    int dots = 0, gaps = 0;
    for (int x = r.left; x <= r.right; ++x) {
        const COLORREF p = pixel(shot, x, r.bottom - 1);
        if ((x - r.left) % 2 == 0)
            dots += p == RGB(0, 0, 128);
        else
            gaps += p != RGB(0, 0, 128);
    }
    EXPECT_EQ(dots, (r.Width() + 2) / 2);
    EXPECT_EQ(gaps, (r.Width() + 1) / 2);
    // Right of the text the background shows.
    EXPECT_EQ(pixel(shot, r.right + 10, r.top + 2), background);

    // Click the text, type, Enter.
    wxUIActionSimulator sim;
    const CPoint p = c.Screen(CPoint(r.left + 2, r.CenterPoint().y));
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return text.IsEditing() && text.GetEditor()->HasFocus(); }));
    settle();
    // The press put the caret before the first character.
    sim.Text("xyz");
    ASSERT_TRUE(pump_until([&] { return text.GetEditor() && text.GetEditor()->GetWindowText() == "xyzabc"; }))
        << (text.GetEditor() ? text.GetEditor()->GetWindowText() : std::string("no editor"));
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(pump_until([&] { return !text.IsEditing(); }));
    EXPECT_EQ(text.received, std::vector<std::string> { "xyzabc" });
    // Escape cancels.
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return text.IsEditing() && text.GetEditor()->HasFocus(); }));
    settle();
    sim.Text("q");
    settle();
    sim.Char(WXK_ESCAPE);
    ASSERT_TRUE(pump_until([&] { return !text.IsEditing(); }));
    settle();
    EXPECT_EQ(text.received.size(), 1u);
    EXPECT_EQ(text.value, "xyzabc");
}

TEST(ControlsWindow, LongTextEndsInAnEllipsisInsideItsRectangle)
{
    NEED_DISPLAY();
    Canvas c;
    Editable text;
    text.value = std::string(20000, 'w') + "\xC3\xA9";
    text.SetReadOnly(true);
    c.AddChild(&text);
    text.SetBounds(CRect(10, 10, 110, 34));
    ASSERT_TRUE(c.Open(CRect(0, 0, 130, 44)));
    const wxImage shot = c.Shot();
    EXPECT_TRUE(text.IsTruncated());
    EXPECT_EQ(text.GetToolTipText(), text.value);
    const CRect r = text.GetTextRect() + CPoint(10, 10);
    EXPECT_EQ(r, CRect(14, r.top, 106, r.bottom));
    int ink = 0, stray = 0;
    for (int y = 10; y < 34; ++y)
        for (int x = 10; x < 110; ++x) {
            const bool dark = pixel(shot, x, y) != background;
            ink += dark && r.PtInRect(CPoint(x, y));
            stray += dark && !r.PtInRect(CPoint(x, y));
        }
    EXPECT_GT(ink, 50);
    EXPECT_EQ(stray, 0);
}

namespace {

// A content whose colour says where it is: 20-pixel checkers.
COLORREF checker(int x, int y)
{
    return ((x / 20 + y / 20) % 2) ? RGB(250, 0, 0) : RGB(0, 0, 250);
}

class Scrolled : public My::ScrollBox {
public:
    void Draw(CDC& dc, const CRect& clip) override
    {
        const CPoint s = GetScrollPos();
        for (int y = clip.top - (clip.top + s.y) % 20; y < clip.bottom; y += 20)
            for (int x = clip.left - (clip.left + s.x) % 20; x < clip.right; x += 20)
                dc.FillSolidRect(CRect(x, y, x + 20, y + 20), checker(x + s.x, y + s.y));
    }
};

} // namespace

TEST(ControlsWindow, ScrollBoxShowsTheContentAtItsScrollPosition)
{
    NEED_DISPLAY();
    Scrolled box;
    ASSERT_TRUE(box.Create(
        "", "", WS_POPUP | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, CRect(0, 0, 160, 120), nullptr, 0));
    box.SetContentSize(400, 400);
    settle();
    box.ScrollTo(30, 40);
    EXPECT_EQ(box.GetScrollPos(), CPoint(30, 40));
    box.Invalidate();
    settle();
    CRect r;
    box.GetClientRect(&r);
    box.ClientToScreen(&r);
    const wxImage shot = screenshot(r);
    int bad = 0;
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x)
            bad += pixel(shot, x, y) != checker(x + 30, y + 40);
    EXPECT_EQ(bad, 0);
    // The view is what the window system leaves beside its bars.
    EXPECT_EQ(box.GetViewSize(), r.Size());
    // Scrolling to the far end stops at layout - view.
    box.ScrollTo(10000, 10000);
    EXPECT_EQ(box.GetScrollPos(), CPoint(400 - box.GetViewSize().cx, 400 - box.GetViewSize().cy));
}

namespace {

class Line : public My::RowControl {
public:
    explicit Line(int h) { SetHeight(h); }
    void Draw(CDC& dc, const CRect&) override
    {
        const bool selected = GetList() && GetList()->GetSelected() == GetIndex();
        dc.FillSolidRect(CRect(CPoint(), GetSize()), selected ? RGB(0, 0, 200) : RGB(230, 230, 230));
    }
    void OnLeftDown(UINT flags, const CPoint& point) override
    {
        GetList()->Select(GetIndex());
        My::RowControl::OnLeftDown(flags, point);
    }
};

} // namespace

TEST(ControlsWindow, ListWindowSelectsByClickAndKeys)
{
    NEED_DISPLAY();
    My::ListControl list;
    std::vector<std::unique_ptr<Line>> lines;
    std::vector<My::RowControl*> rows;
    for (int i = 0; i < 30; ++i) {
        lines.push_back(std::make_unique<Line>(16));
        rows.push_back(lines.back().get());
    }
    list.InsertRows(0, rows.data(), 30);
    ASSERT_TRUE(list.Create("", "", WS_POPUP | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 150, 100), nullptr, 0));
    ASSERT_TRUE(pump_until([&] { return list.GetContentHeight() == 480 && list.IsWindowVisible(); }));
    settle();
    wxUIActionSimulator sim;
    CPoint p(20, 16 * 2 + 5);
    list.ClientToScreen(&p);
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return list.GetSelected() == 2; }));
    sim.Char(WXK_DOWN);
    ASSERT_TRUE(pump_until([&] { return list.GetSelected() == 3; }));
    sim.Char(WXK_END);
    ASSERT_TRUE(pump_until([&] { return list.GetSelected() == 29; }));
    EXPECT_EQ(list.GetScrollPos(), 480 - list.GetPageHeight());
    settle();
    CRect r;
    list.GetClientRect(&r);
    list.ClientToScreen(&r);
    const wxImage shot = screenshot(r);
    // The last row, selected, fills the bottom of the page.
    EXPECT_EQ(pixel(shot, 10, r.Height() - 2), RGB(0, 0, 200));
    EXPECT_EQ(pixel(shot, 10, r.Height() - 20), RGB(230, 230, 230));
    list.RemoveAll();
}

TEST(ControlsWindow, ProgressDialogShowsWorkerStepsAndClipboardKeepsText)
{
    NEED_DISPLAY();
    Canvas c;
    ASSERT_TRUE(c.Open(CRect(0, 0, 60, 40)));
    {
        My::ProgressDlg dlg;
        dlg.Create(&c, true);
        dlg.Start(5, 0);
        std::thread worker([&] {
            for (int i = 0; i < 5; ++i)
                dlg.Step();
        });
        worker.join();
        EXPECT_TRUE(pump_until([&] { return dlg.GetWindow().GetText() == "5 / 5"; }));
        EXPECT_TRUE(c.GetStyle() & WS_DISABLED);
        // A click on Cancel only sets the flag; the window stays.
        const CRect cancel = dlg.GetWindow().GetCancelRect();
        ASSERT_FALSE(cancel.IsRectEmpty());
        wxUIActionSimulator sim;
        sim.MouseMove(cancel.CenterPoint().x, cancel.CenterPoint().y);
        settle();
        sim.MouseClick();
        EXPECT_TRUE(pump_until([&] { return dlg.IsCancelled(); }));
        EXPECT_FALSE(dlg.Step());
        EXPECT_TRUE(dlg.GetWindow().IsVisible());
    }
    EXPECT_FALSE(c.GetStyle() & WS_DISABLED);
    settle();
    My::CopyLinesToClipboard("a\nb");
    EXPECT_EQ(platform::gui::clipboard_text(), std::optional<std::string>("a\r\nb"));
}

namespace {

class Swatch : public My::ColorBox {
public:
    COLORREF color = RGB(10, 20, 30);
    int clicks = 0;
    bool GetColor(COLORREF& c) const override
    {
        c = color;
        return true;
    }
    void SetColor(COLORREF c) override { color = c; }
    void Click() override
    {
        ++clicks;
        My::ColorBox::Click();
    }
};

} // namespace

// A button whose click opens a modal dialog holds the mouse capture until
// the press is over; the dialog must neither take it away unannounced nor
// make the button click again. Cancel (Escape) leaves the colour.
TEST(ControlsWindow, ColorBoxClickOpensTheColourDialogOnceAndEscapeClosesIt)
{
    NEED_DISPLAY();
    Canvas c;
    Swatch box;
    c.AddChild(&box);
    box.SetBounds(CRect(10, 10, 40, 30));
    ASSERT_TRUE(c.Open(CRect(0, 0, 60, 40)));
    const std::string log = platform::testing::escape_every_window_titled("Choose colour", 5);
    wxUIActionSimulator sim;
    const CPoint p = c.Screen(CPoint(25, 20));
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return box.clicks > 0; }));
    // The script keeps watching: a second dialog would be answered too.
    platform::testing::settle(std::chrono::milliseconds(5500));
    EXPECT_EQ(box.clicks, 1);
    EXPECT_EQ(platform::testing::lines_in(log), 1);
    EXPECT_EQ(box.color, RGB(10, 20, 30));
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
    EXPECT_FALSE(box.HasCapture());
    std::remove(log.c_str());
}
