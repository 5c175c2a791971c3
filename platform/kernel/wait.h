#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>

namespace platform {

// A time-out that never expires.
inline constexpr unsigned infinite = 0xFFFFFFFFu;

// Returned by wait_for_multiple when the time-out expired.
inline constexpr int wait_timeout = -1;

namespace detail {
struct wait_object;
// Signals the shared state of a waitable object.
void signal(wait_object& object);
} // namespace detail

// An object a thread can wait for: it is signalled or not. Events and threads
// are waitable. A manual-reset object stays signalled until it is reset; an
// auto-reset one is reset by the one wait that it ends. All operations may be
// called from any thread; the object must outlive every wait on it.
class waitable {
public:
    waitable(const waitable&) = delete;
    waitable& operator=(const waitable&) = delete;

    // Waits until the object is signalled or timeout_ms milliseconds passed
    // (infinite: no limit, 0: only tests). True when it was signalled.
    bool wait(unsigned timeout_ms = infinite);

protected:
    waitable(bool manual_reset, bool signalled);
    ~waitable();

    void signal();
    void unsignal();

    // The shared state, for an owner that must signal it after the waitable
    // object itself is gone (a thread that outlives its handle).
    const std::shared_ptr<detail::wait_object>& object() const { return m_object; }

private:
    friend int wait_for_multiple(std::span<waitable* const>, bool, unsigned);
    std::shared_ptr<detail::wait_object> m_object;
};

// Waits for several objects at once. With wait_all false it returns the index
// of the first signalled object (the lowest index when several are); with
// wait_all true it returns 0 once all are signalled at the same time, and only
// then consumes the auto-reset ones. Returns wait_timeout when timeout_ms
// milliseconds passed first. The same object must not appear twice.
int wait_for_multiple(std::span<waitable* const> objects, bool wait_all, unsigned timeout_ms = infinite);
int wait_for_multiple(
    std::initializer_list<waitable*> objects, bool wait_all, unsigned timeout_ms = infinite);

} // namespace platform
