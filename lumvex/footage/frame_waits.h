#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

namespace lumvex {

// The wait table of a footage reader: callers that need a frame register
// here before they queue its read order, then wait until the reader thread
// reports the frame as stored in the cache or as failed. Reports made after
// a caller registered always reach it, so a waiter cannot miss its wake-up.
// Every operation may be called from any thread.
class frame_waits {
public:
    // A registration: the frame and the report count seen when it was made.
    struct ticket {
        int frame = 0;
        unsigned long long seen = 0;
    };

    frame_waits() = default;
    frame_waits(const frame_waits&) = delete;
    frame_waits& operator=(const frame_waits&) = delete;

    // Adds a waiter for `frame`.
    ticket enter(int frame);
    // Removes the waiter; the entry goes when its last waiter leaves.
    void leave(const ticket& t);
    // Waits without time limit until the frame is reported after the
    // registration; returns when it was stored, throws lumvex::exception
    // with the reader's text when it failed.
    void wait(const ticket& t);
    // Reports the frame as stored in the cache and wakes its waiters.
    void stored(int frame);
    // Reports the frame as failed with `text` and wakes its waiters.
    void failed(int frame, const std::string& text);
    // True when somebody waits for the frame.
    bool waited_for(int frame) const;
    // Wakes every waiter with a failure (used when the footage closes).
    void fail_all(const std::string& text);

    // A caller's whole wait for `frame`: registers, calls `queue` (which
    // queues the frame's read order), then waits unless `present()` finds
    // the frame in the cache already. Registering first means the reader's
    // report cannot come before the wait; the registration goes on every
    // way out. Throws what `queue`, `present` or `wait` throw.
    template <class Queue, class Present> void queue_and_wait(int frame, Queue&& queue, Present&& present)
    {
        const ticket t = enter(frame);
        try {
            queue();
            if (!present())
                wait(t);
        } catch (...) {
            leave(t);
            throw;
        }
        leave(t);
    }

private:
    struct entry {
        int waiters = 0;
        // Reports so far, and the count at the last report of the frame as
        // stored: a waiter succeeds when a store came after it registered.
        unsigned long long reports = 0;
        unsigned long long stored_at = 0;
        std::string error;
    };

    mutable std::mutex m_lock;
    std::condition_variable m_reported;
    std::map<int, entry> m_entries;
};

} // namespace lumvex
