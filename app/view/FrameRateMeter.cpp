#include "app/view/FrameRateMeter.h"

#include <cstdio>

namespace My {

std::string FrameRateMeter::Deliver(long long now_ms)
{
    m_times.push_back(now_ms);
    while (m_times.size() >= 4 && m_times.back() - m_times.front() > 1000)
        m_times.pop_front();
    const double rate = GetRate();
    if (rate <= 0)
        return "fps";
    char text[64];
    std::snprintf(text, sizeof text, "fps (%.1f fps)", rate);
    return text;
}

std::string FrameRateMeter::Deliver()
{
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return Deliver(static_cast<long long>(now.count()));
}

std::string FrameRateMeter::Reset()
{
    m_times.clear();
    return "fps";
}

double FrameRateMeter::GetRate() const
{
    if (m_times.size() < 2 || m_times.back() <= m_times.front())
        return 0;
    return (static_cast<double>(m_times.size()) - 1) * 1000.0
        / static_cast<double>(m_times.back() - m_times.front());
}

} // namespace My
