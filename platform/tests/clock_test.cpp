#include "platform/kernel/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(clock, PerformanceCounterIsMonotonicAtItsFrequency)
{
    const std::int64_t frequency = platform::performance_frequency();
    ASSERT_GT(frequency, 0);
    const std::int64_t before = platform::performance_counter();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::int64_t after = platform::performance_counter();
    // At least the time slept; the upper side is left to scheduling.
    EXPECT_GE(after - before, frequency / 50);
}

TEST(clock, ThreadTimeCountsWorkNotSleep)
{
    const std::uint64_t start = platform::thread_cpu_time();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint64_t slept = platform::thread_cpu_time() - start;
    // Sleeping costs far less processor time than the 500 000 units slept.
    EXPECT_LT(slept, 250000u);

    volatile std::uint64_t sink = 0;
    const std::uint64_t busy_start = platform::thread_cpu_time();
    while (platform::thread_cpu_time() - busy_start < 100000)
        sink = sink + 1;
    EXPECT_GE(platform::thread_cpu_time() - busy_start, 100000u);
}
