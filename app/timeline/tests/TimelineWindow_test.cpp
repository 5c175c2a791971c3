// The timeline panel in a real window under a display: a composition of
// 100 frames with three segments and a background footage is painted (bars
// at their frames, the background's trimmed part, the current-frame line),
// then a segment's brackets are dragged by synthesised mouse events and the
// edits are undone; a rubber band and a segment row dragged to a new place
// show while the button is down.

#include "app/timeline/TLTimeline.h"
#include "widgets/core/tests/WindowEnvironment.h"

#include "document/composition/Background.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "platform/gui/colors.h"
#include "platform/gui/metrics.h"
#include "widgets/core/Window.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/Screen.h"
#include "widgets/scrolling/ScrollBar.h"

#include <gtest/gtest.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <cstdlib>

using test::pixel;
using test::pump_until;
using test::settle;

namespace {

[[maybe_unused]] auto* g_env
    = ::testing::AddGlobalTestEnvironment(new test::WindowEnvironment(test::WindowOptions { true, {} }));

class Canvas : public My::CustomWindow<CWnd> {
public:
    const int width = 650 + GetSystemMetrics(SM_CXVSCROLL);
    int paints = 0;
    void Draw(CDC& dc, const CRect&) override
    {
        ++paints;
        dc.FillSolidRect(CRect(CPoint(), GetSize()), RGB(200, 200, 200));
    }
    bool Open(const CRect& r)
    {
        if (!Create("", "", WS_POPUP | WS_VISIBLE, r, nullptr, 0))
            return false;
        return pump_until([this] { return paints > 0 && IsWindowVisible(); });
    }
    // Shows the timeline filling the canvas, `height` pixels high: 500
    // pixels of time column beside the rows area's vertical bar.
    bool Show(TLTimeline& timeline, int height)
    {
        AddChild(&timeline);
        timeline.SetBounds(CRect(0, 0, width, height));
        return Open(CRect(0, 0, width, height));
    }
    wxImage Shot()
    {
        settle();
        CRect r;
        GetClientRect(&r);
        ClientToScreen(&r);
        wxImage last = test::screenshot(r);
        return test::screenshot_until(r, [&](const wxImage& shot) {
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

boost::shared_ptr<lumvex::footage> Frames(int count)
{
    std::vector<img::image<img::BGRA<unsigned char>>> images;
    for (int i = 0; i < count; ++i)
        images.push_back(trm::testing::make_scene(segment_testing::kWidth, segment_testing::kHeight).frame);
    return boost::make_shared<trm::testing::memory_footage>(std::move(images));
}

// Drags from one client point to another in small steps.
void DragBetween(Canvas& c, CPoint from, CPoint to)
{
    wxUIActionSimulator sim;
    const CPoint a = c.Screen(from);
    const CPoint b = c.Screen(to);
    sim.MouseMove(a.x, a.y);
    settle();
    sim.MouseDown();
    settle();
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        sim.MouseMove(a.x + (b.x - a.x) * i / steps, a.y + (b.y - a.y) * i / steps);
        pump_until([] { return false; }, std::chrono::milliseconds(30));
    }
    sim.MouseUp();
    settle();
}

// Where the rows area's window lies in the canvas (the timeline fills it
// from its origin).
CPoint RowsOrigin(My::Xline& xline)
{
    return xline.GetRowsBox().GetBounds().TopLeft();
}

// The middle of a frame's column in a row, in the canvas's coordinates.
CPoint FrameInRow(My::Xline& xline, My::Control& row, int frame, int dy)
{
    const CRect r = row.GetWndRect() + RowsOrigin(xline);
    const int x = r.left + My::Xline::kNameWidth + (xline.TimeToX(frame) + xline.TimeToX(frame + 1)) / 2;
    return CPoint(x, r.top + dy);
}

// Bracket centres of a segment row's bar, in the window's coordinates.
CPoint BracketCentre(My::Xline& xline, My::SegmentRow& row, bool left)
{
    My::SegmentRowControl& bar = row.GetControl();
    for (My::Control* child : bar.GetChildren()) {
        const CRect r = child->GetWndRect();
        if (r.IsRectEmpty())
            continue;
        const bool isLeft = child == bar.GetChildren().front();
        if (isLeft == left)
            return r.CenterPoint() + RowsOrigin(xline);
    }
    return {};
}

} // namespace

TEST(TimelineWindow, SegmentsAndBackgroundShowAndBracketDragsAreUndone)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(Frames(100));
    const std::pair<int, My::Span> segments[]
        = { { 15, { 10, 25 } }, { 45, { 40, 55 } }, { 75, { 70, 90 } } };
    for (const auto& [key, span] : segments) {
        TLSegment* segment = comp.GetSegmentSet().CreateSegment(key);
        ASSERT_NE(segment, nullptr);
        segment->SetTimeSpan(span.first, span.last);
    }
    comp.GetBackground().SetFootage(Frames(60));
    comp.GetBackground().SetStart(20);
    comp.GetBackground().SetTrimming(10, 50);

    TLTimeline timeline(&comp);
    Canvas c;
    ASSERT_TRUE(c.Show(timeline, 220));
    ASSERT_EQ(timeline.GetTimeWidth(), 500);
    EXPECT_DOUBLE_EQ(timeline.GetTimeScale(), 5.0);
    ASSERT_EQ(timeline.GetMaskRow().GetSegmentRows().size(), 3u);

    // Nothing selected: every bar shows the plain colours.
    comp.Select(nullptr);
    const wxImage shot = c.Shot();
    // Kept for a look at the whole panel.
    shot.SaveFile(::testing::TempDir() + "tavelo_timeline.png", wxBITMAP_TYPE_PNG);
    const COLORREF span = 0xC0F0FF;
    My::SegmentRow& middle = *timeline.GetMaskRow().GetSegmentRows()[1];
    const int bottom = middle.GetHeight() - 3;
    // New segments go on top of the list. Each segment's bar covers its frames and nothing beyond them.
    for (std::size_t i = 0; i < 3; ++i) {
        My::SegmentRow& row = *timeline.GetMaskRow().GetSegmentRows()[i];
        const My::Span s = row.GetSegment()->GetTimeSpan();
        const CPoint first = FrameInRow(timeline, row, s.first + 1, bottom);
        const CPoint last = FrameInRow(timeline, row, s.last - 2, bottom);
        EXPECT_EQ(pixel(shot, first.x, first.y), span) << i;
        EXPECT_EQ(pixel(shot, last.x, last.y), span) << i;
        const CPoint after = FrameInRow(timeline, row, s.last + 3, bottom);
        EXPECT_NE(pixel(shot, after.x, after.y), span) << i;
    }
    // The background's trimmed part: composition frames 30 to 70.
    My::LayerRow& background = timeline.GetBackgroundRow();
    const CPoint inside = FrameInRow(timeline, background, 50, background.GetHeight() / 2);
    const CPoint outside = FrameInRow(timeline, background, 75, background.GetHeight() / 2);
    EXPECT_EQ(pixel(shot, inside.x, inside.y), 0xB8F6DC);
    EXPECT_NE(pixel(shot, outside.x, outside.y), 0xB8F6DC);
    // The current frame's red line through the rows.
    const CRect grid = timeline.GetGrid().GetWndRect() + RowsOrigin(timeline);
    EXPECT_EQ(pixel(shot, My::Xline::kNameWidth + timeline.TimeToX(0), grid.top + 5), RGB(255, 0, 0));

    // Extend the middle segment's front end to frame 65, then trim its back
    // end to frame 43.
    TLSegment* segment = comp.GetSegmentSet().GetAt(1);
    const CPoint right = BracketCentre(timeline, middle, false);
    DragBetween(c, right, CPoint(right.x + timeline.TimeToX(65) - timeline.TimeToX(55), right.y));
    EXPECT_EQ(segment->GetTimeSpan(), (My::Span { 40, 65 }));
    const CPoint left = BracketCentre(timeline, middle, true);
    DragBetween(c, left, CPoint(left.x + timeline.TimeToX(43) - timeline.TimeToX(40), left.y));
    EXPECT_EQ(segment->GetTimeSpan(), (My::Span { 43, 65 }));
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Adjust Segment");
    const wxImage dragged = c.Shot();
    const CPoint extended = FrameInRow(timeline, middle, 60, bottom);
    EXPECT_EQ(pixel(dragged, extended.x, extended.y), span);

    comp.GetHistory().Undo();
    comp.GetHistory().Undo();
    EXPECT_EQ(segment->GetTimeSpan(), (My::Span { 40, 55 }));
    const wxImage undone = c.Shot();
    EXPECT_NE(pixel(undone, extended.x, extended.y), span);
    const CPoint start = FrameInRow(timeline, middle, 41, bottom);
    EXPECT_EQ(pixel(undone, start.x, start.y), span);

    // A press on the ruler moves the cursor there; dragging scrubs the
    // preview, and the composition's current frame follows on release.
    const CRect ruler = timeline.GetRuler().GetWndRect();
    const int y = ruler.top + ruler.Height() / 2;
    DragBetween(
        c, CPoint(ruler.left + timeline.TimeToX(30), y), CPoint(ruler.left + timeline.TimeToX(60), y));
    EXPECT_EQ(timeline.GetCurrentFrame(), 60);
    EXPECT_EQ(comp.GetCurrentFrame(), 60);
    EXPECT_EQ(comp.GetPreviewFrame(), 60);

    c.RemoveChild(&timeline);
    c.DestroyWindow();
}

TEST(TimelineWindow, RowsBeyondTheVisibleAreaAreReachedByScrollingAndTheWheel)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(Frames(100));
    for (int key = 5; key < 95; key += 8)
        ASSERT_NE(comp.GetSegmentSet().CreateSegment(key), nullptr);
    comp.GetBackground().SetFootage(Frames(60));
    comp.GetBackground().SetStart(20);
    comp.GetBackground().SetTrimming(10, 50);
    TLTimeline timeline(&comp);
    Canvas c;
    ASSERT_TRUE(c.Show(timeline, 160));
    settle();
    My::XlineBox& box = timeline.GetRowsBox();
    const int view = box.GetViewSize().cy;
    ASSERT_GT(view, 0);
    ASSERT_GT(box.GetContentSize().cy, view) << "the rows should not fit";
    // The last row (Background) lies below the visible rows.
    My::LayerRow& background = timeline.GetBackgroundRow();
    EXPECT_GE(background.GetWndRect().top, view);
    EXPECT_EQ(box.GetScrollPos().y, 0);

    // One notch of the real wheel over the rows (through the X server and
    // the toolkit) scrolls them up by one step.
    wxUIActionSimulator sim;
    const CPoint over = c.Screen(RowsOrigin(timeline) + CPoint(300, 20));
    sim.MouseMove(over.x, over.y);
    settle();
    ASSERT_EQ(std::system("xdotool click 5"), 0);
    EXPECT_TRUE(pump_until([&] { return box.GetScrollPos().y > 0; }));
    EXPECT_EQ(box.GetScrollPos().y, My::ScrollBox::wheel_step);
    box.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(box.GetScrollPos().y, 0);
    // The bar's bottom shows the last row whole; further wheel turns stop
    // there.
    box.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    settle();
    const int bottom = box.GetScrollPos().y;
    EXPECT_EQ(bottom, box.GetContentSize().cy - view);
    EXPECT_LE(background.GetWndRect().bottom, view);
    EXPECT_GE(background.GetWndRect().top, 0);
    box.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -1200), 0);
    EXPECT_EQ(box.GetScrollPos().y, bottom);

    // The scrolled-in row is painted where it now lies.
    const CPoint at = FrameInRow(timeline, background, 50, background.GetHeight() / 2);
    const wxImage shot = c.Shot();
    EXPECT_EQ(pixel(shot, at.x, at.y), 0xB8F6DC) << "the background row's trimmed part shows after scrolling";

    c.RemoveChild(&timeline);
    c.DestroyWindow();
}

TEST(TimelineWindow, RubberBandAndDropMarkerShowWhileDragging)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(Frames(100));
    for (int key : { 15, 45, 75 })
        ASSERT_NE(comp.GetSegmentSet().CreateSegment(key), nullptr);
    TLSegment* topmost = comp.GetSegmentSet().GetAt(0);
    TLTimeline timeline(&comp);
    Canvas c;
    ASSERT_TRUE(c.Show(timeline, 220));
    const CPoint origin = RowsOrigin(timeline) + timeline.GetGrid().GetWndRect().TopLeft();
    wxUIActionSimulator sim;
    auto press = [&](CPoint p) {
        const CPoint s = c.Screen(p);
        sim.MouseMove(s.x, s.y);
        settle();
        sim.MouseDown();
        settle();
    };
    auto move = [&](CPoint p) {
        for (int dy : { 2, 0 }) {
            const CPoint s = c.Screen(p + CPoint(0, dy));
            sim.MouseMove(s.x, s.y);
            pump_until([] { return false; }, std::chrono::milliseconds(30));
        }
    };

    // A band from the Foreground row's name to frame 40 of the first
    // segment row: its frame is drawn while the button is down.
    const CRect foreground = timeline.GetForegroundRow().GetBounds() + origin;
    My::SegmentRow& first = *timeline.GetMaskRow().GetSegmentRows()[0];
    const CRect firstRow = first.GetBounds() + origin;
    const CPoint from(60, foreground.top + 4);
    const CPoint to(My::Xline::kNameWidth + timeline.TimeToX(40), firstRow.top + 6);
    press(from);
    move(to);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    wxImage shot = c.Shot();
    EXPECT_EQ(pixel(shot, (from.x + to.x) / 2, to.y), ink) << "the band's bottom edge";
    EXPECT_EQ(pixel(shot, to.x, (from.y + to.y) / 2), ink) << "the band's right edge";
    sim.MouseUp();
    settle();
    shot = c.Shot();
    EXPECT_NE(pixel(shot, to.x, (from.y + to.y) / 2), ink) << "the band goes on release";

    // The first segment row dragged by its name below the last one: the
    // drop marker sits on the last segment row's bottom edge until release.
    My::SegmentRow& last = *timeline.GetMaskRow().GetSegmentRows()[2];
    const CRect lastRow = last.GetBounds() + origin;
    press(CPoint(60, firstRow.top + 4));
    move(CPoint(60, lastRow.bottom - 2));
    shot = c.Shot();
    const CPoint marker(My::Xline::kNameWidth + 200, lastRow.bottom);
    EXPECT_EQ(pixel(shot, marker.x, marker.y), 0x404040);
    EXPECT_EQ(pixel(shot, 10, marker.y), 0x404040);
    sim.MouseUp();
    settle();
    EXPECT_EQ(comp.GetSegmentSet().GetAt(2), topmost);
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Move Segment");
    shot = c.Shot();
    EXPECT_NE(pixel(shot, marker.x, marker.y), 0x404040) << "the marker goes on release";

    c.RemoveChild(&timeline);
    c.DestroyWindow();
}

namespace {

// Whether any pixel of a rectangle of the shot is black (the ink of
// labels and glyph outlines).
bool AnyBlack(const wxImage& shot, const CRect& r)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (pixel(shot, x, y) == 0)
                return true;
    return false;
}

bool AnyOf(const wxImage& shot, const CRect& r, COLORREF colour)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (pixel(shot, x, y) == colour)
                return true;
    return false;
}

} // namespace

TEST(TimelineWindow, ZoomedInTheScrollBarScrollsTheAxisAndDrawingStaysInsideTheTimeArea)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(Frames(100));
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(15);
    ASSERT_NE(segment, nullptr);
    segment->SetTimeSpan(10, 25);
    comp.GetBackground().SetFootage(Frames(60));
    comp.GetBackground().SetStart(20);
    comp.GetBackground().SetTrimming(10, 50);
    comp.Select(nullptr);
    TLTimeline timeline(&comp);
    Canvas c;
    ASSERT_TRUE(c.Show(timeline, 220));
    ASSERT_EQ(timeline.GetTimeWidth(), 500);
    // 25 frames in view.
    timeline.SetTimeScale(20);
    settle();
    ASSERT_EQ(timeline.GetTimeOffset(), 0.0);

    // The thumb dragged by the real pointer: the axis follows.
    My::ScrollBar& bar = timeline.GetScrollBar();
    // The timeline fills the canvas from its origin.
    const CRect barRect = bar.GetBounds();
    const int thumbWidth = barRect.Width() / 4;
    const CPoint thumb(barRect.left + thumbWidth / 2 + 2, barRect.top + barRect.Height() / 2);
    DragBetween(c, thumb, thumb + CPoint(thumbWidth, 0));
    EXPECT_GT(timeline.GetTimeOffset(), 15.0);
    EXPECT_EQ(timeline.GetScrollInfo().pos, timeline.GetScrollPos());
    // A click in the trough beyond the thumb moves it further; so does the
    // wheel over the bar.
    const double dragged = timeline.GetTimeOffset();
    wxUIActionSimulator sim;
    const CPoint trough = c.Screen(CPoint(barRect.right - 4, thumb.y));
    sim.MouseMove(trough.x, trough.y);
    settle();
    sim.MouseClick();
    EXPECT_TRUE(pump_until([&] { return timeline.GetTimeOffset() > dragged; }));
    const double paged = timeline.GetTimeOffset();
    timeline.SetTimeOffset(30);
    settle();
    ASSERT_EQ(std::system("xdotool click 4"), 0);
    EXPECT_TRUE(pump_until([&] { return timeline.GetTimeOffset() < 30; }));
    EXPECT_GT(paged, dragged);

    // Frames 20 to 45 in view: the segment (10 to 25) starts left of the
    // time area, the work area's start bracket (frame 0) and the ruler's
    // labels near the left end lie beyond it.
    timeline.SetTimeOffset(20);
    const wxImage shot = c.Shot();
    shot.SaveFile(::testing::TempDir() + "tavelo_timeline_scrolled.png", wxBITMAP_TYPE_PNG);
    const int left = My::Xline::kNameWidth;
    const int right = left + timeline.GetTimeWidth();
    My::SegmentRow& row = *timeline.GetMaskRow().GetSegmentRows()[0];
    const CRect rowRect = row.GetWndRect() + RowsOrigin(timeline);
    const int y = rowRect.top + row.GetHeight() - 3;
    EXPECT_EQ(pixel(shot, left + timeline.TimeToX(22), y), 0xC0F0FFu) << "the bar shows in the time area";
    EXPECT_FALSE(AnyOf(shot, CRect(left - 40, y, left - 1, y + 1), 0xC0F0FF)) << "the bar reaches the names";
    EXPECT_FALSE(AnyBlack(shot, CRect(left - 12, rowRect.top, left - 2, rowRect.bottom)))
        << "a bracket shows over the names";
    const CRect ruler = timeline.GetRuler().GetWndRect();
    EXPECT_FALSE(AnyBlack(shot, CRect(left - 40, ruler.top + 2, left - 2, ruler.bottom - 2)))
        << "ruler labels show over the name column's title";
    EXPECT_FALSE(AnyBlack(shot, CRect(right + 1, ruler.top + 2, c.width - 1, ruler.bottom - 2)))
        << "ruler labels show beyond the time area";
    const CRect strip = timeline.GetThumbLine().GetWndRect();
    EXPECT_FALSE(AnyBlack(shot, CRect(left - 40, strip.top, left - 1, strip.bottom)))
        << "the work area's bracket shows left of the time area";

    // Frames 40 to 65: the background's trimmed part (30 to 70) reaches
    // past both ends.
    timeline.SetTimeScale(40);
    timeline.SetTimeOffset(40);
    const wxImage later = c.Shot();
    My::LayerRow& background = timeline.GetBackgroundRow();
    const CRect bg = background.GetWndRect() + RowsOrigin(timeline);
    const int by = bg.top + background.GetHeight() / 2;
    EXPECT_EQ(pixel(later, left + timeline.TimeToX(timeline.GetTimeOffset() + 2), by), 0xB8F6DCu);
    EXPECT_FALSE(AnyOf(later, CRect(left - 40, by, left - 1, by + 1), 0xB8F6DC))
        << "the background's bar reaches the names";

    c.RemoveChild(&timeline);
    c.DestroyWindow();
}

TEST(TimelineWindow, ASegmentsBracketIsGrabbedAFewPixelsBesideItsGlyph)
{
    if (!test::display_started())
        GTEST_SKIP() << "no display";
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(Frames(100));
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(45);
    ASSERT_NE(segment, nullptr);
    segment->SetTimeSpan(40, 55);
    TLTimeline timeline(&comp);
    Canvas c;
    ASSERT_TRUE(c.Show(timeline, 220));
    My::SegmentRow& row = *timeline.GetMaskRow().GetSegmentRows()[0];
    const CRect rowRect = row.GetWndRect() + RowsOrigin(timeline);
    // The front end's bracket is drawn 4 pixels wide from the span's last
    // frame on; a press up to 3 pixels beyond it on either side grabs it.
    const int drawn = My::Xline::kNameWidth + timeline.TimeToX(55);
    for (int x = drawn - 2; x <= drawn + 4 + 3; ++x) {
        segment->SetTimeSpan(40, 55);
        settle();
        const CPoint at(x, rowRect.top + row.GetHeight() / 2);
        DragBetween(c, at, at + CPoint(timeline.TimeToX(61) - timeline.TimeToX(55), 0));
        EXPECT_EQ(segment->GetTimeSpan(), (My::Span { 40, 61 })) << "pressed at " << x - drawn;
    }
    // Further inside the span a press selects instead.
    segment->SetTimeSpan(40, 55);
    settle();
    const CPoint inside(drawn - 10, rowRect.top + row.GetHeight() / 2);
    DragBetween(c, inside, inside + CPoint(30, 0));
    EXPECT_EQ(segment->GetTimeSpan(), (My::Span { 40, 55 }));
    c.RemoveChild(&timeline);
    c.DestroyWindow();
}
