#include "app/timeline/TimelineHandles.h"

#include "app/timeline/Timeline.h"
#include "app/timeline/tests/TimelineFixture.h"

#include <gtest/gtest.h>

namespace {

// A 500-pixel time area over 100 frames: 4.7 pixels per frame.
struct HandlesTest : ::testing::Test {
    HandlesTest()
    {
        timeline.SetTimeWidth(500);
        timeline.SetSequence(&sequence);
        sequence.Open(100);
    }
    int X(int frame) const { return timeline.TimeToX(frame); }

    test::FakeSequence sequence;
    My::Timeline timeline;
};

TEST_F(HandlesTest, WorkAreaStartStopsOneFrameBeforeTheEnd)
{
    sequence.SetWorkArea(10, 20);
    My::WorkAreaDrag drag(timeline);
    ASSERT_TRUE(drag.Begin(My::WorkAreaDrag::Left, X(10)));
    drag.Move(X(40), 500);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 19, 20 }));
    drag.Move(X(-30), 500);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 0, 20 }));
    // Only the end of the drag writes the sequence, once.
    EXPECT_EQ(sequence.workAreaSets, 1);
    drag.End();
    EXPECT_EQ(sequence.workAreaSets, 2);
    EXPECT_EQ(sequence.GetWorkArea(), (My::Span { 0, 20 }));
    EXPECT_EQ(timeline.GetAutoScroll(), 0);
}

TEST_F(HandlesTest, WorkAreaEndStaysAfterTheStartAndInsideTheSequence)
{
    sequence.SetWorkArea(10, 20);
    My::WorkAreaDrag drag(timeline);
    ASSERT_TRUE(drag.Begin(My::WorkAreaDrag::Right, X(20)));
    drag.Move(X(2), 500);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 10, 11 }));
    drag.Move(X(400), 500);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 10, 100 }));
    drag.End();
}

TEST_F(HandlesTest, WorkAreaGripKeepsTheLengthAndStopsAtBothEnds)
{
    sequence.SetWorkArea(10, 30);
    My::WorkAreaDrag drag(timeline);
    ASSERT_TRUE(drag.Begin(My::WorkAreaDrag::Grip, X(20)));
    drag.Move(X(25), 500);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 15, 35 }));
    drag.Move(X(500), 500);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 80, 100 }));
    drag.Move(X(-500), 500);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 0, 20 }));
    drag.End();
}

TEST_F(HandlesTest, NoHandleDragsWithoutAnOpenSequence)
{
    sequence.Close();
    My::WorkAreaDrag drag(timeline);
    EXPECT_FALSE(drag.Begin(My::WorkAreaDrag::Left, 100));
    drag.Move(200, 500);
    drag.End();
    EXPECT_EQ(sequence.workAreaSets, 0);
    My::ScrubDrag scrub(timeline);
    EXPECT_FALSE(scrub.Begin(100));
}

TEST_F(HandlesTest, ScrubMovesThePreviewAndSetsTheCurrentFrameOnRelease)
{
    My::ScrubDrag scrub(timeline);
    ASSERT_TRUE(scrub.Begin(X(30)));
    EXPECT_EQ(timeline.GetCurrentFrame(), 30);
    EXPECT_EQ(sequence.GetPreviewFrame(), 30);
    EXPECT_EQ(sequence.GetCurrentFrame(), 0);
    scrub.Move(X(45), 500);
    EXPECT_EQ(sequence.GetPreviewFrame(), 45);
    scrub.End();
    EXPECT_EQ(sequence.GetCurrentFrame(), 45);
}

TEST_F(HandlesTest, DragBeyondTheTimeAreaAutoScrolls)
{
    timeline.SetTimeScale(20);
    sequence.SetWorkArea(10, 20);
    My::WorkAreaDrag drag(timeline);
    ASSERT_TRUE(drag.Begin(My::WorkAreaDrag::Right, X(20)));
    drag.Move(510, 500);
    EXPECT_EQ(timeline.GetAutoScroll(), 25);
    timeline.AutoScrollStep(false);
    EXPECT_EQ(timeline.GetScrollPos(), 25);
    drag.End();
    EXPECT_EQ(timeline.GetAutoScroll(), 0);
}

struct LayerTest : HandlesTest {
    LayerTest()
    {
        layer.length = 60;
        layer.SetTrimming(10, 50);
        bar.SetLayer(&layer);
        bar.SetEditedHandler([this] { ++edits; });
    }
    test::FakeLayer layer;
    My::LayerBar bar { timeline };
    int edits = 0;
};

TEST_F(LayerTest, EmptyLayerIgnoresPressesAndDrags)
{
    test::FakeLayer empty;
    My::LayerBar other(timeline);
    other.SetLayer(&empty);
    EXPECT_FALSE(other.PressesFootage(X(5)));
    EXPECT_FALSE(other.BeginBody(X(5)));
    EXPECT_FALSE(other.BeginBracket(true, X(0)));
    other.Move(X(20), 500);
    other.End();
    EXPECT_EQ(empty.GetTrimming(), (My::Span {}));
}

// A project being read places its layer while the sequence is closed.
TEST_F(LayerTest, TheBarShowsTheLayerAsPlacedWhileTheSequenceWasClosed)
{
    sequence.Close();
    layer.SetStart(70);
    layer.SetTrimming(5, 55);
    sequence.Open(100);
    EXPECT_EQ(bar.GetStart(), 70);
    EXPECT_EQ(bar.GetTrim(), (My::Span { 5, 55 }));
    EXPECT_FALSE(bar.PressesFootage(X(69)));
    EXPECT_TRUE(bar.PressesFootage(X(71)));
}

TEST_F(LayerTest, LeftBracketStopsAtTheRightOneAndTrimmingStaysInTheFootage)
{
    ASSERT_TRUE(bar.BeginBracket(true, X(10)));
    bar.Move(X(70), 500);
    EXPECT_EQ(bar.GetTrim(), (My::Span { 50, 50 }));
    bar.Move(X(-40), 500);
    EXPECT_EQ(bar.GetTrim(), (My::Span { 0, 50 }));
    EXPECT_EQ(layer.GetTrimming(), (My::Span { 10, 50 }));
    bar.End();
    EXPECT_EQ(layer.GetTrimming(), (My::Span { 0, 50 }));
    EXPECT_EQ(edits, 1);
    ASSERT_TRUE(bar.BeginBracket(false, X(50)));
    bar.Move(X(95), 500);
    bar.End();
    EXPECT_EQ(layer.GetTrimming(), (My::Span { 0, 60 }));
}

TEST_F(LayerTest, SlidingFromInsideTheTrimmedPartMovesItWithTheFootage)
{
    ASSERT_TRUE(bar.BeginBody(X(30)));
    bar.Move(X(35), 500);
    bar.End();
    EXPECT_EQ(layer.GetStart(), 5);
    EXPECT_EQ(layer.GetTrimming(), (My::Span { 10, 50 }));
    EXPECT_EQ(edits, 1);
}

TEST_F(LayerTest, SlidingFromOutsideTheTrimmedPartKeepsItInPlace)
{
    ASSERT_TRUE(bar.BeginBody(X(55)));
    bar.Move(X(60), 500);
    bar.End();
    EXPECT_EQ(layer.GetStart(), 5);
    EXPECT_EQ(layer.GetTrimming(), (My::Span { 5, 45 }));
}

TEST_F(LayerTest, TrimmedPartCannotLeaveTheSequence)
{
    ASSERT_TRUE(bar.BeginBody(X(30)));
    bar.Move(X(30) + 5000, 500);
    // Trimmed frames 10 .. 50 from the start: the start stops at 100 - 10.
    EXPECT_EQ(bar.GetStart(), 90);
    bar.Move(X(30) - 5000, 500);
    EXPECT_EQ(bar.GetStart(), -50);
    bar.End();
}

TEST_F(LayerTest, ReleaseWithoutChangeDoesNotMarkTheDocument)
{
    ASSERT_TRUE(bar.BeginBody(X(30)));
    bar.Move(X(30), 500);
    bar.End();
    EXPECT_EQ(edits, 0);
    EXPECT_FALSE(bar.BeginBody(X(80)));
    EXPECT_TRUE(bar.PressesFootage(X(60)));
    EXPECT_FALSE(bar.PressesFootage(X(61)));
}

struct SegmentTest : HandlesTest {
    SegmentTest() { bar.SetSegment(&segment); }
    test::FakeSegment segment { 5, 12, 40 };
    My::SegmentBar bar { timeline };
};

TEST_F(SegmentTest, BackEndStopsAtTheKeyFrame)
{
    ASSERT_TRUE(bar.BeginBracket(true, bar.TimeToX(5, 500), 500));
    bar.Move(bar.TimeToX(13, 500), 500);
    EXPECT_EQ(bar.GetPendingSpan(), (My::Span { 12, 40 }));
    EXPECT_EQ(sequence.GetPreviewFrame(), 12);
    bar.End();
    EXPECT_EQ(segment.GetTimeSpan(), (My::Span { 12, 40 }));
    EXPECT_EQ(sequence.GetPreviewFrame(), timeline.GetCurrentFrame());
}

TEST_F(SegmentTest, FrontEndStopsOneAfterTheKeyFrameAndAtTheSequenceEnd)
{
    ASSERT_TRUE(bar.BeginBracket(false, bar.TimeToX(40, 500), 500));
    bar.Move(bar.TimeToX(12, 500), 500);
    EXPECT_EQ(bar.GetPendingSpan(), (My::Span { 5, 13 }));
    bar.Move(bar.TimeToX(300, 500), 500);
    EXPECT_EQ(bar.GetPendingSpan(), (My::Span { 5, 100 }));
    bar.End();
    EXPECT_EQ(segment.GetTimeSpan(), (My::Span { 5, 100 }));
}

TEST_F(SegmentTest, ProcessingSegmentCannotBeTrimmed)
{
    segment.processing = true;
    EXPECT_FALSE(bar.BeginBracket(true, bar.TimeToX(5, 500), 500));
    bar.Move(bar.TimeToX(8, 500), 500);
    bar.End();
    EXPECT_EQ(segment.timeSpanSets, 0);
}

TEST_F(SegmentTest, ReleaseInPlaceStillSetsTheUnchangedSpan)
{
    ASSERT_TRUE(bar.BeginBracket(true, bar.TimeToX(5, 500), 500));
    bar.Move(bar.TimeToX(5, 500), 500);
    bar.End();
    EXPECT_EQ(segment.timeSpanSets, 1);
    EXPECT_EQ(segment.undoEntries, 0);
}

TEST_F(SegmentTest, BarMappingRoundsHalvesAwayFromZero)
{
    // 100 frames over 470 pixels: frame 0.5 lies at 17.35.
    EXPECT_EQ(bar.TimeToX(0, 500), 15);
    EXPECT_EQ(bar.FrameAt(bar.TimeToX(77, 500), 500), 77);
    EXPECT_EQ(bar.FrameAt(15 - 3, 500), -1);
    EXPECT_EQ(bar.FrameAt(15 - 2, 500), 0);
}

} // namespace
