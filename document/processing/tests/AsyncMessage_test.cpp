// Messages handed to the UI thread: calls with their stored arguments,
// discarding what is queued for a target that goes away, and deletion of a
// finished job exactly once whether the message runs or is dropped.

#include "document/processing/AsyncMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Target {
    std::vector<std::string> calls;
    void Done() { calls.push_back("done"); }
    void Progress(std::string text, int frame) { calls.push_back(text + std::to_string(frame)); }
};

struct Job {
    explicit Job(int* deletions_)
        : deletions(deletions_)
    {
    }
    virtual ~Job() { ++*deletions; }
    int* deletions;
};

TEST(AsyncMessage, MessagesForATargetThatWentAwayAreDiscardedUnexecuted)
{
    My::MessageQueue queue;
    Target kept;
    Target gone;
    My::PostCall(&gone, &Target::Done, queue);
    My::PostCall2<Target, std::string, int>(&kept, &Target::Progress, "frame ", 4, queue);
    My::PostCall2<Target, std::string, int>(&gone, &Target::Progress, "frame ", 5, queue);
    queue.Discard(&gone);
    EXPECT_EQ(queue.RunPending(), 1u);
    EXPECT_TRUE(gone.calls.empty());
    EXPECT_EQ(kept.calls, (std::vector<std::string> { "frame 4" }));
}

TEST(AsyncMessage, CallsPostedFromAnotherThreadRunInPostingOrder)
{
    My::MessageQueue queue;
    Target target;
    std::thread worker([&] {
        for (int frame = 0; frame < 50; ++frame)
            My::PostCall2<Target, std::string, int>(&target, &Target::Progress, "", frame, queue);
        My::PostCall(&target, &Target::Done, queue);
    });
    worker.join();
    queue.RunPending();
    ASSERT_EQ(target.calls.size(), 51u);
    for (int frame = 0; frame < 50; ++frame)
        EXPECT_EQ(target.calls[static_cast<std::size_t>(frame)], std::to_string(frame));
    EXPECT_EQ(target.calls.back(), "done");
}

TEST(AsyncMessage, AFinishedJobIsDeletedOnceWhetherItsMessageRunsOrIsDropped)
{
    int deletions = 0;
    {
        My::MessageQueue queue;
        My::PostDelete(new Job(&deletions), queue);
        My::PostDelete(new Job(&deletions), queue);
        EXPECT_EQ(queue.RunPending(), 2u);
        EXPECT_EQ(deletions, 2);
        My::PostDelete(new Job(&deletions), queue);
    }
    EXPECT_EQ(deletions, 3);
}

} // namespace
