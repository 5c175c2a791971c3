#include "platform/kernel/clock.h"

#include <time.h>

namespace platform {

namespace {

constexpr std::int64_t nanoseconds_per_second = 1000000000;

std::int64_t nanoseconds(clockid_t clock)
{
    timespec now {};
    // Both clocks used here exist on every Linux the program runs on, and the
    // argument is valid, so the call cannot fail.
    clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * nanoseconds_per_second + now.tv_nsec;
}

} // namespace

std::int64_t performance_counter()
{
    return nanoseconds(CLOCK_MONOTONIC);
}

std::int64_t performance_frequency()
{
    return nanoseconds_per_second;
}

std::uint64_t thread_cpu_time()
{
    return static_cast<std::uint64_t>(nanoseconds(CLOCK_THREAD_CPUTIME_ID)) / 100;
}

} // namespace platform
