// The segment worker with the engine and the document around it: segments
// processed on the worker thread, their progress and completion arriving as
// messages that the test runs on its own (UI) thread, cancellation, deletion
// and undo while a calculation runs, and failures. The footage can hold the
// worker at one frame, so each case sees the calculation where it wants it.

#include "document/processing/Processor.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "foundation/system/tests/clog_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace segment_testing;

// The share of the pixels set in either mask that are set in both.
double Overlap(const img::image<img::bit>& a, const img::image<img::bit>& b)
{
    std::uint64_t both = 0;
    std::uint64_t either = 0;
    for (unsigned y = 0; y < a.height; ++y)
        for (unsigned x = 0; x < a.width; ++x) {
            const bool p = a.at(x, y);
            const bool q = b.at(x, y);
            both += p && q;
            either += p || q;
        }
    return either ? double(both) / double(either) : 0.0;
}

// Records a segment's data spans and the threads its events arrive on.
struct SpanLog : My::EventListener {
    std::vector<My::Span> spans;
    bool otherThread = false;
    TLSegment* segment;
    std::thread::id ui = std::this_thread::get_id();
    explicit SpanLog(TLSegment& s)
        : segment(&s)
    {
        s.AddListener(this);
    }
    ~SpanLog() { segment->RemoveListener(this); }
    void OnEvent(My::Event& e) override
    {
        if (std::this_thread::get_id() != ui)
            otherThread = true;
        if (dynamic_cast<My::Segment::DataSpanChange*>(&e))
            spans.push_back(segment->GetDataSpan());
    }
};

struct Flow {
    PromptScope prompts;
    FakeSegmentHost host;
    boost::shared_ptr<SceneFootage> footage;
    std::unique_ptr<Processor> processor;
    std::unique_ptr<TLComp> comp;

    explicit Flow(int frames = 30, int odd_frame = -1)
        : footage(boost::make_shared<SceneFootage>(frames, odd_frame))
        , processor(std::make_unique<Processor>())
        , comp(std::make_unique<TLComp>(nullptr, processor.get()))
    {
        comp->SetFootage(footage);
        Set().SetHost(&host);
    }
    ~Flow()
    {
        // Whatever a failed check left running ends before the footage's
        // gate goes.
        footage->Release();
        comp.reset();
        processor.reset();
        My::GetMessageQueue().Clear();
    }

    TLSegmentSet& Set() { return comp->GetSegmentSet(); }

    // Closes the footage's gate at frame `gate`, asks for the processing of
    // `segments` in turn and waits until the first is held at the gate, the
    // others queued behind it. Call through ASSERT_NO_FATAL_FAILURE.
    void HoldAt(int gate, std::initializer_list<TLSegment*> segments)
    {
        footage->SetGate(gate);
        for (TLSegment* s : segments)
            ASSERT_TRUE(s->RequestProcessing());
        ASSERT_TRUE(footage->WaitReached());
    }

    // Opens the gate from another thread a moment later, while this thread
    // blocks on the worker; join the thread returned.
    std::thread ReleaseSoon()
    {
        return std::thread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            footage->Release();
        });
    }

    // A segment at key with the object's true mask as key mask.
    TLSegment& Segment(int key, My::Span span)
    {
        TLSegment* s = Set().CreateSegment(key);
        s->SetMask(Scene(key).object, "Brush");
        s->SetTimeSpan(span.first, span.last);
        return *s;
    }
};

// "Process All" over three segments, the middle one's graph cut failing on
// a key mask too small for its maximum motion: that segment's work ends with
// one warning naming it in the user's words, and the segments queued before
// and after it are calculated. Each gets one done call, on the UI thread.
TEST(SegmentWorker, FailingCalculationEndsOnlyItsSegmentAndTheQueueGoesOn)
{
    test_support::clog_capture log;
    Flow f;
    TLSegment& last = f.Segment(22, { 20, 26 });
    TLSegment& failing = f.Segment(12, { 10, 16 });
    TLSegment& first = f.Segment(4, { 2, 8 });
    img::image<img::bit> speck(kWidth, kHeight, 4);
    speck.fill(false);
    for (unsigned y = 20; y < 23; ++y)
        for (unsigned x = 30; x < 33; ++x)
            speck.at(x, y) = true;
    failing.SetMask(speck, "Brush");
    trm::param params = failing.GetParams();
    params.mincut = true;
    failing.SetParams(params);
    SpanLog events(failing);

    // All three are queued while the first is held.
    f.footage->SetGate(4);
    f.Set().ProcessAll();
    ASSERT_TRUE(f.footage->WaitReached());
    ASSERT_TRUE(first.IsProcessing() && failing.IsProcessing() && last.IsProcessing());
    f.footage->Release();

    ASSERT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
    My::GetMessageQueue().RunPending();
    EXPECT_FALSE(failing.IsProcessing());
    EXPECT_EQ(first.GetDataSpan(), (My::Span { 2, 8 }));
    EXPECT_EQ(last.GetDataSpan(), (My::Span { 20, 26 }));
    EXPECT_EQ(failing.GetDataSpan(), (My::Span { 12, 12 }));
    EXPECT_EQ(f.host.processed, (std::vector<TLSegment*> { &first, &failing, &last }));
    EXPECT_FALSE(events.otherThread);
    ASSERT_EQ(f.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(f.prompts.prompt.texts[0],
        "Segment <10-[12]-16> could not be processed at frame 12:\nEither initial mask has too few "
        "foreground or "
        "background pixels, or maximum motion parameter is too large.");
    EXPECT_EQ(f.prompts.prompt.styles[0], unsigned(My::MB_ICONEXCLAMATION));
    // The engine's own words stay in the log.
    EXPECT_NE(log.text().find("segment <10-[12]-16> could not be processed at frame 12: obligatory "
                              "foreground pixels mask can't be empty"),
        std::string::npos)
        << log.text();

    // The worker takes new work: with a key mask it can cut, the segment
    // is calculated.
    failing.SetMask(Scene(12).object, "Brush");
    ASSERT_TRUE(failing.RequestProcessing());
    ASSERT_TRUE(DrainUntil([&] { return !failing.IsProcessing(); }));
    EXPECT_EQ(failing.GetDataSpan(), (My::Span { 10, 16 }));
    EXPECT_EQ(f.prompts.prompt.texts.size(), 1u);
    EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
}

// Tracking forwards from key frame 12 meets frame 15, which has another size
// than the key mask: the warning names the frame where the calculation
// stopped, the engine's words follow, and the frames done before stay.
TEST(SegmentWorker, CalculationThatFailsWhileTrackingNamesTheFrameAndKeepsTheFramesDone)
{
    Flow f(30, 15);
    TLSegment& s = f.Segment(12, { 8, 20 });
    ASSERT_TRUE(s.RequestProcessing());
    ASSERT_TRUE(DrainUntil([&] { return !s.IsProcessing() && f.processor->IsIdle(); }));
    My::GetMessageQueue().RunPending();
    ASSERT_EQ(f.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(f.prompts.prompt.texts[0],
        "Segment <08-[12]-20> could not be processed at frame 15:\nFrame 15 is 66 x 48 pixels, but the key "
        "mask is 64 x 48 pixels.");
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 8, 15 }));
    for (int frame = 8; frame < 15; ++frame)
        EXPECT_TRUE(s.GetEngine()->has_mask(frame)) << frame;
}

TEST(SegmentWorker, RemovingAQueuedSegmentTellsItAtOnceAndNeverCalculatesIt)
{
    Flow f;
    TLSegment& running = f.Segment(12, { 10, 16 });
    TLSegment& queued = f.Segment(20, { 18, 24 });
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(14, { &running, &queued }));

    queued.StopProcessing(false);
    EXPECT_FALSE(queued.IsProcessing());
    ASSERT_EQ(f.host.processed.size(), 1u);
    EXPECT_EQ(f.host.processed[0], &queued);
    EXPECT_TRUE(running.IsProcessing());

    f.footage->Release();
    ASSERT_TRUE(DrainUntil([&] { return !running.IsProcessing(); }));
    EXPECT_EQ(running.GetDataSpan(), (My::Span { 10, 16 }));
    EXPECT_FALSE(queued.GetEngine()->has_mask(20));
    EXPECT_EQ(f.host.processed.size(), 2u);
}

TEST(SegmentWorker, CancelAllTellsEveryQueuedSegmentEvenWhenAListenerFails)
{
    Flow f;
    TLSegment& running = f.Segment(12, { 10, 24 });
    TLSegment& first = f.Segment(3, { 2, 6 });
    TLSegment& second = f.Segment(30 - 3, { 26, 29 });
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(15, { &running, &first, &second }));
    struct Throwing : My::EventListener {
        void OnEvent(My::Event& e) override
        {
            if (dynamic_cast<My::Segment::StateChange*>(&e))
                throw std::runtime_error("listener failed");
        }
    } throwing;
    first.AddListener(&throwing);

    EXPECT_THROW(f.Set().CancelAll(), std::runtime_error);
    first.RemoveListener(&throwing);
    EXPECT_FALSE(first.IsProcessing());
    EXPECT_FALSE(second.IsProcessing());
    f.footage->Release();
    ASSERT_TRUE(DrainUntil([&] { return !running.IsProcessing(); }));
}

TEST(SegmentWorker, ProcessesASegmentThroughTheEngineAndReportsItOnTheUiThread)
{
    Flow f;
    TLSegment& s = f.Segment(12, { 8, 20 });
    SpanLog log(s);
    EXPECT_FALSE(f.comp->IsProcessing());
    ASSERT_TRUE(s.CanProcess());
    ASSERT_TRUE(s.RequestProcessing());
    EXPECT_TRUE(s.IsProcessing());
    EXPECT_FALSE(s.CanProcess());
    EXPECT_FALSE(s.RequestProcessing());
    EXPECT_EQ(f.host.requested, 1);

    ASSERT_TRUE(DrainUntil([&] { return !s.IsProcessing(); }));
    EXPECT_FALSE(log.otherThread);
    ASSERT_EQ(f.host.processed.size(), 1u);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 8, 20 }));
    for (int k = 8; k < 20; ++k) {
        const auto record = s.GetEngine()->frame_data(k);
        ASSERT_TRUE(record && record->bit_mask.data) << k;
        EXPECT_GT(Overlap(record->bit_mask, Scene(k).object), 0.6) << k;
    }
    // The data span grows with every message and never shrinks.
    ASSERT_FALSE(log.spans.empty());
    for (std::size_t i = 1; i < log.spans.size(); ++i) {
        EXPECT_LE(log.spans[i].first, log.spans[i - 1].first) << i;
        EXPECT_GE(log.spans[i].last, log.spans[i - 1].last) << i;
    }
    EXPECT_GE(f.host.progressFrames.size(), 11u);
    EXPECT_TRUE(f.comp->IsModified());
    EXPECT_FALSE(s.CanProcess());
    EXPECT_TRUE(DrainUntil([&] { return !f.comp->IsProcessing(); }));
}

TEST(SegmentWorker, CancelKeepsPartialResultsAndTellsDoneOnce)
{
    Flow f;
    TLSegment& s = f.Segment(10, { 10, 25 });
    TLSegment& queued = f.Segment(3, { 2, 6 });
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(16, { &s, &queued }));

    f.Set().CancelAll();
    // The queued one is told at once; the running one when it stops.
    EXPECT_FALSE(queued.IsProcessing());
    EXPECT_TRUE(s.IsProcessing());
    f.footage->Release();
    ASSERT_TRUE(DrainUntil([&] { return !s.IsProcessing() && f.processor->IsIdle(); }));
    My::GetMessageQueue().RunPending();

    EXPECT_EQ(std::count(f.host.processed.begin(), f.host.processed.end(), &s), 1);
    EXPECT_EQ(std::count(f.host.processed.begin(), f.host.processed.end(), &queued), 1);
    const My::Span data = s.GetDataSpan();
    EXPECT_EQ(data.first, 10);
    EXPECT_GT(data.last, 11);
    EXPECT_LT(data.last, 25);
    for (int k = data.first; k < data.last; ++k)
        EXPECT_TRUE(s.GetEngine()->has_mask(k)) << k;
    // What is left can be processed later.
    EXPECT_TRUE(s.CanProcess());
}

TEST(SegmentWorker, DeletingAProcessingSegmentWaitsForItAndUndoBringsItBack)
{
    Flow f;
    TLSegment& s = f.Segment(12, { 10, 24 });
    f.host.onCancelling = [&] { f.footage->Release(); };
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(17, { &s }));

    ASSERT_EQ(f.Set().GetSelected(), &s);
    f.Set().DeleteSelected();
    EXPECT_EQ(f.Set().GetCount(), 0);
    EXPECT_FALSE(s.IsProcessing());
    EXPECT_EQ(f.host.processed.size(), 1u);
    EXPECT_EQ(f.host.cancelling, (std::vector<bool> { true, false }));
    EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
    My::GetMessageQueue().RunPending();

    f.comp->GetHistory().Undo();
    ASSERT_EQ(f.Set().GetCount(), 1);
    EXPECT_EQ(f.Set().GetAt(0), &s);
    EXPECT_EQ(f.Set().GetSelected(), &s);
    EXPECT_TRUE(s.GetEngine()->has_mask(12));
}

TEST(SegmentWorker, UndoOfTheMaskWhileProcessingWaitsForTheWorkerFirst)
{
    Flow f;
    TLSegment& s = f.Segment(12, { 10, 24 });
    f.host.onCancelling = [&] { f.footage->Release(); };
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(18, { &s }));

    // The last entry is the time span, which the calculation under way does
    // not depend on; the one before it the mask, whose undo must wait.
    f.comp->GetHistory().Undo();
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 12, 13 }));
    ASSERT_EQ(f.comp->GetHistory().GetUndoName(), "Brush");
    f.comp->GetHistory().Undo();
    EXPECT_FALSE(s.IsProcessing());
    EXPECT_EQ(f.host.processed.size(), 1u);
    EXPECT_EQ(s.GetMask().count(), 0u);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 12, 12 }));
    EXPECT_FALSE(s.GetEngine()->has_mask(12));

    // Redo brings back the mask and the results calculated with it.
    f.comp->GetHistory().Redo();
    EXPECT_EQ(s.GetMask().count(), Scene(12).object.count());
    EXPECT_TRUE(s.GetEngine()->has_mask(12));
    EXPECT_TRUE(s.GetEngine()->has_mask(17));
    EXPECT_EQ(s.GetDataSpan(), s.GetEngine()->segmented());
}

TEST(SegmentWorker, TrimAndParameterEditsOfAProcessedSegmentUndoAndRedo)
{
    Flow f;
    TLSegment& s = f.Segment(12, { 8, 20 });
    ASSERT_TRUE(s.RequestProcessing());
    ASSERT_TRUE(DrainUntil([&] { return !s.IsProcessing(); }));
    ASSERT_EQ(s.GetDataSpan(), (My::Span { 8, 20 }));
    const auto processed = s.GetEngine();

    s.SetTimeSpan(10, 16);
    s.TrimData();
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 16 }));
    EXPECT_FALSE(s.GetEngine()->has_mask(9));
    EXPECT_FALSE(s.GetEngine()->has_mask(16));
    f.comp->GetHistory().Undo();
    EXPECT_EQ(s.GetEngine(), processed);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 8, 20 }));
    f.comp->GetHistory().Redo();
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 16 }));
    const auto trimmed = s.GetEngine();

    // New parameters drop the results; undoing them while the segment is
    // processed again waits for the worker, then the trimmed state is back.
    trm::param p;
    p.dilation_erosion = 1;
    s.SetParams(p);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 12, 12 }));
    f.host.onCancelling = [&] { f.footage->Release(); };
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(14, { &s }));
    f.comp->GetHistory().Undo();
    EXPECT_FALSE(s.IsProcessing());
    EXPECT_EQ(s.GetEngine(), trimmed);
    EXPECT_EQ(s.GetParams().dilation_erosion, 0);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 16 }));
    f.comp->GetHistory().Redo();
    EXPECT_EQ(s.GetParams().dilation_erosion, 1);
    EXPECT_EQ(s.GetDataSpan(), s.GetEngine()->segmented());
    EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
}

// Bounds typed past the footage's end are kept to it, so the calculation
// never asks for a frame the footage lacks and the segment queued behind it
// is calculated too.
TEST(SegmentWorker, BoundsPastTheFootageNeverFailTheCalculationOrTheSegmentsQueuedBehind)
{
    Flow f(30);
    TLSegment& wide = f.Segment(25, { 23, 28 });
    TLSegment& queued = f.Segment(12, { 10, 14 });
    wide.SetTimeSpan(23, 40);
    ASSERT_TRUE(wide.RequestProcessing());
    ASSERT_TRUE(queued.RequestProcessing());
    ASSERT_TRUE(DrainUntil([&] { return !wide.IsProcessing() && !queued.IsProcessing(); }));
    ASSERT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
    My::GetMessageQueue().RunPending();
    EXPECT_TRUE(f.prompts.prompt.texts.empty()) << f.prompts.prompt.texts.front();
    EXPECT_EQ(wide.GetDataSpan(), (My::Span { 23, 30 }));
    EXPECT_EQ(queued.GetDataSpan(), (My::Span { 10, 14 }));
}

// A request that fails after the segment was marked (here a listener of the
// state change throws) leaves it idle: it can be edited, requested again and
// closed, where a segment left marked would be waited for without end.
TEST(SegmentWorker, RequestThatThrowsLeavesTheSegmentIdleAndClosable)
{
    Flow f;
    TLSegment& s = f.Segment(12, { 10, 16 });
    struct Throwing : My::EventListener {
        bool armed = true;
        void OnEvent(My::Event& e) override
        {
            if (armed && dynamic_cast<My::Segment::StateChange*>(&e)) {
                armed = false;
                throw std::runtime_error("listener failed");
            }
        }
    } throwing;
    s.AddListener(&throwing);
    EXPECT_THROW(s.RequestProcessing(), std::runtime_error);
    s.RemoveListener(&throwing);
    if (s.IsProcessing()) {
        // Unstick the segment, or the composition's close would wait for it
        // for ever.
        s.OnProcessingDone();
        FAIL() << "the segment is left marked as processing";
    }
    EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
    EXPECT_TRUE(s.CanProcess());
    ASSERT_TRUE(s.RequestProcessing());
    ASSERT_TRUE(DrainUntil([&] { return !s.IsProcessing(); }));
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 16 }));
    f.comp->Close();
    EXPECT_EQ(f.Set().GetCount(), 0);
}

// "Process All" queues every segment even when the request of one fails,
// and reports that failure afterwards.
TEST(SegmentWorker, ProcessAllQueuesTheOthersWhenOneRequestFails)
{
    Flow f;
    TLSegment& late = f.Segment(20, { 18, 22 });
    TLSegment& failing = f.Segment(12, { 10, 14 });
    TLSegment& early = f.Segment(5, { 3, 7 });
    struct Throwing : My::EventListener {
        void OnEvent(My::Event& e) override
        {
            if (dynamic_cast<My::Segment::StateChange*>(&e))
                throw std::runtime_error("listener failed");
        }
    } throwing;
    failing.AddListener(&throwing);
    EXPECT_THROW(f.Set().ProcessAll(), std::runtime_error);
    failing.RemoveListener(&throwing);
    ASSERT_TRUE(DrainUntil([&] { return !early.IsProcessing() && !late.IsProcessing(); }));
    EXPECT_FALSE(failing.IsProcessing());
    EXPECT_EQ(early.GetDataSpan(), (My::Span { 3, 7 }));
    EXPECT_EQ(late.GetDataSpan(), (My::Span { 18, 22 }));
    EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
}

// A message for the UI thread that throws while closing waits for a running
// segment: the wait goes on until the segment is idle, and only then is the
// segment deleted, so no later message of the worker reaches freed memory.
TEST(SegmentWorker, AThrowingMessageNeverCutsShortTheWaitBeforeASegmentIsFreed)
{
    struct Throwing : My::Message {
        void Execute() override { throw std::runtime_error("message failed"); }
    };
    for (const bool deleting : { false, true }) {
        Flow f;
        TLSegment& s = f.Segment(12, { 10, 24 });
        ASSERT_NO_FATAL_FAILURE(f.HoldAt(17, { &s }));
        My::GetMessageQueue().Post(std::make_unique<Throwing>());
        // The worker goes on only a moment after the wait began, so what it
        // posts then finds the segment still there, or not.
        std::thread releaser = f.ReleaseSoon();
        if (deleting) {
            // The delete is refused with the failure and the segment stays.
            ASSERT_EQ(f.Set().GetSelected(), &s);
            EXPECT_THROW(f.Set().DeleteSelected(), std::runtime_error);
            ASSERT_EQ(f.Set().GetCount(), 1);
            EXPECT_EQ(f.Set().GetAt(0), &s);
        } else {
            f.comp->Close();
            EXPECT_EQ(f.Set().GetCount(), 0);
        }
        releaser.join();
        // The segment's done call ran before it went.
        EXPECT_EQ(f.host.processed, (std::vector<TLSegment*> { &s })) << deleting;
        EXPECT_EQ(f.host.cancelling, (std::vector<bool> { true, false }));
        // Whatever the worker posted still runs safely.
        EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
        My::GetMessageQueue().RunPending();
        if (deleting) {
            EXPECT_FALSE(s.IsProcessing());
            f.Set().DeleteSelected();
            EXPECT_EQ(f.Set().GetCount(), 0);
            f.comp->GetHistory().Undo();
            EXPECT_EQ(f.Set().GetAt(0), &s);
        }
    }
}

// Writing parameters equal to the current ones (a parameter field left
// without a change) neither stops the calculation nor records anything.
TEST(SegmentWorker, UnchangedParametersLeaveTheCalculationRunning)
{
    Flow f;
    TLSegment& s = f.Segment(12, { 10, 24 });
    f.host.onCancelling = [&] { f.footage->Release(); };
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(16, { &s }));
    const std::size_t entries = f.comp->GetHistory().GetCount();
    s.SetParams(s.GetParams());
    EXPECT_TRUE(s.IsProcessing());
    EXPECT_TRUE(f.host.cancelling.empty());
    EXPECT_EQ(f.comp->GetHistory().GetCount(), entries);
    f.footage->Release();
    ASSERT_TRUE(DrainUntil([&] { return !s.IsProcessing(); }));
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 10, 24 }));
    EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
}

TEST(SegmentWorker, ClosingTheProjectWithConsentCancelsEverythingAndWaitsForIdle)
{
    Flow f;
    TLSegment& running = f.Segment(12, { 10, 24 });
    TLSegment& queued = f.Segment(3, { 2, 6 });
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(15, { &running, &queued }));

    std::thread releaser = f.ReleaseSoon();
    EXPECT_TRUE(f.comp->CanClose());
    releaser.join();
    EXPECT_FALSE(running.IsProcessing());
    EXPECT_FALSE(queued.IsProcessing());
    EXPECT_FALSE(f.comp->IsProcessing());
    f.comp->Close();
    EXPECT_EQ(f.Set().GetCount(), 0);
}

TEST(SegmentWorker, ClosingDetachesProcessingSegmentsBeforeDeletingThem)
{
    Flow f;
    TLSegment& running = f.Segment(12, { 10, 24 });
    TLSegment& queued = f.Segment(3, { 2, 6 });
    f.host.onCancelling = [&] { f.footage->Release(); };
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(15, { &running, &queued }));

    f.comp->Close();
    EXPECT_EQ(f.Set().GetCount(), 0);
    EXPECT_EQ(f.host.processed.size(), 2u);
    EXPECT_TRUE(DrainUntil([&] { return f.processor->IsIdle(); }));
    My::GetMessageQueue().RunPending();
}

TEST(SegmentWorker, DestroyingTheWorkerTellsTheQueuedSegmentsAndStopsTheRunningOne)
{
    Flow f;
    TLSegment& running = f.Segment(12, { 10, 24 });
    TLSegment& queued = f.Segment(3, { 2, 6 });
    ASSERT_NO_FATAL_FAILURE(f.HoldAt(15, { &running, &queued }));

    std::thread releaser = f.ReleaseSoon();
    f.processor.reset();
    releaser.join();
    EXPECT_FALSE(queued.IsProcessing());
    // The running one's completion was posted before the thread ended.
    My::GetMessageQueue().RunPending();
    EXPECT_FALSE(running.IsProcessing());
    EXPECT_LT(running.GetDataSpan().last, 24);
    // Nothing refers to the worker any more.
    f.Set().Clear();
}

} // namespace
