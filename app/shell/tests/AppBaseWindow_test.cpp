// The application's accelerators on the real window system (CI: Xvfb):
// keys are synthesised (XTest) while one of the frame's windows has the
// focus, and reach the accelerator table through the window layer as they
// do in the program.

#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include "app/shell/AppBase.h"
#include "app/shell/tests/ShellFakes.h"
#include "platform/gui/shell.h"
#include "widgets/core/tests/Screen.h"
#include "widgets/core/tests/WindowEnvironment.h"

namespace {

[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment());

using test::pump_until;
using test::settle;

// The program's key filter while it lives.
struct KeyFilter {
    explicit KeyFilter(My::AppBase& app)
    {
        platform::gui::set_key_filter([&app](CWnd* target, UINT key, UINT modifiers) {
            return app.PreTranslateMessage(target, key, modifiers);
        });
    }
    ~KeyFilter() { platform::gui::set_key_filter({}); }
};

class AppBaseWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::display_started())
            GTEST_SKIP() << "no display";
        app.Build();
        My::Frame& frame = *app.GetMainFrame();
        ASSERT_TRUE(frame.LoadFrame());
        frame.ShowWindow(SW_SHOW);
        ASSERT_TRUE(pump_until([&] { return frame.IsWindowVisible() != FALSE; }));
        ASSERT_TRUE(app.OpenProjectFile("/clips/walk.tvp", -1));
        app.Doc().modified = true;
    }
    void TearDown() override
    {
        if (My::Frame* frame = app.GetMainFrame())
            frame->DestroyWindow();
    }

    // A click into `w` (client point (x, y)); the window then takes the
    // focus, as the program's windows do on a press.
    void ClickAndFocus(CWnd& w, int x, int y)
    {
        CPoint p(x, y);
        w.ClientToScreen(&p);
        sim.MouseMove(p.x, p.y);
        settle();
        sim.MouseClick();
        settle();
        w.SetFocus();
        ASSERT_TRUE(pump_until([&] { return CWnd::GetFocus() == &w; }));
    }

    test::MemoryProfile profile;
    test::RecordingPrompt prompt;
    test::FakeApp app;
    KeyFilter filter { app };
    wxUIActionSimulator sim;
};

TEST_F(AppBaseWindow, ControlKeysOfTheTableActWhileAPanelWindowOfTheFrameHasTheFocus)
{
    My::Frame& frame = *app.GetMainFrame();
    CWnd panel;
    ASSERT_TRUE(panel.Create("", "", WS_CHILD | WS_VISIBLE, CRect(300, 200, 500, 300), &frame, 0));
    ClickAndFocus(panel, 20, 20);

    sim.Char('s', wxMOD_CONTROL);
    EXPECT_TRUE(pump_until([&] { return app.Doc().stored.size() == 1; }));
    EXPECT_EQ(CWnd::GetFocus(), &panel);
    panel.DestroyWindow();
}

TEST_F(AppBaseWindow, KeysTypedIntoATextFieldOfTheFrameStayWithTheField)
{
    My::Frame& frame = *app.GetMainFrame();
    CEdit field;
    ASSERT_TRUE(field.Create("", "", WS_CHILD | WS_VISIBLE, CRect(300, 200, 500, 230), &frame, 0));
    ClickAndFocus(field, 20, 10);

    // "1" is an accelerator of the table; typed into the field it is text.
    sim.Text("1");
    sim.Char('s', wxMOD_CONTROL);
    EXPECT_TRUE(pump_until([&] { return field.GetWindowText() == "1"; })) << field.GetWindowText();
    settle();
    EXPECT_TRUE(app.Doc().stored.empty());
    field.DestroyWindow();
}

} // namespace
