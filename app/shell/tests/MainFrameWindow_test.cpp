// The program's main window as it starts (1024 x 720, no window manager)
// with a project open, a background footage and a selected segment: every
// panel gets room, every text the program asks for is in its tables, every
// glyph finds its bitmap and mask under the names its control looks for,
// and every menu and accelerator command has a handler.

#include "app/resources/Resources.h"
#include "app/shell/Tavelo.h"
#include "document/composition/Background.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/Strings.h"
#include "widgets/core/tests/Screen.h"
#include "widgets/core/tests/WindowEnvironment.h"
#include "widgets/properties/PropertyRow.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <unistd.h>

using test::pump_until;
using test::settle;

namespace {

[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(
    new test::WindowEnvironment(test::WindowOptions { false, "tavelo_main_frame_window" }));

// Notes every text the program asks for, then looks it up where the
// program's own source would.
class RecordingStrings : public My::StringSource {
public:
    ~RecordingStrings()
    {
        if (m_installed && My::SetStringSource(m_next) != this)
            std::abort();
    }
    void Install()
    {
        m_next = My::SetStringSource(this);
        m_installed = true;
    }
    bool Find(std::uint32_t id, std::string& text) const override
    {
        asked.insert(id);
        return m_next && m_next->Find(id, text);
    }

    mutable std::set<std::uint32_t> asked;

private:
    const My::StringSource* m_next = nullptr;
    bool m_installed = false;
};

// The program, recording its texts from before its document and frame are
// built.
class RecordingTavelo : public Tavelo {
public:
    RecordingStrings strings;

protected:
    std::unique_ptr<TLComp> CreateDocument() override
    {
        strings.Install();
        return Tavelo::CreateDocument();
    }
};

// A command's update state.
class QueryUI : public My::CommandUI {
public:
    void Enable(bool) override { }
    void SetCheck(int) override { }
    void SetRadio(bool) override { }
    void SetText(const std::string&) override { }
    bool IsMenuItem() const override { return true; }
};

void CollectCommands(const std::vector<platform::gui::menu_entry>& entries, std::set<std::uint32_t>& ids)
{
    for (const auto& e : entries) {
        if (e.popup)
            CollectCommands(e.entries, ids);
        else if (!e.separator)
            ids.insert(e.id);
    }
}

// Every control of a tree: asks each for its tooltip, as hovering would.
void AskTooltips(My::Control& control, int& count)
{
    ++count;
    (void)control.GetToolTipText();
    if (auto* container = dynamic_cast<My::Container*>(&control))
        for (My::Control* child : container->GetChildren())
            AskTooltips(*child, count);
}

class ProgramWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::display_started())
            GTEST_SKIP() << "no display";
        setenv("XDG_CACHE_HOME", folder.c_str(), 1);
        app = std::make_unique<RecordingTavelo>();
        ASSERT_TRUE(app->InitInstance((folder / "Tavelo").string()));
        frame = app->GetFrame();
        ASSERT_TRUE(pump_until([&] { return frame->IsWindowVisible(); }));
        TLComp& comp = *app->GetDocument();
        comp.SetFootage(boost::make_shared<segment_testing::SceneFootage>(60));
        comp.GetBackground().SetFootage(boost::make_shared<segment_testing::SceneFootage>(40));
        TLSegment* segment = comp.GetSegmentSet().CreateSegment(12);
        ASSERT_NE(segment, nullptr);
        comp.GetSegmentSet().SelectSegment(0);
        settle();
        frame->UpdateWindow();
        settle();
    }
    void TearDown() override
    {
        if (app && app->GetDocument())
            app->GetDocument()->Close();
        app.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    const std::filesystem::path folder
        = std::filesystem::path(::testing::TempDir()) / ("tavelo_program_" + std::to_string(::getpid()));
    segment_testing::PromptScope prompts;
    std::unique_ptr<RecordingTavelo> app;
    MainFrame* frame = nullptr;
};

} // namespace

TEST_F(ProgramWindow, EveryPanelGetsRoomAtTheDefaultWindowSize)
{
    CRect client;
    frame->GetClientRect(&client);
    EXPECT_LE(client.Width(), 1024);
    const std::vector<My::Panel*> panels = frame->GetPanels();
    ASSERT_EQ(panels.size(), 5u);
    for (My::Panel* panel : panels) {
        EXPECT_GT(panel->GetBounds().Height(), panel->GetCaptionHeight()) << panel->GetTitle();
        EXPECT_GT(panel->GetBounds().Width(), 0) << panel->GetTitle();
        if (auto* hosting = dynamic_cast<My::WidgetPanel*>(panel)) {
            const CRect inner = hosting->GetWidget()->GetBounds();
            EXPECT_FALSE(inner.IsRectEmpty()) << panel->GetTitle();
        }
    }
}

TEST_F(ProgramWindow, EveryPanelShowsItsWholeTitleAtTheDefaultWindowSize)
{
    for (My::Panel* panel : frame->GetPanels()) {
        EXPECT_GT(panel->GetTitleWidth(), 2 * My::Panel::title_inset) << panel->GetTitle();
        EXPECT_GE(panel->GetBounds().Width(), panel->GetTitleWidth()) << panel->GetTitle();
    }
}

TEST_F(ProgramWindow, EveryTextTheProgramAsksForIsInItsTables)
{
    int controls = 0;
    AskTooltips(*frame, controls);
    frame->RebuildMenu();
    EXPECT_GT(controls, 50);
    // Empty by design: the project dialogs' default extension, so that the
    // chosen filter's extension is taken.
    const std::set<std::uint32_t> empty_by_design = { 50002 };
    ASSERT_FALSE(app->strings.asked.empty());
    for (std::uint32_t id : app->strings.asked) {
        if (!empty_by_design.count(id)) {
            EXPECT_FALSE(My::LoadString(id).empty()) << "string " << id;
        }
    }
    // The texts of the time controls, the ruler, the strips and the scale
    // buttons were among them.
    for (std::uint32_t id : { 56000u, 56001u, 57000u, 57010u, 57011u, 57012u, 57013u })
        EXPECT_TRUE(app->strings.asked.count(id)) << id;
}

TEST_F(ProgramWindow, EveryGlyphFindsItsBitmapAndItsMask)
{
    int controls = 0;
    AskTooltips(*frame, controls);
    std::string missing;
    for (const std::string& name : My::GetMissingGlyphResources())
        missing += " " + name;
    EXPECT_EQ(missing, "");
}

TEST_F(ProgramWindow, EveryMenuAndAcceleratorCommandHasAHandler)
{
    std::set<std::uint32_t> ids;
    CollectCommands(frame->BuildMenu(), ids);
    for (const auto& accelerator : resources::MainAccelerators())
        ids.insert(accelerator.command);
    // Commands the program offers and leaves to come: the clipboard items
    // of the Edit menu and their keys, and the pane keys F6 and Shift+F6.
    const std::set<std::uint32_t> unhandled
        = { resources::ID_EDIT_CUT, resources::ID_EDIT_COPY, resources::ID_EDIT_PASTE, 57680, 57681 };
    for (std::uint32_t id : ids) {
        QueryUI ui;
        const bool handled = frame->OnCmdMsg(id, -1, &ui);
        if (unhandled.count(id))
            EXPECT_FALSE(handled) << "command " << id << " has a handler now: take it off the list";
        else
            EXPECT_TRUE(handled) << "command " << id;
    }
}

TEST_F(ProgramWindow, TheDisplayPanelShowsItsToolBarAndEveryStyleRowWithoutScrolling)
{
    DisplayPanel& display = frame->GetDisplayPanel();
    EXPECT_EQ(display.GetToolBar().GetBounds().Size(), CSize(2 * 18, 18));
    My::PropertyList& list = display.GetEditor().GetList();
    EXPECT_EQ(list.GetRowCount(), display.GetStyleRowCount());
    list.Layout();
    EXPECT_GT(list.GetPageHeight(), 0);
    EXPECT_LE(list.GetContentHeight(), list.GetPageHeight());
}

TEST_F(ProgramWindow, AWheelNotchOverThePropertiesScrollsAtLeastOneRow)
{
    My::PropertyList& list = frame->GetPropertyEditor().GetList();
    list.Layout();
    ASSERT_GT(list.GetContentHeight(), list.GetPageHeight()) << "the segment's parameters should not fit";
    ASSERT_EQ(list.GetScrollPos(), 0);
    CRect r;
    list.GetWindowRect(&r);
    const std::string move = "xdotool mousemove " + std::to_string(r.CenterPoint().x) + " "
        + std::to_string(r.top + std::min<int>(20, r.Height() / 2)) + " click 5";
    ASSERT_EQ(std::system(move.c_str()), 0);
    EXPECT_TRUE(pump_until([&] { return list.GetScrollPos() > 0; }));
    EXPECT_GE(list.GetScrollPos(), My::PropertyRow::height);
}
