// The composition view in a real window (CI: Xvfb, GTK_THEME=Adwaita,
// scale 1): a key mask is drawn with synthesised mouse strokes, shown by
// the view, undone through the document, and read back from the screen;
// synthesised keys size the brush, fit the image and hold the temporary
// tools.

#include "app/display/tests/painting_test_support.h"
#include "app/view/TLView.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "engine/tests/memory_footage.h"
#include "platform/gui/app.h"
#include "platform/gui/messages.h"
#include "widgets/core/Message.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/WindowEnvironment.h"

#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace {

[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment());

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(3))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        platform::gui::pump();
        My::GetMessageQueue().RunPending();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

void Settle()
{
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));
}

// One pixel of the X server's screen (0x00RRGGBB), read with xwd from
// outside the process, so that we see what the server shows; -1 when the
// screen cannot be read.
long ScreenPixel(int x, int y)
{
    const std::string path
        = ::testing::TempDir() + "tavelo_view_screen_" + std::to_string(::getpid()) + ".xwd";
    // The file (a few megabytes each time) goes as soon as it was read.
    const bool taken = std::system(("xwd -root -silent > '" + path + "'").c_str()) == 0;
    const std::vector<unsigned char> b = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::vector<unsigned char>(
            (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    std::remove(path.c_str());
    if (!taken)
        return -1;
    const auto card = [&](std::size_t i) {
        const unsigned char* p = b.data() + i * 4;
        return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
    };
    if (b.size() < 100)
        return -1;
    const std::uint32_t header = card(0), width = card(4), height = card(5), bpp = card(11), line = card(12),
                        ncolors = card(19);
    const std::size_t step = bpp / 8;
    const std::size_t at = header + std::size_t(ncolors) * 12 + std::size_t(y) * line + std::size_t(x) * step;
    if ((step != 3 && step != 4) || x < 0 || y < 0 || unsigned(x) >= width || unsigned(y) >= height
        || at + 3 > b.size())
        return -1;
    return long(b[at + 2]) << 16 | long(b[at + 1]) << 8 | b[at];
}

// Forwards the segment's mask reloads to the view's editor, as the main
// frame does.
struct Host : segment_testing::FakeSegmentHost {
    TLView* view = nullptr;
    void OnEditTargetChange(TLSegment* segment) override
    {
        if (!view)
            return;
        if (segment)
            view->GetMaskEditor().BeginEdit(segment);
        else
            view->GetMaskEditor().EndEdit();
    }
    void ReloadMask(TLSegment&) override
    {
        if (view)
            view->GetMaskEditor().ReloadMask();
    }
};

// A view of 64 x 48 frames at zoom 4 (filling its 256 x 192 client area)
// editing the key mask of a segment at frame 0, created as a child of
// `parent` (null: a window of its own).
struct Editing {
    explicit Editing(CWnd* parent = nullptr, CPoint at = CPoint(80, 80))
    {
        comp.SetFootage(boost::make_shared<segment_testing::SceneFootage>(10));
        comp.GetSegmentSet().SetHost(&host);
        segment = comp.GetSegmentSet().CreateSegment(0);
        host.view = &view;
        created = view.CreateView(parent, CRect(at.x, at.y, at.x + 256, at.y + 192), 0);
        view.SetImageSize(64, 48);
        view.SetZoom(4.0);
        view.ScrollTo(0, 0, true);
        segment->BeginEditing();
        view.RequestPaint();
        PumpUntil([&] { return view.GetPainter().GetReady().image != nullptr; });
        Settle();
    }
    ~Editing()
    {
        if (segment)
            segment->EndEditing();
        host.view = nullptr;
        if (view.GetSafeHwnd())
            view.DestroyWindow();
    }
    CPoint Screen(int x, int y)
    {
        CPoint p(x, y);
        view.ClientToScreen(&p);
        return p;
    }
    // A left-button stroke along the row y of the client area.
    void Stroke(wxUIActionSimulator& sim, int from, int to, int y)
    {
        const CPoint start = Screen(from, y);
        sim.MouseMove(start.x, start.y);
        Settle();
        sim.MouseDown();
        for (int x = from; x <= to; x += 8) {
            const CPoint p = Screen(x, y);
            sim.MouseMove(p.x, p.y);
            PumpUntil([] { return false; }, std::chrono::milliseconds(10));
        }
        sim.MouseUp();
        Settle();
    }

    segment_testing::PromptScope prompts;
    Host host;
    TLComp comp;
    TLSegment* segment = nullptr;
    painting_testing::ListCache cache;
    TLView view { comp, cache };
    bool created = false;
};

} // namespace

TEST(TLViewWindow, KeysOfTheWindowSystemSizeTheBrushAndFitTheImage)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    Editing e;
    ASSERT_TRUE(e.created);
    ASSERT_TRUE(e.view.GetMaskEditor().IsEditing());
    My::BrushTool& brush = e.view.GetMaskEditor().GetBrushTool();
    ASSERT_EQ(brush.GetRadius(), 20);
    wxUIActionSimulator sim;
    const CPoint inside = e.Screen(200, 150);
    sim.MouseMove(inside.x, inside.y);
    // A click gives the view the keys (the right button clears nothing).
    sim.MouseClick(wxMOUSE_BTN_RIGHT);
    Settle();
    sim.Char(']');
    ASSERT_TRUE(PumpUntil([&] { return brush.GetRadius() != 20; }));
    EXPECT_EQ(brush.GetRadius(), 21);
    sim.Char('[');
    sim.Char('[');
    ASSERT_TRUE(PumpUntil([&] { return brush.GetRadius() == 19; }));
    // The zoom tool's numeric-pad star fits the image into the window.
    e.view.SetTool(&e.view.GetZoomTool());
    e.view.SetZoom(1.0);
    Settle();
    sim.Char(WXK_NUMPAD_MULTIPLY);
    EXPECT_TRUE(PumpUntil([&] { return e.view.GetGeometry().GetZoom() == 4.0; }));
}

TEST(TLViewWindow, EditedMaskLetsTheFootageShowThroughInTheStartingStyle)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    Editing e;
    ASSERT_TRUE(e.created);
    const DisplayStyle& style = e.view.GetDisplayStyle();
    EXPECT_EQ(style.type, DisplayType::Composition);
    ASSERT_TRUE(style.inverse);
    // No mask yet: with inverse masks every pixel is under the matte, half
    // of the blue matte over half of the footage.
    const auto frame = e.comp.GetFootage()->cached_frame(0);
    ASSERT_TRUE(frame);
    const img::BGRA<unsigned char> f = frame->image.row(10)[15];
    const auto mix = [](unsigned fg, unsigned m) { return (127 * fg + 128 * m) / 255; };
    const long expected = long(mix(f.r, 0)) << 16 | long(mix(f.g, 0)) << 8 | long(mix(f.b, 255));
    const CPoint at = e.Screen(15 * 4 + 2, 10 * 4 + 2);
    EXPECT_EQ(ScreenPixel(at.x, at.y), expected);
}

TEST(TLViewWindow, StrokeCutShortBySpaceIsKept)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    Editing e;
    ASSERT_TRUE(e.created);
    wxUIActionSimulator sim;
    // Space pressed mid-stroke hands the pointer to the pan tool: what was
    // painted so far is one undoable stroke at once.
    const CPoint start = e.Screen(40, 40);
    sim.MouseMove(start.x, start.y);
    Settle();
    sim.MouseDown();
    for (int x = 40; x <= 120; x += 8) {
        const CPoint p = e.Screen(x, 40);
        sim.MouseMove(p.x, p.y);
        PumpUntil([] { return false; }, std::chrono::milliseconds(10));
    }
    sim.KeyDown(WXK_SPACE);
    ASSERT_TRUE(PumpUntil([&] { return e.view.GetEffectiveTool() == &e.view.GetPanTool(); }));
    EXPECT_TRUE(e.segment->GetMask().at(15, 10));
    EXPECT_EQ(e.comp.GetHistory().GetUndoName(), "Brush");
    sim.MouseUp();
    Settle();
    sim.KeyUp(WXK_SPACE);
    ASSERT_TRUE(PumpUntil([&] { return e.view.GetEffectiveTool() != &e.view.GetPanTool(); }));
    // The space bar held for the pan tool is no tap that plays.
    EXPECT_EQ(e.view.GetPlayerMode(), 0);
}

TEST(TLViewWindow, CtrlFollowsTheKeyboardWhicheverWindowHadItsKeys)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    // The view beside a text field of the same window, which takes the keys
    // away from it.
    CWnd parent;
    ASSERT_TRUE(parent.Create("", "", WS_VISIBLE, CRect(40, 40, 40 + 400, 40 + 300), nullptr, 0));
    CEdit field;
    ASSERT_TRUE(field.Create("", "", WS_CHILD | WS_VISIBLE, CRect(300, 10, 390, 40), &parent, 0));
    Editing e(&parent, CPoint(10, 10));
    ASSERT_TRUE(e.created);
    wxUIActionSimulator sim;
    // Ctrl pressed while the text field had the keys: a drag in the view
    // pans, it paints nothing.
    field.SetFocus();
    Settle();
    sim.KeyDown(WXK_CONTROL);
    Settle();
    e.Stroke(sim, 40, 200, 100);
    EXPECT_EQ(e.segment->GetMask().count(), 0u);
    // Released while the field had the keys again: the brush paints.
    field.SetFocus();
    Settle();
    sim.KeyUp(WXK_CONTROL);
    Settle();
    e.Stroke(sim, 40, 200, 100);
    EXPECT_TRUE(e.segment->GetMask().at(30, 25));
    e.view.DestroyWindow();
    field.DestroyWindow();
    parent.DestroyWindow();
}

TEST(TLViewWindow, KeyMaskDrawnWithTheMouseShowsAndUndoRemovesIt)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    Host host;
    TLComp comp;
    comp.SetFootage(boost::make_shared<segment_testing::SceneFootage>(10));
    comp.GetSegmentSet().SetHost(&host);
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(0);
    ASSERT_NE(segment, nullptr);
    painting_testing::ListCache cache;
    TLView view(comp, cache);
    // Mask Only, masks neither inverted nor smooth.
    view.SetDisplayStyle(DisplayStyle {});
    host.view = &view;
    // Zoom 4: the 64 x 48 frame fills the 256 x 192 client area.
    ASSERT_TRUE(view.CreateView(nullptr, CRect(80, 80, 80 + 256, 80 + 192), 0));
    view.SetImageSize(64, 48);
    view.SetZoom(4.0);
    view.ScrollTo(0, 0, true);
    segment->BeginEditing();
    ASSERT_TRUE(view.GetMaskEditor().IsEditing());
    view.RequestPaint();
    ASSERT_TRUE(PumpUntil([&] { return view.GetPainter().GetReady().image != nullptr; }));
    Settle();

    CPoint origin(0, 0);
    view.ClientToScreen(&origin);
    wxUIActionSimulator sim;
    sim.MouseMove(origin.x + 40, origin.y + 40);
    Settle();
    sim.MouseDown();
    for (int x = 40; x <= 200; x += 8) {
        sim.MouseMove(origin.x + x, origin.y + 40);
        PumpUntil([] { return false; }, std::chrono::milliseconds(10));
    }
    sim.MouseUp();
    ASSERT_TRUE(PumpUntil([&] { return segment->GetMask().at(30, 10); }));
    const img::image<img::bit>& drawn = segment->GetMask();
    EXPECT_TRUE(drawn.at(12, 10));
    EXPECT_TRUE(drawn.at(48, 10));
    EXPECT_FALSE(drawn.at(30, 40));
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Brush");
    // Move away so that the brush outline is not under the pixels read.
    sim.MouseMove(origin.x + 500, origin.y + 500);
    Settle();
    // Mask Only while editing: set pixels white, clear ones black.
    EXPECT_EQ(ScreenPixel(origin.x + 60, origin.y + 42), 0xFFFFFFL);
    EXPECT_EQ(ScreenPixel(origin.x + 60, origin.y + 170), 0x000000L);

    comp.GetHistory().Undo();
    ASSERT_TRUE(PumpUntil([&] { return !view.GetMaskEditor().GetMask().at(30, 10); }));
    EXPECT_EQ(segment->GetMask().count(), 0u);
    Settle();
    EXPECT_EQ(ScreenPixel(origin.x + 60, origin.y + 42), 0x000000L);
    segment->EndEditing();
    EXPECT_FALSE(view.GetMaskEditor().IsEditing());
    view.DestroyWindow();
}

TEST(TLViewWindow, ScrollBarsComeWithZoomAndFitOnScreenRemovesThem)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(boost::make_shared<segment_testing::SceneFootage>(3));
    painting_testing::ListCache cache;
    TLView view(comp, cache);
    ASSERT_TRUE(view.CreateView(nullptr, CRect(80, 80, 80 + 256, 80 + 192), 0));
    Settle();
    view.SetZoom(8.0);
    Settle();
    const auto clientMatches = [&] {
        CRect r;
        view.GetClientRect(&r);
        return r.Size() == view.GetGeometry().GetClientSize();
    };
    EXPECT_TRUE(view.GetGeometry().GetScrollBar(false).shown);
    EXPECT_TRUE(view.GetGeometry().GetScrollBar(true).shown);
    EXPECT_TRUE(PumpUntil(clientMatches));
    view.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
    EXPECT_EQ(view.GetGeometry().GetScroll().x, 5);
    view.FitOnScreen();
    Settle();
    EXPECT_DOUBLE_EQ(view.GetGeometry().GetZoom(), 4.0);
    EXPECT_FALSE(view.GetGeometry().GetScrollBar(false).shown);
    EXPECT_TRUE(PumpUntil(clientMatches));
    CRect r;
    view.GetClientRect(&r);
    EXPECT_EQ(r.Size(), CSize(256, 192));
    view.DestroyWindow();
}

TEST(TLViewWindow, PlayingThroughTheViewAdvancesThePreviewAndMeasuresTheRate)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(boost::make_shared<segment_testing::SceneFootage>(10));
    painting_testing::ListCache cache;
    TLView view(comp, cache);
    ASSERT_TRUE(view.CreateView(nullptr, CRect(80, 80, 80 + 256, 80 + 192), 0));
    view.SetDisplayType(1);
    std::vector<double> rates;
    view.SetMeasuredRateSink([&](double r) { rates.push_back(r); });
    Settle();
    view.GetPlayer().SetPlayFramerate(25);
    std::vector<int> shown;
    My::CommandEvent play(My::Player::kPlayForward);
    ASSERT_TRUE(view.RouteCommand(play));
    ASSERT_TRUE(view.GetPlayer().IsTimerRunning());
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (shown.empty() || shown.back() != comp.GetPreviewFrame())
                shown.push_back(comp.GetPreviewFrame());
            return shown.size() >= 12;
        },
        std::chrono::seconds(5)))
        << "the timer did not play";
    // Looping over the ten frames: 0 to 9, then 0 again.
    EXPECT_EQ(shown[1], 1);
    EXPECT_NE(std::find(shown.begin(), shown.end(), 9), shown.end());
    EXPECT_EQ(shown[10], 0);
    ASSERT_FALSE(rates.empty());
    EXPECT_GT(rates.back(), 0.0);
    // The space bar's tap pauses: the frame shown becomes current.
    view.SetFocus();
    view.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    view.SendMessage(WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(view.GetPlayerMode(), 0);
    EXPECT_FALSE(view.GetPlayer().IsTimerRunning());
    EXPECT_EQ(comp.GetCurrentFrame(), comp.GetPreviewFrame());
    view.DestroyWindow();
}

// A delivered picture smaller than the image area shows the background
// where it does not reach, never the pixels of the frame shown before.
TEST(TLViewWindow, ASmallerPictureShowsTheBackgroundWhereItDoesNotReach)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    using bgra = img::BGRA<unsigned char>;
    const auto solid = [](unsigned width, unsigned height, bgra colour) {
        img::image<bgra> out(width, height, 4);
        out.fill(colour);
        return out;
    };
    std::vector<img::image<bgra>> frames;
    frames.push_back(solid(64, 48, { 0, 255, 0, 255 }));
    frames.push_back(solid(16, 12, { 0, 0, 255, 255 }));
    frames.push_back(solid(1, 1, { 0, 255, 255, 255 }));
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(boost::make_shared<trm::testing::memory_footage>(std::move(frames)));
    painting_testing::ListCache cache;
    TLView view { comp, cache };
    ASSERT_TRUE(view.CreateView(nullptr, CRect(80, 80, 336, 272), 0));
    view.SetImageSize(64, 48);
    view.SetZoom(4.0);
    view.ScrollTo(0, 0, true);
    DisplayStyle style = view.GetDisplayStyle();
    style.type = DisplayType::ForegroundOnly;
    view.SetDisplayStyle(style);
    const COLORREF background = view.GetBackgroundColor();
    const long shown_background
        = long(GetRValue(background)) << 16 | long(GetGValue(background)) << 8 | GetBValue(background);
    const auto show = [&](int frame, unsigned width) {
        comp.SetPreviewFrame(frame);
        view.RequestPaint();
        const bool delivered = PumpUntil([&] {
            const auto& ready = view.GetPainter().GetReady().image;
            return ready && ready->image.width == width;
        });
        Settle();
        return delivered;
    };
    const auto at = [&](int x, int y) {
        CPoint p(x * 4 + 2, y * 4 + 2);
        view.ClientToScreen(&p);
        return ScreenPixel(p.x, p.y);
    };
    ASSERT_TRUE(show(0, 64));
    ASSERT_EQ(at(40, 30), 0x00FF00);
    ASSERT_NE(shown_background, 0x00FF00);
    ASSERT_TRUE(show(1, 16));
    EXPECT_EQ(at(5, 5), 0xFF0000);
    EXPECT_EQ(at(40, 30), shown_background);
    EXPECT_EQ(at(20, 5), shown_background);
    ASSERT_TRUE(show(0, 64));
    ASSERT_TRUE(show(2, 1));
    EXPECT_EQ(at(0, 0), 0xFFFF00);
    EXPECT_EQ(at(40, 30), shown_background);
    view.DestroyWindow();
}
