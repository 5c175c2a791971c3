// The parameter page of a segment in the property editor, under a display:
// the page opens expanded with a row per parameter, switches as check boxes,
// enumerations as drop-downs and numbers as text; the picture is kept as a
// screenshot of the editor.

#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "platform/gui/colors.h"
#include "widgets/controls/CheckBox.h"
#include "widgets/controls/DropDown.h"
#include "widgets/core/Window.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/Screen.h"
#include "widgets/core/tests/WindowEnvironment.h"
#include "widgets/properties/PEditor.h"
#include "widgets/properties/PropertyRow.h"
#include "widgets/text/TextControl.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstdlib>
#include <filesystem>

#include <wx/image.h>

namespace {

using namespace segment_testing;

[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(
    new test::WindowEnvironment(test::WindowOptions { false, "param_page_window_config" }));

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
        return test::pump_until([this] { return paints > 0 && IsWindowVisible(); });
    }
    wxImage Shot(const std::string& name)
    {
        test::settle();
        CRect r;
        GetClientRect(&r);
        ClientToScreen(&r);
        wxImage shot = test::screenshot(r);
        shot.SaveFile(::testing::TempDir() + name, wxBITMAP_TYPE_PNG);
        return shot;
    }
};

TEST(ParamPageWindow, ShowsTheSegmentsParametersWithTheirEditors)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    PromptScope prompts;
    FakeSegmentHost host;
    TLComp comp;
    My::Doc* previous = My::SetCurrentDoc(&comp);
    comp.SetFootage(boost::make_shared<SceneFootage>(20));
    comp.GetSegmentSet().SetHost(&host);
    TLSegment& s = *comp.GetSegmentSet().CreateSegment(5);

    Canvas c;
    My::PEditor editor("Parameter Page Test", { "NorvaneTest", "Tavelo" });
    c.AddChild(&editor);
    editor.SetBounds(CRect(0, 0, 360, 420));
    ASSERT_TRUE(c.Open(CRect(40, 40, 400, 460)));
    editor.SetObject(&s);
    My::PropertyList& list = editor.GetList();
    // Display Mask, Tracking Bounds, Parameters and its ten rows.
    ASSERT_EQ(list.GetRowCount(), 13);
    My::UpdateUIEvent update;
    c.OnEvent(update);
    const wxImage shot = c.Shot("param_page.png");
    if (const char* keep = std::getenv("TAVELO_SCREENSHOT_DIR"))
        shot.SaveFile(std::string(keep) + "/param_page.png", wxBITMAP_TYPE_PNG);

    int checks = 0, drops = 0, texts = 0;
    for (int i = 0; i < list.GetRowCount(); ++i) {
        My::Control* hosted = list.GetPropertyRow(i)->GetHostedControl();
        checks += dynamic_cast<My::CheckBox*>(hosted) != nullptr;
        drops += dynamic_cast<My::DropDown*>(hosted) != nullptr;
        texts += dynamic_cast<My::TextControl*>(hosted) != nullptr;
    }
    // Optic Flow, MinCut, Refine, Pyramid Refine, Decrease Mask Freedom;
    // Downsample and Smooth Mask; Reference Frame Pitch, Dilate / Erode,
    // "Wool" removal.
    EXPECT_EQ(checks, 5);
    EXPECT_EQ(drops, 2);
    EXPECT_EQ(texts, 3);
    const int caption = editor.GetEffectiveCaptionWidth();
    EXPECT_EQ(test::pixel(shot, caption, 5), GetSysColor(COLOR_BTNSHADOW));

    editor.SetObject(nullptr);
    c.RemoveChild(&editor);
    My::SetCurrentDoc(previous);
}

} // namespace
