#include "app/timeline/TLTimeline.h"
#include "platform/gui/metrics.h"

#include "document/Background.h"
#include "document/TLSegment.h"
#include "document/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"

#include <gtest/gtest.h>

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

} // namespace
