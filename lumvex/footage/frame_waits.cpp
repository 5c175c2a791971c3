#include "lumvex/footage/frame_waits.h"

#include "lumvex/exception.h"

namespace lumvex {

frame_waits::ticket frame_waits::enter(int frame)
{
    std::lock_guard guard(m_lock);
    entry& e = m_entries[frame];
    ++e.waiters;
    return { frame, e.reports };
}

void frame_waits::leave(const ticket& t)
{
    std::lock_guard guard(m_lock);
    auto it = m_entries.find(t.frame);
    if (it != m_entries.end() && --it->second.waiters <= 0)
        m_entries.erase(it);
}

void frame_waits::wait(const ticket& t)
{
    std::unique_lock guard(m_lock);
    auto it = m_entries.find(t.frame);
    if (it == m_entries.end())
        return;
    entry& e = it->second;
    m_reported.wait(guard, [&] { return e.reports != t.seen; });
    if (e.stored_at <= t.seen)
        throw exception(e.error);
}

void frame_waits::stored(int frame)
{
    std::lock_guard guard(m_lock);
    auto it = m_entries.find(frame);
    if (it == m_entries.end())
        return;
    it->second.stored_at = ++it->second.reports;
    m_reported.notify_all();
}

void frame_waits::failed(int frame, const std::string& text)
{
    std::lock_guard guard(m_lock);
    auto it = m_entries.find(frame);
    if (it == m_entries.end())
        return;
    ++it->second.reports;
    it->second.error = text;
    m_reported.notify_all();
}

bool frame_waits::waited_for(int frame) const
{
    std::lock_guard guard(m_lock);
    return m_entries.count(frame) != 0;
}

void frame_waits::fail_all(const std::string& text)
{
    std::lock_guard guard(m_lock);
    for (auto& [frame, e] : m_entries) {
        ++e.reports;
        e.error = text;
    }
    m_reported.notify_all();
}

} // namespace lumvex
