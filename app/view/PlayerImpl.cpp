#include "app/view/PlayerImpl.h"

#include "platform/registry/profile.h"

#include <algorithm>
#include <cmath>

namespace My {

namespace {
const char kSection[] = "Time";
} // namespace

PlayerImpl::PlayerImpl(platform::registry_profile* profile)
    : Player(profile)
    , m_profile(profile)
{
    if (m_profile) {
        const double stored = m_profile->get_int(kSection, "PlayFramerate", 10000) / 1000.0;
        if (stored >= kMinRate && stored <= kMaxRate)
            m_rate = stored;
    }
    m_timer.SetInterval(GetInterval());
    m_timer.AddListener(this);
}

PlayerImpl::~PlayerImpl()
{
    m_timer.SetRunning(false);
    m_timer.RemoveListener(this);
    if (m_profile)
        m_profile->write_int(kSection, "PlayFramerate", static_cast<int>(std::lround(m_rate * 1000.0)));
}

unsigned PlayerImpl::GetInterval() const
{
    const long ms = std::lround(1000.0 / m_rate);
    return ms < 1 ? 1u : static_cast<unsigned>(ms);
}

void PlayerImpl::SetPlayFramerate(double rate)
{
    if (!std::isfinite(rate) || rate < kMinRate || rate > kMaxRate || rate == m_rate)
        return;
    m_rate = rate;
    m_timer.SetInterval(GetInterval());
    m_epoch = Clock::now();
    m_ticks = 0;
    if (m_hooks.rateChanged)
        m_hooks.rateChanged();
}

void PlayerImpl::Start()
{
    m_skipped = false;
    m_timer.SetInterval(GetInterval());
    m_timer.SetRunning(true);
    m_epoch = Clock::now();
    m_ticks = 0;
}

void PlayerImpl::Restart()
{
    m_timer.SetRunning(false);
    m_timer.SetInterval(GetInterval());
    m_timer.SetRunning(true);
    m_epoch = Clock::now();
    m_ticks = 0;
}

void PlayerImpl::Pace()
{
    if (!m_timer.IsRunning())
        return;
    ++m_ticks;
    const double period = 1000.0 / m_rate;
    const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - m_epoch).count();
    const double remaining = (static_cast<double>(m_ticks) + 1.0) * period - elapsed;
    if (remaining <= 0.0) {
        // Far behind (a long paint or a busy machine): no burst of frames to
        // catch up, the count starts again.
        Restart();
        return;
    }
    const unsigned next = std::max(1u, static_cast<unsigned>(std::lround(remaining)));
    if (next != m_timer.GetInterval())
        m_timer.SetInterval(next);
}

void PlayerImpl::Stop()
{
    m_skipped = false;
    m_timer.SetRunning(false);
}

void PlayerImpl::StartFollowing()
{
    if (m_hooks.following)
        m_hooks.following(true);
}

void PlayerImpl::StopFollowing()
{
    if (m_hooks.following)
        m_hooks.following(false);
}

void PlayerImpl::GoToFrame()
{
    if (m_hooks.goToFrame)
        m_hooks.goToFrame();
}

void PlayerImpl::Tick()
{
    if (!IsPlaying())
        return;
    if (m_hooks.busy && m_hooks.busy()) {
        m_skipped = true;
        return;
    }
    m_skipped = false;
    Step();
    Pace();
    if (m_hooks.stepped)
        m_hooks.stepped();
}

void PlayerImpl::Delivered()
{
    if (!m_skipped || !IsPlaying())
        return;
    m_skipped = false;
    // The timer counts its period from the frame just shown.
    Restart();
    Step();
    if (m_hooks.stepped)
        m_hooks.stepped();
}

void PlayerImpl::OnEvent(Event& event)
{
    if (auto* tick = dynamic_cast<TimerEvent*>(&event); tick && tick->timer == &m_timer)
        Tick();
}

} // namespace My
