#include "platform/kernel/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/kernel/critical_section.h"
#include "platform/kernel/event.h"

namespace {

using platform::event;
using platform::wait_for_multiple;
using platform::wait_timeout;

TEST(KernelEvent, AutoResetIsConsumedByOneWaitAndManualResetStaysSet)
{
    event automatic(false, true);
    EXPECT_TRUE(automatic.wait(0));
    EXPECT_FALSE(automatic.wait(0));
    automatic.set();
    automatic.set();
    EXPECT_TRUE(automatic.wait(0));
    EXPECT_FALSE(automatic.wait(0));

    event manual(true, false);
    EXPECT_FALSE(manual.wait(0));
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0));
    manual.reset();
    EXPECT_FALSE(manual.wait(0));
}

TEST(KernelEvent, WaitWithTimeOutReturnsFalseWhenNothingComes)
{
    event never(true, false);
    EXPECT_FALSE(never.wait(20));
}

TEST(KernelEvent, SetOnAnotherThreadWakesAWaiter)
{
    event request(false, false);
    event answer(false, false);
    // Ping-pong: a lost wake-up would hang here.
    std::thread partner([&] {
        for (int i = 0; i < 2000; ++i) {
            request.wait();
            answer.set();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        request.set();
        ASSERT_TRUE(answer.wait());
    }
    partner.join();
}

TEST(KernelEvent, OneSetOfAnAutoResetEventReleasesOneOfTwoWaiters)
{
    event gate(false, false);
    event woke(false, false);
    std::atomic<int> released { 0 };
    auto waiter = [&] {
        gate.wait();
        ++released;
        woke.set();
    };
    std::thread first(waiter);
    std::thread second(waiter);
    gate.set();
    ASSERT_TRUE(woke.wait());
    EXPECT_EQ(released, 1);
    gate.set();
    ASSERT_TRUE(woke.wait());
    first.join();
    second.join();
    EXPECT_EQ(released, 2);
}

TEST(KernelWaitForMultiple, AnyReturnsTheLowestSignalledIndexOrTimeout)
{
    event a(false, false);
    event b(true, true);
    event c(false, true);
    EXPECT_EQ(wait_for_multiple({ &a, &b, &c }, false, 0), 1);
    EXPECT_EQ(wait_for_multiple({ &a, &c }, false, 0), 1);
    EXPECT_EQ(wait_for_multiple({ &a, &c }, false, 0), wait_timeout) << "c was consumed";
    EXPECT_EQ(wait_for_multiple({ &a, &c }, false, 20), wait_timeout);
}

TEST(KernelWaitForMultiple, AnyIsWokenBySetOnAnotherThread)
{
    event a(false, false);
    event b(false, false);
    int index = -2;
    std::thread waiter([&] { index = wait_for_multiple({ &a, &b }, false); });
    b.set();
    waiter.join();
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(b.wait(0));
}

TEST(KernelWaitForMultiple, AllWaitsForEveryObjectAndOnlyThenConsumes)
{
    event automatic(false, true);
    event manual(true, false);
    EXPECT_EQ(wait_for_multiple({ &automatic, &manual }, true, 0), wait_timeout);
    EXPECT_TRUE(automatic.wait(0)) << "a failed wait for all consumes nothing";
    automatic.set();

    int result = -2;
    std::thread waiter([&] { result = wait_for_multiple({ &automatic, &manual }, true); });
    manual.set();
    waiter.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(automatic.wait(0));
    EXPECT_TRUE(manual.wait(0));
}

TEST(KernelCriticalSection, OwnerMayEnterAgainWhileOthersWait)
{
    platform::critical_section section;
    section.lock();
    section.lock();
    bool taken = true;
    std::thread other([&] { taken = section.try_lock(); });
    other.join();
    EXPECT_FALSE(taken);
    section.unlock();
    section.unlock();
    std::thread again([&] {
        std::lock_guard lock(section);
        taken = true;
    });
    again.join();
    EXPECT_TRUE(taken);
}

} // namespace
