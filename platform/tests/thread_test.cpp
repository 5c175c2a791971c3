#include "platform/kernel/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include <sys/resource.h>

#include "platform/kernel/event.h"
#include "platform/kernel/system_error.h"
#include "platform/tests/priority_test_support.h"

namespace {

struct probe {
    platform::event started { true, false };
    platform::event release { true, false };
    std::atomic<int> runs { 0 };
    std::atomic<int> priority_seen { 99 };
};

unsigned run_probe(void* argument)
{
    auto* p = static_cast<probe*>(argument);
    ++p->runs;
    p->priority_seen = platform::current_thread_priority();
    p->started.set();
    p->release.wait();
    return 42;
}

using priority_testing::nice_of;

TEST(KernelThread, StartsOnlyWhenResumedAndJoinsWithItsExitCode)
{
    probe p;
    platform::thread t;
    ASSERT_TRUE(t.create(&run_probe, &p));
    EXPECT_NE(t.id(), 0);
    // Bounded look for a start that must not happen before resume.
    EXPECT_FALSE(p.started.wait(50));
    EXPECT_EQ(p.runs, 0);

    t.resume();
    t.resume();
    ASSERT_TRUE(p.started.wait());
    EXPECT_FALSE(t.wait(0)) << "a running thread is not signalled";
    p.release.set();
    EXPECT_EQ(t.join(), 42u);
    EXPECT_TRUE(t.wait(0));
    EXPECT_EQ(t.join(), 42u);
    EXPECT_EQ(p.runs, 1);
}

TEST(KernelThread, HandleWithoutThreadJoinsAtOnceAndRefusesASecondCreate)
{
    platform::thread none;
    EXPECT_FALSE(none.created());
    EXPECT_EQ(none.join(), 0u);
    EXPECT_EQ(none.id(), 0);

    probe p;
    p.release.set();
    platform::thread t;
    ASSERT_TRUE(t.create(&run_probe, &p));
    platform::set_last_error(0);
    EXPECT_FALSE(t.create(&run_probe, &p));
    EXPECT_EQ(platform::last_error(), EINVAL);
    t.resume();
    EXPECT_EQ(t.join(), 42u);
    EXPECT_EQ(p.runs, 1);
}

TEST(KernelThread, ClosedHandleLetsARunningThreadFinish)
{
    // The thread shares the probe, as nobody can join it any more.
    auto p = std::make_shared<probe>();
    {
        platform::thread t;
        ASSERT_TRUE(t.create(
            [](void* argument) -> unsigned {
                const std::unique_ptr<std::shared_ptr<probe>> shared(
                    static_cast<std::shared_ptr<probe>*>(argument));
                return run_probe(shared->get());
            },
            new std::shared_ptr<probe>(p)));
        t.resume();
        ASSERT_TRUE(p->started.wait());
    }
    p->release.set();
    EXPECT_EQ(p->runs, 1);
}

// Read by the destructor of a thread-local object, which runs after the
// procedure has returned and the thread has let go of its handle's state.
std::atomic<int> g_priority_at_exit { 99 };

struct priority_reader_at_exit {
    ~priority_reader_at_exit() { g_priority_at_exit = platform::current_thread_priority(); }
};

TEST(KernelThread, PriorityStaysReadableAfterTheProcedureOfAClosedHandle)
{
    g_priority_at_exit = 99;
    auto p = std::make_shared<probe>();
    {
        platform::thread t;
        ASSERT_TRUE(t.create(
            [](void* argument) -> unsigned {
                thread_local priority_reader_at_exit reader;
                (void)reader;
                const std::unique_ptr<std::shared_ptr<probe>> shared(
                    static_cast<std::shared_ptr<probe>*>(argument));
                return run_probe(shared->get());
            },
            new std::shared_ptr<probe>(p)));
        t.set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
        t.resume();
        ASSERT_TRUE(p->started.wait());
    }
    p->release.set();
    for (int i = 0; i < 500 && g_priority_at_exit == 99; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(g_priority_at_exit, platform::THREAD_PRIORITY_BELOW_NORMAL);
}

TEST(KernelThread, LoweredPriorityIsSeenByTheThreadAndRaisingBackNeverFails)
{
    probe p;
    platform::thread t;
    ASSERT_TRUE(t.create(&run_probe, &p));
    const int nice_before = nice_of(t.id());
    t.set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(t.priority(), platform::THREAD_PRIORITY_BELOW_NORMAL);
    const int nice_lowered = nice_of(t.id());
    EXPECT_GT(nice_lowered, nice_before);

    t.resume();
    ASSERT_TRUE(p.started.wait());
    EXPECT_EQ(p.priority_seen, platform::THREAD_PRIORITY_BELOW_NORMAL);

    // Raising back is permitted for privileged processes only; either way
    // the priority never drops further and the call returns normally.
    t.set_priority(platform::THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(t.priority(), platform::THREAD_PRIORITY_NORMAL);
    const int nice_after = nice_of(t.id());
    EXPECT_LE(nice_after, nice_lowered);
    EXPECT_GE(nice_after, nice_before);
    p.release.set();
    t.join();
}

TEST(KernelThread, CurrentThreadPriorityIsNormalUntilSet)
{
    int seen_before = 99;
    int seen_after = 99;
    platform::thread t;
    struct context {
        int* before;
        int* after;
    } c { &seen_before, &seen_after };
    ASSERT_TRUE(t.create(
        [](void* argument) -> unsigned {
            auto* c = static_cast<context*>(argument);
            *c->before = platform::current_thread_priority();
            platform::set_current_thread_priority(platform::THREAD_PRIORITY_LOWEST);
            *c->after = platform::current_thread_priority();
            return 0;
        },
        &c));
    t.resume();
    t.join();
    EXPECT_EQ(seen_before, platform::THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(seen_after, platform::THREAD_PRIORITY_LOWEST);
    EXPECT_EQ(t.priority(), platform::THREAD_PRIORITY_LOWEST);
}

// Without the right to raise priorities a lowering is for good: a thread
// kept raisable then stays where it was, whatever priority it is given,
// while a plain thread is still lowered.
TEST(KernelThread, RaisableThreadIsNeverLoweredForGoodWithoutTheRightToRaise)
{
    bool ordinary = true;
    std::thread user([&] {
        ordinary = priority_testing::become_ordinary_user();
        if (!ordinary)
            return;
        probe p;
        platform::thread kept;
        ASSERT_TRUE(kept.create(&run_probe, &p));
        kept.keep_raisable();
        const int before = nice_of(kept.id());
        kept.set_priority(platform::THREAD_PRIORITY_LOWEST);
        EXPECT_EQ(kept.priority(), platform::THREAD_PRIORITY_LOWEST);
        EXPECT_EQ(nice_of(kept.id()), before);
        kept.resume();
        ASSERT_TRUE(p.started.wait());
        EXPECT_EQ(p.priority_seen, platform::THREAD_PRIORITY_LOWEST);
        kept.set_priority(platform::THREAD_PRIORITY_NORMAL);
        EXPECT_EQ(nice_of(kept.id()), before);
        p.release.set();
        kept.join();

        probe q;
        platform::thread plain;
        ASSERT_TRUE(plain.create(&run_probe, &q));
        plain.set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
        EXPECT_GT(nice_of(plain.id()), before);
        plain.set_priority(platform::THREAD_PRIORITY_NORMAL);
        EXPECT_GT(nice_of(plain.id()), before) << "an ordinary user raised a priority";
        q.release.set();
        plain.resume();
        plain.join();
    });
    user.join();
    if (!ordinary)
        GTEST_SKIP() << "this process may raise priorities";
}

TEST(KernelThread, RaisableThreadFollowsItsPriorityWhereRaisingIsPermitted)
{
    probe p;
    platform::thread t;
    ASSERT_TRUE(t.create(&run_probe, &p));
    t.keep_raisable();
    const int before = nice_of(t.id());
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(t.id()), before + 1) != 0
        || setpriority(PRIO_PROCESS, static_cast<id_t>(t.id()), before) != 0) {
        p.release.set();
        t.join();
        GTEST_SKIP() << "this process may not raise priorities";
    }
    t.set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_GT(nice_of(t.id()), before);
    t.set_priority(platform::THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(nice_of(t.id()), before);
    p.release.set();
    t.resume();
    t.join();
}

} // namespace
