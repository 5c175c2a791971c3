#pragma once

#include <memory>

#include "platform/kernel/wait.h"

namespace platform {

// Thread priorities, relative to the normal one. Lowering a thread's priority
// always takes effect; raising it takes effect only as far as the system
// permits this process, and never fails the caller.
inline constexpr int THREAD_PRIORITY_IDLE = -15;
inline constexpr int THREAD_PRIORITY_LOWEST = -2;
inline constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
inline constexpr int THREAD_PRIORITY_NORMAL = 0;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
inline constexpr int THREAD_PRIORITY_HIGHEST = 2;
inline constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

// A thread of this process, and the handle that owns it. A thread is created
// suspended: its procedure starts only when resume() opens its start gate, so
// the creator can set its priority first. As a waitable object the handle is
// signalled once the procedure has returned.
//
// The handle may be closed (destroyed) while the thread runs; the thread then
// goes on alone. A thread that was never resumed ends without running its
// procedure when its handle is closed.
class thread : public waitable {
public:
    using procedure = unsigned (*)(void* argument);

    thread();
    ~thread();

    // Creates the thread, suspended, to run body(argument). Returns false when
    // the system refused or this handle already has a thread; the reason is
    // then the calling thread's last error (system_error.h).
    bool create(procedure body, void* argument);
    bool created() const { return m_state != nullptr; }

    // Lets a created thread start; later calls do nothing.
    void resume();

    // Waits without time limit for the thread to end and returns the value its
    // procedure returned; 0 at once when no thread was created. A thread that
    // was never resumed ends without running its procedure (returning 0), and
    // a later resume does nothing.
    unsigned join();

    // The priority last set for the thread (THREAD_PRIORITY_NORMAL at first);
    // see the constants above for what setting it does.
    void set_priority(int priority);
    int priority() const;

    // For a thread whose priority goes down and up again (one that serves
    // callers of several priorities in turn): where the system lets this
    // process lower a thread's priority but not raise it back, a lowering
    // would be for good, so such a thread is then never scheduled below the
    // priority it has now; priority() still answers what was set. Call
    // after create, before the priority is first changed.
    void keep_raisable();

    // The system's id of the thread; 0 when none was created.
    long id() const;

private:
    struct state;
    std::shared_ptr<state> m_state;
};

// The priority of the calling thread, as last set through set_priority of its
// handle or through set_current_thread_priority (normal for any other thread).
int current_thread_priority();
void set_current_thread_priority(int priority);

} // namespace platform
