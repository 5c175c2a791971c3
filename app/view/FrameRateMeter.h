#pragma once

// The frame rate of playback as the time controls show it: the frames
// delivered during about the last second, on a monotonic clock.

#include <chrono>
#include <deque>
#include <string>

namespace My {

class FrameRateMeter {
public:
    using Clock = std::chrono::steady_clock;

    // Records a delivery at `now` (milliseconds of a monotonic clock) and
    // answers the label suffix: "fps (25.0 fps)", or "fps" while the rate is
    // 0 (fewer than two deliveries, or all at the same millisecond).
    std::string Deliver(long long now_ms);
    std::string Deliver();
    // Playback stopped: forgets the deliveries; the suffix is "fps".
    std::string Reset();
    double GetRate() const;

private:
    std::deque<long long> m_times;
};

} // namespace My
