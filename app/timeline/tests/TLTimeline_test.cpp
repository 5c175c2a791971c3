#include "app/timeline/TLTimeline.h"
#include "platform/gui/metrics.h"

#include "document/Doc.h"
#include "document/composition/Background.h"
#include "document/project/tests/project_test_support.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

boost::shared_ptr<lumvex::footage> Frames(int count)
{
    std::vector<img::image<img::BGRA<unsigned char>>> images;
    for (int i = 0; i < count; ++i)
        images.push_back(trm::testing::make_scene(segment_testing::kWidth, segment_testing::kHeight).frame);
    return boost::make_shared<trm::testing::memory_footage>(std::move(images));
}

struct TLTimelineTest : ::testing::Test {
    TLTimelineTest()
    {
        comp.SetFootage(Frames(100));
        // 500 pixels of time column beside the rows area's vertical bar.
        timeline.SetBounds(CRect(0, 0, 650 + GetSystemMetrics(SM_CXVSCROLL), 200));
    }
    int X(int frame) const { return timeline.TimeToX(frame); }

    segment_testing::PromptScope prompts;
    TLComp comp;
    TLTimeline timeline { &comp };
};

// The composition opens after the timeline is made: the segments made
// afterwards show under the expanded "Mask" row.
TEST_F(TLTimelineTest, OpeningShowsTheRowsAndClosingEmptiesTheGrid)
{
    comp.GetSegmentSet().CreateSegment(20);
    comp.GetSegmentSet().CreateSegment(50);
    // Foreground, Mask, two segments, Background.
    ASSERT_EQ(timeline.GetGrid().GetRowCount(), 5);
    EXPECT_EQ(timeline.GetGrid().GetRow(0), &timeline.GetForegroundRow());
    EXPECT_EQ(timeline.GetGrid().GetRow(1), &timeline.GetMaskRow());
    EXPECT_EQ(timeline.GetGrid().GetRow(4), &timeline.GetBackgroundRow());
    EXPECT_EQ(timeline.GetTimeWidth(), 500);
    EXPECT_DOUBLE_EQ(timeline.GetTimeScale(), 5.0);
    comp.Close();
    EXPECT_EQ(timeline.GetGrid().GetRowCount(), 0);
    EXPECT_EQ(timeline.GetCurrentFrame(), -1);
    EXPECT_EQ(timeline.GetTimeScale(), 1.0);
}

TEST_F(TLTimelineTest, SegmentRowsAreRebuiltWithTheirNames)
{
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(12);
    segment->SetTimeSpan(5, 40);
    ASSERT_EQ(timeline.GetMaskRow().GetSegmentRows().size(), 1u);
    EXPECT_EQ(timeline.GetMaskRow().GetSegmentRows()[0]->GetName(), "<05-[12]-40>");
    EXPECT_EQ(timeline.GetMaskRow().GetSegmentRows()[0]->GetControl().GetToolTipText(), "Segment [5-40]");
    comp.GetSegmentSet().CreateSegment(60);
    EXPECT_EQ(timeline.GetMaskRow().GetSegmentRows().size(), 2u);
    EXPECT_EQ(timeline.GetGrid().GetRowCount(), 5);
}

TEST_F(TLTimelineTest, EmptyBackgroundIsInert)
{
    My::LayerBar& bar = timeline.GetBackgroundRow().GetControl().GetBar();
    EXPECT_FALSE(bar.BeginBody(X(10)));
    EXPECT_FALSE(bar.BeginBracket(true, X(0)));
    bar.End();
    EXPECT_EQ(comp.GetBackground().GetStart(), 0);
}

TEST_F(TLTimelineTest, BackgroundDragMarksTheProjectModified)
{
    comp.GetBackground().SetFootage(Frames(40));
    comp.GetHistory().MarkSaved();
    ASSERT_FALSE(comp.IsModified());
    My::LayerBar& bar = timeline.GetBackgroundRow().GetControl().GetBar();
    ASSERT_TRUE(bar.BeginBody(X(10)));
    bar.Move(X(20), 500);
    bar.End();
    EXPECT_EQ(comp.GetBackground().GetStart(), 10);
    EXPECT_TRUE(comp.IsModified());
    EXPECT_FALSE(comp.GetHistory().CanUndo());
}

TEST_F(TLTimelineTest, ReleasingTheBackgroundInPlaceLeavesTheProjectUnmodified)
{
    comp.GetBackground().SetFootage(Frames(40));
    comp.GetHistory().MarkSaved();
    My::LayerBar& bar = timeline.GetBackgroundRow().GetControl().GetBar();
    ASSERT_TRUE(bar.BeginBracket(false, X(40)));
    bar.Move(X(40), 500);
    bar.End();
    EXPECT_FALSE(comp.IsModified());
}

// A project is read while its composition is still closed: the background
// row shows the footage at its offset and trimming, not at frame 0.
TEST(TLTimelineProject, OpeningAProjectShowsTheBackgroundAtItsOffset)
{
    project_testing::Workspace workspace;
    segment_testing::PromptScope prompts;
    const std::string path = workspace.scratch.File("p.tvp");
    {
        project_testing::Project project(workspace);
        project.comp.GetBackground().SetStart(12);
        project.comp.Store(path);
    }
    TLComp comp;
    comp.SetFootageLibrary(&workspace.library);
    TLTimeline timeline(&comp);
    timeline.SetBounds(CRect(0, 0, 650 + GetSystemMetrics(SM_CXVSCROLL), 200));
    comp.Open(path, 0);
    ASSERT_FALSE(comp.IsEmpty());
    ASSERT_EQ(comp.GetBackground().GetStart(), 12);
    const My::LayerBar& bar = timeline.GetBackgroundRow().GetControl().GetBar();
    EXPECT_EQ(bar.GetStart(), 12);
    EXPECT_EQ(bar.GetTrim(), (My::Span { 2, 40 }));
    EXPECT_FALSE(bar.PressesFootage(timeline.TimeToX(11)));
    EXPECT_TRUE(bar.PressesFootage(timeline.TimeToX(13)));
}

// Records the rectangle selections the grid passes on.
class RecordingTimeline : public TLTimeline {
public:
    using TLTimeline::TLTimeline;
    void SelectRect(int first, int last, int top, int bottom) override
    {
        bands.push_back({ first, last, top, bottom });
    }
    std::vector<std::array<int, 4>> bands;
};

TEST_F(TLTimelineTest, RubberBandEdgesBecomeTheFramesItCoversWhole)
{
    // 2.4 .. 7.6 frames: frames 3 to 7, whichever way the band was drawn.
    EXPECT_EQ(My::BandFrames(timeline, X(2) + 2, X(7) + 3), (My::Span { 3, 7 }));
    EXPECT_EQ(My::BandFrames(timeline, X(7) + 3, X(2) + 2), (My::Span { 3, 7 }));
}

TEST(TLTimelineBand, AGridDragPassesItsFramesAndExtentAndAPlainReleaseClearsTheSelection)
{
    segment_testing::PromptScope prompts;
    TLComp comp;
    comp.SetFootage(Frames(100));
    RecordingTimeline timeline(&comp);
    timeline.SetBounds(CRect(0, 0, 650 + GetSystemMetrics(SM_CXVSCROLL), 200));
    comp.GetSegmentSet().CreateSegment(20);
    My::XlineGrid& grid = timeline.GetGrid();
    const int left = timeline.GetTimeLeft();

    grid.OnLeftDown(0, CPoint(left + timeline.TimeToX(7) + 3, 60));
    grid.OnMouseMove(0, CPoint(left + timeline.TimeToX(5), 50));
    EXPECT_EQ(grid.GetBand(), CRect(left + timeline.TimeToX(5), 50, left + timeline.TimeToX(7) + 4, 61));
    grid.OnMouseMove(0, CPoint(left + timeline.TimeToX(2) + 2, 40));
    EXPECT_EQ(grid.GetBand().left, left + timeline.TimeToX(2) + 2) << "the band follows every move";
    EXPECT_TRUE(timeline.bands.empty());
    My::Doc* previous = My::SetCurrentDoc(&comp);
    comp.GetSegmentSet().SelectSegment(0);
    grid.OnLeftUp(0, CPoint(left + timeline.TimeToX(2) + 2, 40));
    EXPECT_TRUE(grid.GetBand().IsRectEmpty());
    ASSERT_EQ(timeline.bands.size(), 1u);
    EXPECT_EQ(timeline.bands[0], (std::array<int, 4> { 3, 7, 40, 61 }));
    EXPECT_EQ(comp.GetSegmentSet().GetSelectedIndex(), 0) << "a release ending a drag keeps the selection";

    // A click with Ctrl keeps the selection; without it clears it.
    grid.OnLeftDown(MK_CONTROL, CPoint(left + 10, 60));
    grid.OnLeftUp(MK_CONTROL, CPoint(left + 10, 60));
    EXPECT_EQ(comp.GetSegmentSet().GetSelectedIndex(), 0);
    grid.OnLeftDown(0, CPoint(left + 10, 60));
    grid.OnLeftUp(0, CPoint(left + 10, 60));
    EXPECT_EQ(comp.GetSegmentSet().GetSelectedIndex(), -1);
    EXPECT_EQ(timeline.bands.size(), 1u);
    My::SetCurrentDoc(previous);
}

TEST_F(TLTimelineTest, DropPositionsFallBetweenSegmentRowsAndMarkTheirEdges)
{
    comp.GetSegmentSet().CreateSegment(20);
    comp.GetSegmentSet().CreateSegment(50);
    My::SegmentSetRow& mask = timeline.GetMaskRow();
    const CRect first = mask.GetSegmentRows()[0]->GetBounds();
    const CRect second = mask.GetSegmentRows()[1]->GetBounds();
    EXPECT_EQ(mask.GetDropIndex(first.top - 50), 0);
    EXPECT_EQ(mask.GetDropIndex(first.top + 1), 0);
    EXPECT_EQ(mask.GetDropIndex(first.bottom - 1), 1);
    EXPECT_EQ(mask.GetDropIndex(second.bottom - 1), 2);
    EXPECT_EQ(mask.GetDropIndex(second.bottom + 500), 2);
    // Grid rows: Foreground, Mask, the segments, Background.
    EXPECT_EQ(mask.GetDropRow(0), 2);
    EXPECT_EQ(mask.GetDropRow(2), 4);
    My::XlineGrid& grid = timeline.GetGrid();
    EXPECT_EQ(grid.GetDropMarkerY(3), second.top);
    EXPECT_EQ(grid.GetDropMarkerY(4), second.bottom);
    // Past the end: the bottom of the last row.
    EXPECT_EQ(grid.GetDropMarkerY(5), timeline.GetBackgroundRow().GetBounds().bottom);
}

TEST_F(TLTimelineTest, DraggingASegmentRowByItsNameMovesTheSegmentUndoably)
{
    TLSegment* a = comp.GetSegmentSet().CreateSegment(20);
    TLSegment* b = comp.GetSegmentSet().CreateSegment(50);
    ASSERT_EQ(comp.GetSegmentSet().GetAt(0), b);
    My::SegmentSetRow& mask = timeline.GetMaskRow();
    const CRect second = mask.GetSegmentRows()[1]->GetBounds();
    My::SegmentRow* top = mask.GetSegmentRows()[0].get();
    const int h = top->GetHeight();

    // Released over its own place: nothing moves.
    top->OnLeftDown(0, CPoint(20, 2));
    top->OnMouseMove(0, CPoint(20, 4));
    EXPECT_EQ(timeline.GetGrid().GetDropPosition(), 2);
    top->OnLeftUp(0, CPoint(20, 4));
    EXPECT_EQ(timeline.GetGrid().GetDropPosition(), -1);
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Create Segment");

    // Below the second row's middle: it goes after it.
    top->OnLeftDown(0, CPoint(20, 2));
    top->OnMouseMove(0, CPoint(20, h + second.Height() - 1));
    EXPECT_EQ(timeline.GetGrid().GetDropPosition(), 4);
    top->OnLeftUp(0, CPoint(20, h + second.Height() - 1));
    EXPECT_EQ(timeline.GetGrid().GetDropPosition(), -1);
    EXPECT_EQ(comp.GetSegmentSet().GetAt(0), a);
    EXPECT_EQ(comp.GetSegmentSet().GetAt(1), b);
    EXPECT_EQ(comp.GetHistory().GetUndoName(), "Move Segment");
    EXPECT_EQ(comp.GetSegmentSet().GetSelectedIndex(), 1);
    comp.GetHistory().Undo();
    EXPECT_EQ(comp.GetSegmentSet().GetAt(0), b);
    EXPECT_EQ(mask.GetSegmentRows().size(), 2u);
}

} // namespace
