// The main frame as the segments' host, without a window: edit targets and
// mask reloads reach the view's mask editor, key mask files come from the
// file dialog, and the frame lets go of the segment set when it goes.

#include <gtest/gtest.h>

#include "app/player/TimeControls.h"
#include "app/shell/MainFrame.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "lumvex/dll.h"
#include "platform/gui/gdi.h"
#include "platform/gui/shell.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace segment_testing;

std::deque<std::string> g_answers;
std::vector<bool> g_asked;
std::vector<platform::gui::file_dialog_request> g_requests;

bool Answer(const platform::gui::file_dialog_request& request, std::string& path, int& index)
{
    index = 0;
    g_asked.push_back(request.save);
    g_requests.push_back(request);
    if (g_answers.empty())
        return false;
    path = g_answers.front();
    g_answers.pop_front();
    return !path.empty();
}

struct MainFrameHost : ::testing::Test {
    MainFrameHost()
    {
        library = std::make_unique<lumvex::dll>();
        comp.SetFootageLibrary(library.get());
        comp.SetFootage(boost::make_shared<SceneFootage>(10));
        frame = std::make_unique<MainFrame>(&comp);
        previous = platform::gui::set_file_dialog_presenter(Answer);
        g_answers.clear();
        g_asked.clear();
        g_requests.clear();
    }
    ~MainFrameHost() override
    {
        platform::gui::set_file_dialog_presenter(previous);
        frame.reset();
    }

    // Settings and caches in a folder of this test process alone, removed
    // after everything else is gone.
    struct Folder {
        Folder()
        {
            std::filesystem::create_directories(path);
            setenv("XDG_CONFIG_HOME", path.c_str(), 1);
            setenv("XDG_CACHE_HOME", path.c_str(), 1);
        }
        ~Folder()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        const std::filesystem::path path = std::filesystem::path(::testing::TempDir())
            / ("tavelo_main_frame_" + std::to_string(::getpid()));
    } folder;
    PromptScope prompts;
    std::unique_ptr<lumvex::dll> library;
    TLComp comp;
    std::unique_ptr<MainFrame> frame;
    platform::gui::file_dialog_presenter previous = nullptr;
};

} // namespace

TEST_F(MainFrameHost, KeyMaskFileCancelledIsEmptyAndChosenIsTheDialogsPath)
{
    EXPECT_EQ(comp.GetSegmentSet().GetHost(), frame.get());
    EXPECT_EQ(frame->ChooseKeyMaskFile(false), "");
    g_answers.push_back("/masks/key.bmp");
    EXPECT_EQ(frame->ChooseKeyMaskFile(true), "/masks/key.bmp");
    EXPECT_EQ(g_asked, (std::vector<bool> { false, true }));
}

TEST_F(MainFrameHost, EditTargetFollowsTheSegmentAndEndsWithNull)
{
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(0);
    ASSERT_NE(segment, nullptr);
    My::MaskEditor& editor = frame->GetCompositionView().GetMaskEditor();
    frame->OnEditTargetChange(segment);
    EXPECT_TRUE(editor.IsEditing());
    frame->OnEditTargetChange(nullptr);
    EXPECT_FALSE(editor.IsEditing());
}

TEST_F(MainFrameHost, TheSegmentSetForgetsTheFrameThatGoes)
{
    frame.reset();
    EXPECT_EQ(comp.GetSegmentSet().GetHost(), nullptr);
}

namespace {

My::Panel* PanelTitled(const MainFrame& frame, const std::string& title)
{
    for (My::Panel* panel : frame.GetPanels())
        if (panel->GetTitle() == title)
            return panel;
    return nullptr;
}

} // namespace

TEST_F(MainFrameHost, RightBarStacksDisplayAndTimeControlsAndLeavesThePropertiesTheRest)
{
    My::Panel* display = PanelTitled(*frame, "Display");
    My::Panel* time = PanelTitled(*frame, "Time Controls");
    My::Panel* properties = PanelTitled(*frame, "Properties");
    ASSERT_TRUE(display && time && properties);
    ASSERT_EQ(time->GetBar(), properties->GetBar());
    My::PanelBar& bar = *properties->GetBar();
    bar.SetBounds(CRect(0, 0, 200, 600));
    bar.Layout();
    EXPECT_EQ(display->GetBounds(), CRect(0, 0, 200, display->GetNeededSize().cy));
    // The time controls take their own height, without a border around them.
    EXPECT_EQ(time->GetBounds(),
        CRect(0, display->GetBounds().bottom, 200, display->GetBounds().bottom + time->GetNeededSize().cy));
    const auto& controls = dynamic_cast<My::WidgetPanel&>(*time);
    EXPECT_EQ(controls.GetContentSize(), controls.GetWidget()->GetPreferredSize());
    EXPECT_EQ(properties->GetBounds(), CRect(0, time->GetBounds().bottom, 200, 600));
    EXPECT_GT(properties->GetBounds().Height(), 200);
}

TEST_F(MainFrameHost, ANewPlayRateGetsARateFieldAsWideAsItsText)
{
    My::Panel* time = PanelTitled(*frame, "Time Controls");
    ASSERT_TRUE(time);
    My::PanelBar& bar = *time->GetBar();
    bar.SetBounds(CRect(0, 0, 200, 600));
    bar.Layout();
    auto* controls = dynamic_cast<My::TimeControls*>(dynamic_cast<My::WidgetPanel&>(*time).GetWidget());
    ASSERT_TRUE(controls);
    My::FramerateEditControl& field = controls->GetRateField();
    // Seven pixels a character without a display, and 4 on either side.
    EXPECT_EQ(field.GetBounds().Width(), 2 * 7 + 8);
    frame->GetCompositionView().GetPlayer().SetPlayFramerate(29.97);
    EXPECT_EQ(field.GetBounds().Width(), 5 * 7 + 8);
}

TEST_F(MainFrameHost, ThePropertiesAreWrittenInTahomaAsLargeAsTheInterfaceFontOfTheOtherPanels)
{
    CFont* font = frame->GetPropertyEditor().GetFont();
    ASSERT_NE(font, nullptr);
    LOGFONT properties;
    LOGFONT gui;
    ASSERT_TRUE(font->GetLogFont(&properties));
    ASSERT_TRUE(CFont::DefaultGui()->GetLogFont(&gui));
    EXPECT_EQ(properties.lfFaceName, "Tahoma");
    EXPECT_EQ(properties.lfWeight, FW_NORMAL);
    EXPECT_EQ(std::abs(properties.lfHeight), std::max<LONG>(11, std::abs(gui.lfHeight)));
}

TEST_F(MainFrameHost, KeyMaskDialogsOfTheSegmentAndTheMaskEditorCarryTheirTitles)
{
    frame->ChooseKeyMaskFile(false);
    frame->ChooseKeyMaskFile(true);
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(0);
    My::MaskEditor& editor = frame->GetCompositionView().GetMaskEditor();
    editor.BeginEdit(segment);
    My::CommandEvent importMask(50054);
    editor.RouteCommand(importMask);
    My::CommandEvent exportMask(50055);
    editor.RouteCommand(exportMask);
    ASSERT_EQ(g_requests.size(), 4u);
    EXPECT_EQ(g_requests[0].title, "Import Key Mask for the Segment");
    EXPECT_EQ(g_requests[1].title, "Export Mask");
    EXPECT_EQ(g_requests[2].title, "Import Mask");
    EXPECT_EQ(g_requests[3].title, "Export Mask");
    for (const auto& request : g_requests) {
        EXPECT_EQ(request.filter, "Bitmap Files (*.bmp)|*.bmp||");
        EXPECT_EQ(request.default_extension, "bmp");
    }
    EXPECT_EQ(g_requests[0].flags, platform::gui::OFN_FILEMUSTEXIST | platform::gui::OFN_HIDEREADONLY);
    EXPECT_EQ(g_requests[1].flags,
        platform::gui::OFN_OVERWRITEPROMPT | platform::gui::OFN_HIDEREADONLY
            | platform::gui::OFN_PATHMUSTEXIST);
    editor.EndEdit();
}

TEST_F(MainFrameHost, CancellingNoticeIsShownWithTheFrameDisabled)
{
    EXPECT_FALSE(frame->IsCancellingShown());
    frame->ShowCancelling(true);
    EXPECT_TRUE(frame->IsCancellingShown());
    EXPECT_FALSE(frame->IsEnabled());
    frame->ShowCancelling(false);
    EXPECT_FALSE(frame->IsCancellingShown());
    EXPECT_TRUE(frame->IsEnabled());
}

TEST_F(MainFrameHost, RequestedProcessingIsFollowedWhenAutoFollowIsOn)
{
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(0);
    My::PlayerImpl& player = frame->GetCompositionView().GetPlayer();
    player.SetAutoFollow(false);
    frame->OnProcessingRequested(*segment);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Stopped);
    player.SetAutoFollow(true);
    frame->OnProcessingRequested(*segment);
    EXPECT_EQ(player.GetPlayMode(), My::Player::Following);
    EXPECT_EQ(frame->GetCompositionView().GetPlayerMode(), My::Player::Following);
    frame->GetCompositionView().SetPlayerMode(My::Player::Stopped);
}
