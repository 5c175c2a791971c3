#include "app/timeline/Timeline.h"

#include "app/timeline/TimeScaleControls.h"
#include "app/timeline/TimelineStrips.h"
#include "app/timeline/tests/TimelineFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <typeinfo>

namespace {

struct Recorder : My::EventListener {
    void OnEvent(My::Event& e) override { names.push_back(typeid(e).name()); }
    template <class T> int Count() const
    {
        int n = 0;
        for (const auto& name : names)
            n += name == typeid(T).name();
        return n;
    }
    std::vector<std::string> names;
};

struct TimelineTest : ::testing::Test {
    TimelineTest()
    {
        timeline.SetTimeWidth(500);
        timeline.SetSequence(&sequence);
        timeline.AddListener(&recorder);
    }
    ~TimelineTest() override { timeline.RemoveListener(&recorder); }

    bool Enabled(std::uint32_t id)
    {
        test::FakeCommandUI ui;
        My::UpdateCommandUIEvent update(id, &ui);
        timeline.OnEvent(update);
        EXPECT_TRUE(update.handled);
        return ui.enabled;
    }
    void RunCommand(std::uint32_t id)
    {
        My::CommandEvent command(id);
        timeline.OnEvent(command);
        EXPECT_TRUE(command.handled);
    }

    test::FakeSequence sequence;
    My::Timeline timeline;
    Recorder recorder;
};

TEST_F(TimelineTest, NothingOpenGivesEmptyValuesAndSettersDoNothing)
{
    EXPECT_TRUE(timeline.IsEmpty());
    EXPECT_EQ(timeline.GetFitScale(), 1.0);
    EXPECT_EQ(timeline.GetTotalWidth(), 0);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span {}));
    EXPECT_EQ(timeline.GetCurrentFrame(), -1);
    timeline.SetCurrentFrame(3);
    timeline.SetTimeScale(20);
    timeline.SetTimeOffset(4);
    EXPECT_EQ(timeline.GetCurrentFrame(), -1);
    EXPECT_EQ(timeline.GetTimeScale(), 1.0);
    EXPECT_EQ(timeline.GetTimeOffset(), 0.0);
    EXPECT_FALSE(Enabled(My::Timeline::kZoomIn));
    EXPECT_FALSE(Enabled(My::Timeline::kZoomOut));
    EXPECT_FALSE(Enabled(My::Timeline::kFitInWindow));
    RunCommand(My::Timeline::kZoomIn);
    EXPECT_EQ(timeline.GetTimeScale(), 1.0);
}

TEST_F(TimelineTest, NarrowTimelineBehavesAsEmpty)
{
    sequence.Open(100);
    for (int width : { 0, 30 }) {
        timeline.SetTimeWidth(width);
        EXPECT_EQ(timeline.GetFitScale(), 1.0);
        EXPECT_FALSE(Enabled(My::Timeline::kZoomIn));
        EXPECT_FALSE(Enabled(My::Timeline::kZoomOut));
        timeline.SetTimeScale(10);
        EXPECT_FALSE(std::isnan(timeline.XToTime(200)));
        EXPECT_EQ(timeline.FrameAt(200), int(timeline.GetTimeOffset()));
        EXPECT_EQ(timeline.TimeToX(60), 15);
    }
    // Widening it again shows the sequence.
    timeline.SetTimeWidth(500);
    EXPECT_EQ(timeline.GetFitScale(), 5.0);
    EXPECT_GE(timeline.GetTimeScale(), 5.0);
}

TEST_F(TimelineTest, OpeningShowsTheWholeSequence)
{
    sequence.Open(100, 10);
    EXPECT_EQ(timeline.GetTimeScale(), 5.0);
    EXPECT_EQ(timeline.GetTimeOffset(), 10.0);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 10, 110 }));
    EXPECT_EQ(timeline.GetCurrentFrame(), 10);
    EXPECT_EQ(timeline.TimeToX(10), 15);
    EXPECT_EQ(timeline.TimeToX(110), 485);
    sequence.Close();
    EXPECT_EQ(timeline.GetTimeScale(), 1.0);
    EXPECT_EQ(timeline.GetCurrentFrame(), -1);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span {}));
}

TEST_F(TimelineTest, ZoomStopsAtFiftyAndAtTheFitScale)
{
    sequence.Open(100);
    EXPECT_EQ(timeline.GetFitScale(), 5.0);
    EXPECT_FALSE(Enabled(My::Timeline::kZoomOut));
    EXPECT_FALSE(Enabled(My::Timeline::kFitInWindow));
    std::vector<double> scales;
    while (Enabled(My::Timeline::kZoomIn)) {
        RunCommand(My::Timeline::kZoomIn);
        scales.push_back(timeline.GetTimeScale());
    }
    EXPECT_EQ(scales, (std::vector<double> { 10, 20, 40, 50 }));
    EXPECT_TRUE(Enabled(My::Timeline::kZoomOut));
    RunCommand(My::Timeline::kZoomOut);
    EXPECT_EQ(timeline.GetTimeScale(), 25.0);
    RunCommand(My::Timeline::kFitInWindow);
    EXPECT_EQ(timeline.GetTimeScale(), 5.0);
}

TEST_F(TimelineTest, OtherCommandsAreLeftUnhandled)
{
    sequence.Open(100);
    My::CommandEvent other(50099);
    timeline.OnEvent(other);
    EXPECT_FALSE(other.handled);
}

TEST_F(TimelineTest, ShortSequenceFitsAboveTheMaximumScale)
{
    sequence.Open(5);
    EXPECT_EQ(timeline.GetFitScale(), 100.0);
    timeline.SetTimeScale(50);
    EXPECT_EQ(timeline.GetTimeScale(), 100.0);
    EXPECT_FALSE(Enabled(My::Timeline::kZoomOut));
}

TEST_F(TimelineTest, ZoomKeepsTheCursorInPlace)
{
    sequence.Open(400);
    timeline.SetTimeScale(5);
    timeline.SetTimeOffset(0);
    timeline.SetCurrentFrame(40);
    const int x = timeline.TimeToX(40);
    EXPECT_EQ(x, 203);
    timeline.SetTimeScale(10);
    EXPECT_EQ(timeline.TimeToX(40), 203);
    timeline.SetTimeScale(50);
    EXPECT_EQ(timeline.TimeToX(40), 203);
    // Zooming out near the end clamps the offset: the cursor moves instead.
    timeline.SetTimeOffset(390);
    timeline.SetCurrentFrame(399);
    timeline.SetTimeScale(2);
    EXPECT_DOUBLE_EQ(timeline.GetTimeOffset(), 400 - 250);
}

TEST_F(TimelineTest, OffsetIsClampedToTheSequence)
{
    sequence.Open(1000);
    timeline.SetTimeScale(5);
    timeline.SetTimeOffset(5000);
    EXPECT_DOUBLE_EQ(timeline.GetTimeOffset(), 1000 - 100);
    timeline.SetTimeOffset(-20);
    EXPECT_EQ(timeline.GetTimeOffset(), 0.0);
    EXPECT_GE(recorder.Count<My::Timeline::TimeOffsetChange>(), 2);
}

TEST_F(TimelineTest, CurrentFrameIsClampedAndSentOnce)
{
    sequence.Open(100);
    timeline.SetCurrentFrame(50);
    recorder.names.clear();
    timeline.SetCurrentFrame(-5);
    EXPECT_EQ(timeline.GetCurrentFrame(), 0);
    EXPECT_EQ(sequence.GetPreviewFrame(), 0);
    EXPECT_EQ(recorder.Count<My::Timeline::CurrentFrameChange>(), 1);
    timeline.SetCurrentFrame(0);
    EXPECT_EQ(recorder.Count<My::Timeline::CurrentFrameChange>(), 1);
    timeline.SetCurrentFrame(1000);
    EXPECT_EQ(timeline.GetCurrentFrame(), 99);
}

TEST_F(TimelineTest, SequenceCurrentFrameMovesTheCursor)
{
    sequence.Open(100);
    sequence.SetCurrentFrame(30);
    EXPECT_EQ(timeline.GetCurrentFrame(), 30);
    sequence.SetWorkArea(5, 20);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 5, 20 }));
    // The sequence's events reach the timeline's listeners too.
    EXPECT_GE(recorder.Count<test::FakeSequence::WorkAreaChange>(), 1);
}

TEST_F(TimelineTest, WorkAreaIsTheTimelinesCopyUntilCommitted)
{
    sequence.Open(100, 10);
    timeline.SetWorkArea(20, 30);
    EXPECT_EQ(timeline.GetWorkArea(), (My::Span { 20, 30 }));
    EXPECT_EQ(sequence.GetWorkArea(), (My::Span { 10, 110 }));
    timeline.CommitWorkArea();
    EXPECT_EQ(sequence.GetWorkArea(), (My::Span { 20, 30 }));
}

TEST_F(TimelineTest, ScrollBarPageGrowsWhenItEqualsTheTotal)
{
    sequence.Open(100);
    EXPECT_EQ(timeline.GetScrollInfo().max, 500);
    EXPECT_EQ(timeline.GetScrollInfo().page, 501);
    timeline.SetTimeScale(10);
    EXPECT_EQ(timeline.GetScrollInfo().max, 1000);
    EXPECT_EQ(timeline.GetScrollInfo().page, 500);
}

TEST_F(TimelineTest, ScrollCodesMoveTheOffset)
{
    sequence.Open(1000);
    timeline.SetTimeScale(5);
    timeline.SetTimeOffset(0);
    timeline.Scroll(1, 0);
    EXPECT_EQ(timeline.GetScrollPos(), 50);
    timeline.Scroll(3, 0);
    EXPECT_EQ(timeline.GetScrollPos(), 550);
    timeline.Scroll(2, 0);
    timeline.Scroll(0, 0);
    EXPECT_EQ(timeline.GetScrollPos(), 0);
    timeline.Scroll(5, 1234);
    EXPECT_EQ(timeline.GetScrollPos(), 1234);
    timeline.Scroll(7, 0);
    EXPECT_EQ(timeline.GetScrollPos(), 4500);
    timeline.Scroll(6, 0);
    EXPECT_EQ(timeline.GetScrollPos(), 0);
    timeline.Scroll(42, 300);
    EXPECT_EQ(timeline.GetScrollPos(), 0);
}

TEST_F(TimelineTest, AutoScrollDistanceBeyondTheMargins)
{
    EXPECT_EQ(timeline.AutoScrollDistance(5, 500), -10);
    EXPECT_EQ(timeline.AutoScrollDistance(100, 500), 0);
    EXPECT_EQ(timeline.AutoScrollDistance(495, 500), 10);
    sequence.Open(1000);
    timeline.SetTimeScale(5);
    timeline.SetAutoScroll(20);
    timeline.AutoScrollStep(false);
    EXPECT_EQ(timeline.GetScrollPos(), 20);
    timeline.SetAutoScroll(0);
    timeline.AutoScrollStep(false);
    EXPECT_EQ(timeline.GetScrollPos(), 20);
}

TEST_F(TimelineTest, DetachingSendsDetachedAndStopsListening)
{
    sequence.Open(100);
    timeline.SetSequence(nullptr);
    EXPECT_EQ(recorder.Count<My::Timeline::Detached>(), 1);
    EXPECT_EQ(sequence.GetListenerCount(), 0u);
    EXPECT_TRUE(timeline.IsEmpty());
}

} // namespace

namespace {

// Without a display (or with a theme that reports 0) the bottom line keeps
// a usable height.
TEST(TimelineLayout, ScrollBarHeightHasAFloor)
{
    EXPECT_GE(My::Timeline::GetScrollBarHeight(), 12);
    My::Timeline timeline;
    timeline.SetBounds(CRect(0, 0, 400, 80));
    EXPECT_EQ(timeline.GetTimeWidth(), 400);
    const CRect bar = timeline.GetZoomOut().GetBounds();
    EXPECT_EQ(bar.bottom, 80);
    EXPECT_EQ(bar.Height(), My::Timeline::GetScrollBarHeight());
    EXPECT_EQ(timeline.GetPreferredSize().cy,
        timeline.GetRuler().GetPreferredSize().cy + My::Timeline::GetScrollBarHeight() + 21);
}

} // namespace
