#pragma once

#include <cstdint>

namespace platform {

// The high-resolution performance counter: ticks of a monotonic clock that
// never goes back and does not follow changes of the wall-clock time. Its
// origin is arbitrary; only differences mean something.
std::int64_t performance_counter();

// Ticks of performance_counter per second; constant for the process.
std::int64_t performance_frequency();

// Processor time (user + kernel) spent by the calling thread since it
// started, in 100 ns units.
std::uint64_t thread_cpu_time();

} // namespace platform
