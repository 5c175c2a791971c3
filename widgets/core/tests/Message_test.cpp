#include "widgets/core/Message.h"

#include "platform/kernel/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct Target {
    std::vector<int> seen;
};

class Call : public My::Message {
public:
    Call(Target* target, int value, int* deleted = nullptr)
        : m_target(target)
        , m_value(value)
        , m_deleted(deleted)
    {
    }
    ~Call() override
    {
        if (m_deleted)
            ++*m_deleted;
    }
    void Execute() override
    {
        if (m_value < 0)
            throw std::runtime_error("message failed");
        m_target->seen.push_back(m_value);
    }
    const void* GetTarget() const override { return m_target; }

private:
    Target* m_target;
    int m_value;
    int* m_deleted;
};

} // namespace

TEST(MessageQueue, ThrowingMessageIsDeletedAndTheRestStayQueued)
{
    My::MessageQueue queue;
    Target t;
    int deleted = 0;
    queue.Post(std::make_unique<Call>(&t, 1, &deleted));
    queue.Post(std::make_unique<Call>(&t, -1, &deleted));
    queue.Post(std::make_unique<Call>(&t, 3, &deleted));
    EXPECT_THROW(queue.RunPending(), std::runtime_error);
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(queue.GetCount(), 1u);
    EXPECT_EQ(queue.RunPending(), 1u);
    EXPECT_EQ(t.seen, (std::vector<int> { 1, 3 }));
}

TEST(MessageQueue, DiscardDropsOnlyTheMessagesOfTheGoneTarget)
{
    My::MessageQueue queue;
    Target gone, kept;
    int deleted = 0;
    queue.Post(std::make_unique<Call>(&gone, 1, &deleted));
    queue.Post(std::make_unique<Call>(&kept, 2, &deleted));
    queue.Post(std::make_unique<Call>(&gone, 3, &deleted));
    queue.Discard(&gone);
    queue.Discard(nullptr);
    EXPECT_EQ(deleted, 2);
    queue.RunPending();
    EXPECT_TRUE(gone.seen.empty());
    EXPECT_EQ(kept.seen, (std::vector<int> { 2 }));
}

TEST(MessageQueue, ClearAndDestructionDeleteWithoutExecuting)
{
    Target t;
    int deleted = 0;
    {
        My::MessageQueue queue;
        queue.Post(std::make_unique<Call>(&t, 1, &deleted));
        queue.Clear();
        EXPECT_EQ(deleted, 1);
        queue.Post(std::make_unique<Call>(&t, 2, &deleted));
        queue.Post(nullptr);
    }
    EXPECT_EQ(deleted, 2);
    EXPECT_TRUE(t.seen.empty());
}

TEST(MessageQueue, MessagesPostedWhileRunningWaitForTheNextRun)
{
    My::MessageQueue queue;
    Target t;
    struct Repost : My::Message {
        My::MessageQueue* q;
        Target* t;
        void Execute() override
        {
            t->seen.push_back(0);
            auto again = std::make_unique<Repost>();
            again->q = q;
            again->t = t;
            q->Post(std::move(again));
        }
    };
    auto first = std::make_unique<Repost>();
    first->q = &queue;
    first->t = &t;
    queue.Post(std::move(first));
    EXPECT_EQ(queue.RunPending(), 1u);
    EXPECT_EQ(queue.GetCount(), 1u);
    queue.Clear();
}

// Run by the wait's first pass, as a worker would finish while the UI
// thread runs its messages: posts a last message, then signals.
class Finish : public My::Message {
public:
    Finish(My::MessageQueue* queue, Target* target, platform::event* done)
        : m_queue(queue)
        , m_target(target)
        , m_done(done)
    {
    }
    void Execute() override
    {
        m_queue->Post(std::make_unique<Call>(m_target, 7));
        m_done->set();
    }
    const void* GetTarget() const override { return m_target; }

private:
    My::MessageQueue* m_queue;
    Target* m_target;
    platform::event* m_done;
};

TEST(MessageQueue, WaitRunsWhatWasPostedBeforeTheObjectWasSignalled)
{
    My::MessageQueue queue;
    Target t;
    platform::event done(true, false);
    queue.Post(std::make_unique<Finish>(&queue, &t, &done));
    My::WaitRunningMessages(done, queue);
    EXPECT_EQ(t.seen, (std::vector<int> { 7 }));
    EXPECT_EQ(queue.GetCount(), 0u);
}

TEST(MessageQueue, PostsFromWorkersRunInOrderOnTheWaitingThread)
{
    My::MessageQueue queue;
    Target t;
    std::atomic<int> woken { 0 };
    queue.SetWakeHandler([&] { ++woken; });
    platform::event done(true, false);
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            queue.Post(std::make_unique<Call>(&t, i));
        done.set();
    });
    My::WaitRunningMessages(done, queue);
    worker.join();
    queue.RunPending();
    ASSERT_EQ(t.seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(t.seen[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(woken.load(), 100);
}
