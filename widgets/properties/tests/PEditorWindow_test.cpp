// The property editor under a display: a sample property tree shown, a
// value typed into a row's text control and undone, compared on screen.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <wx/uiaction.h>

#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Window.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/Screen.h"
#include "widgets/core/tests/WindowEnvironment.h"
#include "widgets/properties/PEditor.h"
#include "widgets/properties/PropertyRow.h"
#include "widgets/properties/tests/SampleProperties.h"

using test::pixel;
using test::pump_until;
using test::screenshot;
using test::settle;

namespace {

[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(
    new test::WindowEnvironment(test::WindowOptions { true, "peditor_window_config" }));

class Canvas : public My::CustomWindow<CWnd> {
public:
    int paints = 0;
    void Draw(CDC& dc, const CRect&) override
    {
        ++paints;
        dc.FillSolidRect(CRect(CPoint(), GetSize()), GetSysColor(COLOR_BTNFACE));
    }
    bool Open(const CRect& r)
    {
        if (!Create("", "", WS_POPUP | WS_VISIBLE, r, nullptr, 0))
            return false;
        return pump_until([this] { return paints > 0 && IsWindowVisible(); });
    }
    wxImage Shot(const std::string& name)
    {
        settle();
        CRect r;
        GetClientRect(&r);
        ClientToScreen(&r);
        wxImage shot = screenshot(r);
        shot.SaveFile(::testing::TempDir() + name, wxBITMAP_TYPE_PNG);
        return shot;
    }
    CPoint Screen(CPoint p) const
    {
        ClientToScreen(&p);
        return p;
    }
};

// The row's value text control.
My::TextControl* value_of(My::PropertyRow* row)
{
    return dynamic_cast<My::TextControl*>(row->GetHostedControl());
}

} // namespace

TEST(PEditorWindow, ShowsTheSampleTreeAndTakesAnEditThatIsThenUndone)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    test::History history;
    test::history() = &history;
    test::Sample sample;
    Canvas c;
    My::PEditor editor("Sample Editor", { "NorvaneTest", "Tavelo" });
    c.AddChild(&editor);
    editor.SetBounds(CRect(0, 0, 320, 240));
    ASSERT_TRUE(c.Open(CRect(40, 40, 360, 280)));
    editor.SetObject(&sample);
    My::PropertyList& list = editor.GetList();
    ASSERT_EQ(list.GetRowCount(), 4); // Position, Size, Height, Width
    settle();

    const wxImage before = c.Shot("peditor_shown.png");
    const int caption = editor.GetEffectiveCaptionWidth();
    EXPECT_EQ(caption, 125);
    const COLORREF row_face = My::mix_sys_colors(COLOR_BTNFACE, COLOR_BTNHIGHLIGHT);
    // The caption column's line and the rows' face beside it.
    EXPECT_EQ(pixel(before, caption, 5), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixel(before, caption - 3, 5), row_face);
    // A group row without a control: the value side is the plain face.
    EXPECT_EQ(pixel(before, caption + 20, 5), GetSysColor(COLOR_BTNFACE));
    // The bottom line of the first row.
    EXPECT_EQ(pixel(before, 60, My::PropertyRow::height - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    // The info pane below the list: its top line.
    const int info_top = 240 - editor.GetInfoHeight();
    EXPECT_EQ(pixel(before, 100, info_top), GetSysColor(COLOR_BTNSHADOW));

    // Select the "Width" row by its caption: the selection colour.
    wxUIActionSimulator sim;
    My::PropertyRow* width = list.GetPropertyRow(3);
    const int width_y = 3 * My::PropertyRow::height + My::PropertyRow::height / 2;
    CPoint p = c.Screen(CPoint(caption - 10, width_y));
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return list.GetSelected() == 3; }));
    const wxImage selected = c.Shot("peditor_selected.png");
    EXPECT_EQ(pixel(selected, caption - 3, width_y), RGB(224, 224, 255));

    // Type a new width into the row's text control.
    My::TextControl* text = value_of(width);
    ASSERT_NE(text, nullptr);
    const CRect tr = text->GetTextRect() + text->GetOrigin();
    p = c.Screen(CPoint(tr.left + 2, tr.CenterPoint().y));
    sim.MouseMove(p.x, p.y);
    settle();
    sim.MouseClick();
    ASSERT_TRUE(pump_until([&] { return text->IsEditing() && text->GetEditor()->HasFocus(); }));
    settle();
    // The press put the caret at the click; the new text replaces the old.
    text->GetEditor()->SetSel(0, -1);
    sim.Text("800");
    ASSERT_TRUE(pump_until([&] { return text->GetEditor() && text->GetEditor()->GetWindowText() == "800"; }));
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(pump_until([&] { return !text->IsEditing(); }));
    EXPECT_EQ(sample.values["Width"], 800);
    ASSERT_EQ(history.entries.size(), 1u);
    const wxImage edited = c.Shot("peditor_edited.png");

    // Undo: the stored value returns and the row shows it again.
    history.Undo();
    sample.NotifyChange(nullptr);
    My::UpdateUIEvent update;
    c.OnEvent(update);
    c.Invalidate(FALSE);
    EXPECT_EQ(sample.values["Width"], 640);
    const wxImage undone = c.Shot("peditor_undone.png");
    // The value column of the row differs while edited and is back after.
    int edited_diff = 0, undone_diff = 0;
    for (int y = width_y - 6; y < width_y + 6; ++y)
        for (int x = caption + 4; x < 320; ++x) {
            edited_diff += pixel(edited, x, y) != pixel(selected, x, y);
            undone_diff += pixel(undone, x, y) != pixel(selected, x, y);
        }
    EXPECT_GT(edited_diff, 0);
    EXPECT_EQ(undone_diff, 0);
    editor.SetObject(nullptr);
    c.RemoveChild(&editor);
    test::history() = nullptr;
}
