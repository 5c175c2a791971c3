#pragma once

#include <mutex>

namespace platform {

// A critical section: a lock that the thread holding it may take again
// (each lock needs its unlock). Meets the standard Lockable requirements, so
// std::lock_guard and std::unique_lock work with it.
class critical_section {
public:
    critical_section() = default;
    critical_section(const critical_section&) = delete;
    critical_section& operator=(const critical_section&) = delete;

    void lock() { m_mutex.lock(); }
    bool try_lock() { return m_mutex.try_lock(); }
    void unlock() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

} // namespace platform
