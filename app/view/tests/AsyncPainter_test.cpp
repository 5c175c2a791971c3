// The painter hand-over: requests equal to the frame shown or pending cost
// nothing, results reach the UI only through the message queue, overtaken
// results are dropped, and a failed fetch is shown as its stand-in.

#include "app/view/AsyncPainter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct Key {
    int frame;
};

struct Image {
    int frame;
};

// A fetch that waits at a gate, so tests decide when painting ends.
struct Gate {
    std::mutex lock;
    std::condition_variable changed;
    int open = 0;
    std::vector<int> fetched;
    std::thread::id thread;

    boost::shared_ptr<Image> Fetch(const boost::shared_ptr<Key>& key)
    {
        std::unique_lock<std::mutex> l(lock);
        fetched.push_back(key->frame);
        thread = std::this_thread::get_id();
        changed.notify_all();
        changed.wait(l, [&] { return open > 0; });
        --open;
        if (key->frame < 0)
            throw std::runtime_error("footage read error");
        return boost::shared_ptr<Image>(new Image { key->frame });
    }
    void Release(int n = 1)
    {
        std::lock_guard<std::mutex> l(lock);
        open += n;
        changed.notify_all();
    }
    void WaitFetched(std::size_t n)
    {
        std::unique_lock<std::mutex> l(lock);
        changed.wait(l, [&] { return fetched.size() >= n; });
    }
};

using Painter = My::AsyncPainter<Key, Image>;

struct PainterTest : ::testing::Test {
    boost::shared_ptr<Key> K(int frame) { return boost::shared_ptr<Key>(new Key { frame }); }

    // Waits for the painter and runs what it posted.
    void Settle(Painter& p)
    {
        p.WaitIdle();
        queue.RunPending();
    }

    My::MessageQueue queue;
    Gate gate;
    int deliveries = 0;
    std::unique_ptr<Painter> painter
        = std::make_unique<Painter>([this](const boost::shared_ptr<Key>& k, int) { return gate.Fetch(k); },
            [](const boost::shared_ptr<Key>& k) {
                return boost::shared_ptr<Image>(new Image { -1000 - k->frame });
            },
            [](const Key& a, const Key& b) { return a.frame == b.frame; }, [this] { ++deliveries; }, queue);
};

} // namespace

// A frame that cannot be read never passes for the frame before: its
// stand-in is delivered like a picture, and the next frame paints again.
TEST_F(PainterTest, FailedFetchDeliversTheStandInInsteadOfKeepingTheFrameShown)
{
    gate.Release(1);
    painter->Request(K(1));
    Settle(*painter);
    ASSERT_EQ(painter->GetReady().image->frame, 1);
    gate.Release(1);
    painter->Request(K(-1));
    Settle(*painter);
    ASSERT_TRUE(painter->GetReady().image);
    EXPECT_EQ(painter->GetReady().image->frame, -999);
    EXPECT_EQ(painter->GetReady().key->frame, -1);
    EXPECT_FALSE(painter->IsBusy());
    EXPECT_EQ(deliveries, 2);
    bool first = false;
    painter->Take(&first);
    EXPECT_TRUE(first);
    // Asked again, the stand-in is what is shown; the frame after paints.
    EXPECT_EQ(painter->Request(K(-1)), Painter::Outcome::Shown);
    gate.Release(1);
    painter->Request(K(2));
    Settle(*painter);
    EXPECT_EQ(painter->GetReady().image->frame, 2);
}

TEST_F(PainterTest, EmptyKeyClearsTheBufferAndStartsNoPainting)
{
    EXPECT_EQ(painter->Request({}), Painter::Outcome::Shown);
    gate.Release(1);
    painter->Request(K(3));
    Settle(*painter);
    EXPECT_EQ(painter->Request({}), Painter::Outcome::Cleared);
    EXPECT_FALSE(painter->GetReady().image);
    EXPECT_EQ(painter->GetWakeCount(), 1);
}

TEST_F(PainterTest, SameFrameTwiceWakesThePainterOnceAndNothingOnceShown)
{
    EXPECT_EQ(painter->Request(K(5)), Painter::Outcome::Started);
    EXPECT_EQ(painter->Request(K(5)), Painter::Outcome::Pending);
    gate.Release(1);
    Settle(*painter);
    EXPECT_EQ(painter->Request(K(5)), Painter::Outcome::Shown);
    EXPECT_EQ(painter->GetWakeCount(), 1);
    EXPECT_EQ(gate.fetched, std::vector<int> { 5 });
    EXPECT_NE(gate.thread, std::this_thread::get_id());
}

TEST_F(PainterTest, ScrubbingPaintsTheFrameUnderWayThenOnlyTheLastOne)
{
    painter->Request(K(0));
    gate.WaitFetched(1);
    for (int f = 1; f <= 9; ++f)
        painter->Request(K(f));
    gate.Release(2);
    Settle(*painter);
    EXPECT_EQ(gate.fetched, (std::vector<int> { 0, 9 }));
    // Frame 0 was overtaken: only frame 9 was delivered.
    EXPECT_EQ(deliveries, 1);
    bool first = false;
    EXPECT_EQ(painter->Take(&first).image->frame, 9);
    EXPECT_TRUE(first);
    painter->Take(&first);
    EXPECT_FALSE(first);
}

TEST_F(PainterTest, ResultsWaitInTheQueueAndAreDiscardedWithThePainter)
{
    gate.Release(1);
    painter->Request(K(2));
    painter->WaitIdle();
    // Nothing reaches the UI before it runs its queue.
    EXPECT_EQ(deliveries, 0);
    EXPECT_TRUE(painter->IsBusy());
    EXPECT_EQ(queue.GetCount(), 1u);
    painter.reset();
    EXPECT_EQ(queue.GetCount(), 0u);
}
