// The composition view without a window system: an empty composition paints
// nothing and shows the background, following processing moves the preview
// frame only when the painter is idle, the followed segment is forgotten on
// deletion, closing and completion, RAMPreview and the display style
// persist, and editing follows the selection.

#include "app/display/DisplayStyleProfile.h"
#include "app/display/tests/painting_test_support.h"
#include "app/player/TimeControls.h"
#include "app/view/DisplayBar.h"
#include "app/view/TLView.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "platform/gui/colors.h"
#include "platform/gui/messages.h"
#include "platform/registry/profile.h"
#include "widgets/core/Message.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

using namespace segment_testing;

struct View : ::testing::Test {
    void Open()
    {
        comp.SetFootage(boost::make_shared<SceneFootage>(20));
        comp.GetSegmentSet().SetHost(&host);
    }
    // Until the painter has delivered the newest request: a delivery or a
    // posted repaint can start another painting.
    void Settle()
    {
        for (int round = 0; round < 100; ++round) {
            view->GetPainter().WaitIdle();
            const bool ran = My::GetMessageQueue().RunPending() != 0;
            if (!ran && !view->GetPainter().IsBusy())
                return;
        }
        ADD_FAILURE() << "the painter never settled";
    }
    PromptScope prompts;
    FakeSegmentHost host;
    TLComp comp;
    painting_testing::ListCache cache;
    std::unique_ptr<TLView> view = std::make_unique<TLView>(comp, cache);
};

} // namespace

TEST_F(View, EmptyCompositionStartsNoPaintingAndShowsTheBackground)
{
    auto state = test::attach_fake(*view);
    view->RequestPaint();
    EXPECT_EQ(view->GetPainter().GetWakeCount(), 0);
    EXPECT_FALSE(view->GetPainter().GetReady().image);
    CDC nowhere;
    view->Draw(nowhere, CRect(0, 0, 200, 100));
}

TEST_F(View, SameFrameRequestedTwiceWakesThePainterOnce)
{
    Open();
    view->SetImageSize(64, 48);
    view->RequestPaint();
    view->RequestPaint();
    Settle();
    view->RequestPaint();
    EXPECT_EQ(view->GetPainter().GetWakeCount(), 1);
    ASSERT_TRUE(view->GetPainter().GetReady().image);
    EXPECT_EQ(view->GetPainter().GetReady().image->image.width, 64u);
}

TEST_F(View, FollowingMovesThePreviewOnlyWhileThePainterIsIdle)
{
    Open();
    TLSegment* s = comp.GetSegmentSet().CreateSegment(2);
    // Frames differ in what they show (Mask Only without masks would not).
    view->SetDisplayType(1);
    view->SetPlayerMode(3);
    Settle();
    view->OnSegmentProgress(*s, 4);
    EXPECT_EQ(comp.GetPreviewFrame(), 4);
    EXPECT_EQ(view->GetProgressSegment(), s);
    // Frame 4 is being painted: a report meanwhile is skipped.
    EXPECT_TRUE(view->GetPainter().IsBusy());
    view->OnSegmentProgress(*s, 5);
    EXPECT_EQ(comp.GetPreviewFrame(), 4);
    Settle();
    view->OnSegmentProgress(*s, 6);
    EXPECT_EQ(comp.GetPreviewFrame(), 6);
    view->OnSegmentProcessed(*s);
    EXPECT_EQ(view->GetProgressSegment(), nullptr);
    EXPECT_EQ(view->GetPlayerMode(), 0);
}

TEST_F(View, FollowedSegmentIsForgottenWhenDeletedOrTheProjectCloses)
{
    Open();
    TLSegment* s = comp.GetSegmentSet().CreateSegment(2);
    view->OnSegmentProgress(*s, 3);
    ASSERT_EQ(view->GetProgressSegment(), s);
    comp.GetSegmentSet().SelectSegment(comp.GetSegmentSet().IndexOf(s));
    comp.GetSegmentSet().DeleteSelected();
    EXPECT_EQ(view->GetProgressSegment(), nullptr);
    TLSegment* t = comp.GetSegmentSet().CreateSegment(5);
    view->OnSegmentProgress(*t, 6);
    ASSERT_EQ(view->GetProgressSegment(), t);
    comp.Close();
    EXPECT_EQ(view->GetProgressSegment(), nullptr);
    EXPECT_FALSE(view->GetMaskEditor().IsEditing());
}

TEST_F(View, RamPreviewIsReadFromTheProfileAndWrittenBack)
{
    const auto dir
        = std::filesystem::path(::testing::TempDir()) / ("tavelo_view_profile_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    platform::registry_profile profile("NorvaneTest", "TaveloViewTest");
    {
        TLView v(comp, cache, &profile);
        EXPECT_FALSE(v.GetRAMPreview());
        My::CommandEvent toggle(ID_RAM_PREVIEW);
        EXPECT_TRUE(v.RouteCommand(toggle));
        EXPECT_TRUE(v.GetRAMPreview());
    }
    EXPECT_EQ(profile.get_int("Display", "RAMPreview", 7), 1u);
    TLView again(comp, cache, &profile);
    EXPECT_TRUE(again.GetRAMPreview());
    std::filesystem::remove_all(dir);
}

TEST_F(View, DisplayStyleStartsAsCompositionAndIsWrittenBackWhenTheViewCloses)
{
    const auto dir
        = std::filesystem::path(::testing::TempDir()) / ("tavelo_view_style_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    platform::registry_profile profile("NorvaneTest", "TaveloViewTest");
    {
        TLView v(comp, cache, &profile);
        const DisplayStyle& style = v.GetDisplayStyle();
        EXPECT_EQ(style.type, DisplayType::Composition);
        EXPECT_TRUE(style.smooth);
        EXPECT_TRUE(style.inverse);
        EXPECT_EQ(style.matte, (img::BGRA<unsigned char> { 255, 0, 0, 128 }));
        EXPECT_EQ(PackMatteColor(style.matte), PackMatteColor(DefaultDisplayStyle().matte));
        v.SetDisplayType(3);
        v.SetBackgroundColor(RGB(0, 200, 0));
        // Nothing is written while the view lives.
        EXPECT_EQ(profile.get_int("Display", "Type", 9), 9u);
    }
    EXPECT_EQ(profile.get_int("Display", "Type", 9), 3u);
    TLView again(comp, cache, &profile);
    EXPECT_EQ(again.GetDisplayStyle().type, DisplayType::MattedForeground);
    EXPECT_EQ(again.GetDisplayStyle().matte, (img::BGRA<unsigned char> { 0, 200, 0, 128 }));
    std::filesystem::remove_all(dir);
}

namespace {

// Hands the segments' edit target to the view's editor, as the main frame
// does.
struct EditingHost : FakeSegmentHost {
    TLView* view = nullptr;
    void OnEditTargetChange(TLSegment* segment) override
    {
        FakeSegmentHost::OnEditTargetChange(segment);
        if (view && segment)
            view->GetMaskEditor().BeginEdit(segment);
        else if (view)
            view->GetMaskEditor().EndEdit();
    }
};

} // namespace

TEST_F(View, DeactivatingTheEditedSegmentEndsEditingAndKeepsItsStroke)
{
    EditingHost editing;
    editing.view = view.get();
    comp.SetFootage(boost::make_shared<SceneFootage>(20));
    comp.GetSegmentSet().SetHost(&editing);
    struct Restore {
        TLSegmentSet& set;
        FakeSegmentHost* host;
        ~Restore() { set.SetHost(host); }
    } restore { comp.GetSegmentSet(), &host };
    auto state = test::attach_fake(*view);
    state->client = CRect(0, 0, 64, 48);
    view->SendMessage(WM_SIZE, 0, MAKELPARAM(64, 48));
    view->ScrollTo(0, 0, true);
    TLSegmentSet& set = comp.GetSegmentSet();
    TLSegment* first = set.CreateSegment(2);
    TLSegment* second = set.CreateSegment(8);
    for (TLSegment* edited : { first, second }) {
        set.SelectSegment(set.IndexOf(edited));
        edited->BeginEditing();
        ASSERT_EQ(view->GetMaskEditor().GetTarget(), edited);
        // A stroke under way when the selection changes.
        view->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        view->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 20));
        EXPECT_EQ(edited->GetMask().count(), 0u);
        if (edited == first)
            set.SelectSegment(set.IndexOf(second));
        else
            set.SelectSegment(-1);
        EXPECT_FALSE(view->GetMaskEditor().IsEditing());
        EXPECT_FALSE(edited->IsBeingEdited());
        EXPECT_TRUE(edited->GetMask().at(25, 20));
        EXPECT_EQ(comp.GetHistory().GetUndoName(), "Brush");
        view->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
    }
    EXPECT_EQ(view->GetTool(), nullptr);
}

namespace {

// Frames whose own keys name the field order, as a deinterlaced footage's do.
class FieldedScene : public SceneFootage {
public:
    FieldedScene()
        : SceneFootage(20)
    {
    }
    boost::shared_ptr<lumvex::item_id> frame_id(int frame) override
    {
        return boost::make_shared<trm::testing::memory_frame_id>(frame + 1000 * static_cast<int>(m_fields));
    }
    void set_fields(lumvex::deinterlace_fields fields) override { m_fields = fields; }
    lumvex::deinterlace_fields fields() const override { return m_fields; }

private:
    lumvex::deinterlace_fields m_fields = lumvex::deinterlace_fields::upper_first;
};

} // namespace

TEST_F(View, ANewFieldOrderOfTheFootageIsPaintedAgain)
{
    const auto footage = boost::make_shared<FieldedScene>();
    comp.SetFootage(footage);
    comp.GetSegmentSet().SetHost(&host);
    Settle();
    view->RequestPaint();
    Settle();
    const int before = view->GetPainter().GetWakeCount();
    ASSERT_GT(before, 0);
    // The footage page's edit: the setter records no action, its empty
    // group is recorded all the same.
    footage->set_fields(lumvex::deinterlace_fields::lower_first);
    comp.GetHistory().BeginGroup("");
    comp.GetHistory().EndGroup();
    Settle();
    EXPECT_EQ(view->GetPainter().GetWakeCount(), before + 1);
}

TEST_F(View, PlaybackWaitsForThePainterAndMakesUpTheSkippedTickOnDelivery)
{
    Open();
    view->SetDisplayType(1);
    std::vector<double> rates;
    view->SetMeasuredRateSink([&](double r) { rates.push_back(r); });
    Settle();
    My::CommandEvent play(My::Player::kPlayForward);
    ASSERT_TRUE(view->RouteCommand(play));
    EXPECT_EQ(view->GetPlayerMode(), 1);
    My::PlayerImpl& player = view->GetPlayer();
    player.Tick();
    EXPECT_EQ(comp.GetPreviewFrame(), 1);
    ASSERT_TRUE(view->GetPainter().IsBusy());
    player.Tick();
    EXPECT_EQ(comp.GetPreviewFrame(), 1) << "playback ran ahead of painting";
    EXPECT_TRUE(player.IsTickSkipped());
    // Delivering frame 1 runs the skipped tick at once.
    Settle();
    EXPECT_EQ(comp.GetPreviewFrame(), 2);
    EXPECT_FALSE(player.IsTickSkipped());
    ASSERT_FALSE(rates.empty());
    // Space's tap toggles play through the view's own commands: pausing
    // makes the frame shown current.
    Settle();
    My::CommandEvent toggle(My::ID_PLAY_TOGGLE);
    ASSERT_TRUE(view->RouteCommand(toggle));
    EXPECT_EQ(view->GetPlayerMode(), 0);
    EXPECT_EQ(comp.GetCurrentFrame(), 2);
    Settle();
    EXPECT_EQ(rates.back(), 0.0) << "the measured rate resets when stopped";
}

// Every edit of a segment that alters the painted frame, and its undo, paints
// the frame again at once.
TEST_F(View, SegmentEditsAndTheirUndoRepaintTheFrame)
{
    Open();
    TLSegment* s = comp.GetSegmentSet().CreateSegment(2);
    SegmentData& engine = *s->GetEngine();
    engine.set_range({ 2, 3 });
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = BlockMask();
    engine.store(2, record, { 2, 3 }, { 2, 2 });
    s->SetDataSpan(2, 3);
    comp.SetCurrentFrame(2);
    // Crisp and upright: the record holds only the bit mask.
    DisplayStyle crisp;
    crisp.type = DisplayType::MaskOnly;
    view->SetDisplayStyle(crisp);
    Settle();
    // A pixel inside the mask's block, white in Mask Only.
    const auto shown = [&] {
        const auto& ready = view->GetPainter().GetReady();
        return ready.image && ready.image->image.row(15)[20].g == 255;
    };
    ASSERT_TRUE(shown());

    s->SetMaskMode(MaskMode::Add, true);
    Settle();
    EXPECT_FALSE(shown()) << "the inverted mask";
    comp.GetHistory().Undo();
    Settle();
    EXPECT_TRUE(shown());
    trm::param params = s->GetParams();
    params.dilation_erosion = 2;
    s->SetParams(params);
    Settle();
    EXPECT_FALSE(shown()) << "new parameters drop the results";
    comp.GetHistory().Undo();
    Settle();
    EXPECT_TRUE(shown());
    comp.GetHistory().Redo();
    Settle();
    EXPECT_FALSE(shown());
}

TEST_F(View, BackgroundColourBoxSetsTheMatteColourAndRedrawsOnEveryStyleChange)
{
    Open();
    My::Window<CWnd> host;
    auto peer = test::attach_fake(host);
    My::DisplayPanel strip(&host);
    strip.SetBounds(CRect(0, 0, 400, 20));
    strip.Layout();
    strip.SetView(view.get());
    const CRect box = strip.GetColorBox().GetBounds();
    // The colour dialog answers green.
    CColorDialog::SetResponder([](COLORREF& c) {
        c = RGB(0, 200, 0);
        return IDOK;
    });
    const LPARAM at = test::at(box.CenterPoint().x, box.CenterPoint().y);
    host.SendMessage(WM_MOUSEMOVE, 0, at);
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    host.SendMessage(WM_LBUTTONUP, 0, at);
    CColorDialog::SetResponder({});
    EXPECT_EQ(view->GetDisplayStyle().matte, (img::BGRA<unsigned char> { 0, 200, 0, 128 }));
    EXPECT_EQ(view->GetBackgroundColor(), RGB(0, 200, 0));
    // The choice is the style's: closing and opening the project keep it.
    comp.Close();
    EXPECT_EQ(view->GetBackgroundColor(), My::WorkspaceColor());
    Open();
    EXPECT_EQ(view->GetBackgroundColor(), RGB(0, 200, 0));
    strip.SetView(view.get());
    // A matte colour set elsewhere (the Display panel) redraws the box.
    peer->invalid.clear();
    DisplayStyle style = view->GetDisplayStyle();
    style.matte = { 10, 20, 30, 128 };
    view->SetDisplayStyle(style);
    const bool redrawn = std::any_of(
        peer->invalid.begin(), peer->invalid.end(), [&](const CRect& r) { return !(r & box).IsRectEmpty(); });
    EXPECT_TRUE(redrawn);
    COLORREF shown = 0;
    ASSERT_TRUE(strip.GetColorBox().GetColor(shown));
    EXPECT_EQ(shown, RGB(30, 20, 10));
    strip.SetView(nullptr);
}

TEST_F(View, PauseWhileASegmentIsProcessedStaysPausedWhileReportsArrive)
{
    Open();
    TLSegment* s = comp.GetSegmentSet().CreateSegment(2);
    view->GetPlayer().SetAutoFollow(true);
    // Auto follow switched to following when processing was requested.
    view->SetPlayerMode(My::Player::Following);
    view->OnSegmentProgress(*s, 3);
    EXPECT_EQ(view->GetPlayerMode(), My::Player::Following);
    My::CommandEvent pause(50022);
    ASSERT_TRUE(view->RouteCommand(pause));
    EXPECT_EQ(view->GetPlayerMode(), My::Player::Stopped);
    const int preview = comp.GetPreviewFrame();
    for (int frame = 4; frame < 8; ++frame)
        view->OnSegmentProgress(*s, frame);
    Settle();
    EXPECT_EQ(view->GetPlayerMode(), My::Player::Stopped);
    EXPECT_EQ(view->GetPlayer().GetPlayMode(), My::Player::Stopped);
    EXPECT_EQ(comp.GetPreviewFrame(), preview);
    EXPECT_EQ(view->GetProgressSegment(), s);
}

TEST_F(View, BoundTimeControlsShowTheRateAndAreUnboundWithTheView)
{
    Open();
    auto controls = std::make_unique<My::TimeControls>(true);
    view->BindTimeControls(controls.get());
    std::string text;
    ASSERT_TRUE(controls->GetRateField().GetText(text));
    EXPECT_EQ(text, "10");
    view->GetPlayer().SetPlayFramerate(25);
    ASSERT_TRUE(controls->GetRateField().GetText(text));
    EXPECT_EQ(text, "25");
    controls->GetRateField().SetText("1e999");
    EXPECT_EQ(view->GetPlayer().GetPlayFramerate(), 25.0);
    view.reset();
    // The controls outlive the view without touching its player.
    controls.reset();
}
