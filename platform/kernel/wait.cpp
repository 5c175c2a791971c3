#include "platform/kernel/wait.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform {

namespace detail {

// One waiting thread. An object that becomes signalled wakes every waiter
// registered with it; each waiter then tries again, so an auto-reset object
// is consumed by exactly one of them.
struct waiter {
    std::mutex mutex;
    std::condition_variable woken_up;
    bool woken = false;
};

// Lock order: an object's mutex before a waiter's mutex; several objects in
// address order.
struct wait_object {
    wait_object(bool manual_reset_, bool signalled_)
        : manual_reset(manual_reset_)
        , signalled(signalled_)
    {
    }

    // Consumes the signal of an auto-reset object; the mutex must be held.
    bool take()
    {
        if (!signalled)
            return false;
        if (!manual_reset)
            signalled = false;
        return true;
    }

    void remove(waiter* w)
    {
        std::lock_guard lock(mutex);
        waiters.erase(std::find(waiters.begin(), waiters.end(), w));
    }

    std::mutex mutex;
    const bool manual_reset;
    bool signalled;
    std::vector<waiter*> waiters;
};

} // namespace detail

namespace {

using steady = std::chrono::steady_clock;
using detail::wait_object;
using detail::waiter;

// Sleeps until the waiter is woken or the deadline passed; false on time-out.
bool sleep(waiter& w, bool limited, steady::time_point deadline)
{
    std::unique_lock lock(w.mutex);
    if (limited) {
        if (!w.woken_up.wait_until(lock, deadline, [&] { return w.woken; }))
            return false;
    } else {
        w.woken_up.wait(lock, [&] { return w.woken; });
    }
    w.woken = false;
    return true;
}

int wait_any(const std::vector<wait_object*>& objects, bool limited, steady::time_point deadline)
{
    waiter w;
    for (;;) {
        // Each object is tested and, when not signalled, registered under its
        // own lock, so a signal that comes later always finds the waiter.
        std::size_t registered = 0;
        int found = wait_timeout;
        for (; registered < objects.size(); ++registered) {
            wait_object& object = *objects[registered];
            std::lock_guard lock(object.mutex);
            if (object.take()) {
                found = static_cast<int>(registered);
                break;
            }
            object.waiters.push_back(&w);
        }
        bool woken = found == wait_timeout && sleep(w, limited, deadline);
        for (std::size_t i = 0; i < registered; ++i)
            objects[i]->remove(&w);
        if (found != wait_timeout || !woken)
            return found;
    }
}

bool wait_all(std::vector<wait_object*> objects, bool limited, steady::time_point deadline)
{
    std::sort(objects.begin(), objects.end());
    waiter w;
    for (;;) {
        std::vector<std::unique_lock<std::mutex>> locks;
        locks.reserve(objects.size());
        for (wait_object* object : objects)
            locks.emplace_back(object->mutex);
        if (std::all_of(objects.begin(), objects.end(), [](wait_object* o) { return o->signalled; })) {
            for (wait_object* object : objects)
                object->take();
            return true;
        }
        for (wait_object* object : objects)
            object->waiters.push_back(&w);
        locks.clear();
        bool woken = sleep(w, limited, deadline);
        for (wait_object* object : objects)
            object->remove(&w);
        if (!woken)
            return false;
    }
}

} // namespace

waitable::waitable(bool manual_reset, bool signalled)
    : m_object(std::make_shared<wait_object>(manual_reset, signalled))
{
}

waitable::~waitable() = default;

void detail::signal(wait_object& object)
{
    std::lock_guard lock(object.mutex);
    object.signalled = true;
    for (waiter* w : object.waiters) {
        // Notified while the object is locked: the waiter cannot unregister
        // and leave (ending its life) before this is done.
        {
            std::lock_guard waiter_lock(w->mutex);
            w->woken = true;
        }
        w->woken_up.notify_one();
    }
}

void waitable::signal()
{
    detail::signal(*m_object);
}

void waitable::unsignal()
{
    std::lock_guard lock(m_object->mutex);
    m_object->signalled = false;
}

bool waitable::wait(unsigned timeout_ms)
{
    waitable* self = this;
    return wait_for_multiple(std::span<waitable* const>(&self, 1), false, timeout_ms) == 0;
}

int wait_for_multiple(std::span<waitable* const> objects, bool wait_all_objects, unsigned timeout_ms)
{
    std::vector<wait_object*> states;
    states.reserve(objects.size());
    for (waitable* object : objects)
        states.push_back(object->m_object.get());
    const bool limited = timeout_ms != infinite;
    const steady::time_point deadline = steady::now() + std::chrono::milliseconds(limited ? timeout_ms : 0);
    if (wait_all_objects)
        return wait_all(std::move(states), limited, deadline) ? 0 : wait_timeout;
    return wait_any(states, limited, deadline);
}

int wait_for_multiple(std::initializer_list<waitable*> objects, bool wait_all_objects, unsigned timeout_ms)
{
    return wait_for_multiple(
        std::span<waitable* const>(objects.begin(), objects.size()), wait_all_objects, timeout_ms);
}

} // namespace platform
