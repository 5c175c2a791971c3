#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/kernel/critical_section.h"
#include "platform/kernel/event.h"
#include "platform/kernel/thread.h"

namespace mswin {

// A background thread whose body (run) is guarded: an exception that escapes
// run ends the attempt in on_error instead of the program, and with restart
// set the body runs again at once. A standard exception reports its text; any
// other exception reports a crash report (foundation/system/crash_report.h). A fault
// signal (access violation and the like) cannot be resumed safely: the crash
// reporter writes its report and the process ends.
//
// The owner creates the thread (suspended), resumes it, and before destroying
// the object makes the body return and joins; the destructor only closes the
// handle.
class thread {
public:
    // With create, the thread is created at once, suspended; throws Win32Error
    // when it cannot be created.
    explicit thread(bool create = false);
    virtual ~thread();
    thread(const thread&) = delete;
    thread& operator=(const thread&) = delete;

    // Creates the thread, suspended, and resumes it when resume is set.
    // Throws Win32Error when the thread cannot be created (also when this
    // object already has one).
    void start(bool resume = true);
    void resume();

    // Waits without time limit for the thread to end; returns result. Returns
    // at once when no thread was created; a thread that was never resumed
    // ends without running its body.
    bool join();

    // The thread itself: its priority, its id, and a waitable end.
    platform::thread& handle() { return m_handle; }

protected:
    // The thread's body.
    virtual void run() = 0;

    // Reports a failed attempt. The default writes "\nthread error: " + text
    // and a line end to the diagnostic stream, and the text to the debugger
    // output. Called on the thread; if it throws, the default reports instead.
    virtual void on_error(const std::string& text);

    // Calls body(context); an exception that escapes it goes to on_error.
    // Returns false when body failed. Never inlined: crash reports show its
    // frame as the guard that caught the fault.
    [[gnu::noinline]] bool guarded_call(void (*body)(void* context), void* context);

    // True until an attempt of run failed. Written by the thread; read it
    // after join.
    bool result = true;
    // Run again after a failed attempt. Set before the thread starts.
    bool restart = false;

private:
    static unsigned thread_proc(void* object);
    // Never inlined, as guarded_call: its frame names the guarded loop.
    [[gnu::noinline]] void run_guarded();

    platform::thread m_handle;
};

// A thread that runs one step of work for each request, and sets its idle
// event whenever it has nothing to do. A step that fails is reported through
// on_error and the loop goes on. To end it, call stop and then join.
//
// The owner asks for a step with request_step and learns that it is done by
// waiting for the idle event: once the idle event is seen after a request, a
// step that began after that request has ended. Requests made during a step
// bring one more step; several requests before a step begins bring one step.
class synchronizable_thread : public thread {
public:
    explicit synchronizable_thread(bool create = false);

    // From any thread: clears the idle event and sets the go event, both
    // under the lock that the thread takes to decide that it is idle.
    void request_step();
    // Set while no step runs and no request waits (manual-reset, initially
    // clear); wait for it, never set or reset it.
    platform::event& idle_event() { return m_idle; }
    // Makes the loop end after the step under way.
    void stop();

protected:
    void run() override;
    // One unit of work.
    virtual void step() = 0;

private:
    // Requests made and requests taken up by a step, under m_lock; the thread
    // is idle only while they are equal.
    std::mutex m_lock;
    std::uint64_t m_requested = 0;
    std::uint64_t m_taken = 0;
    platform::event m_go { true, false };
    std::atomic<bool> m_stop { false };
    platform::event m_idle { true, false };
};

// The part of a work thread that does not depend on the queue type. The
// thread is created suspended, with restart on, so after a failed item the
// thread goes on with the next.
//
// The owner appends items under lock, resets idle and sets wake; to end the
// thread it sets stop under lock, sets wake and joins. The thread sets idle
// only under lock, with the queue empty, and never clears it itself: once an
// owner has queued an item and cleared idle, idle stays clear until the
// thread has taken every item and finds the queue empty again.
class WorkThreadBase : public thread {
public:
    WorkThreadBase();

protected:
    platform::critical_section lock;
    // The current item is to stop: set by cancel_all, cleared when an item is
    // taken; the item reads it without the lock.
    std::atomic<bool> cancel { false };
    // The thread is to end once its queue is empty.
    std::atomic<bool> stop { false };
    platform::event wake { false, false };
    // Set while the thread has nothing to do.
    platform::event idle { true, false };
};

// A work thread that processes the items of a queue one by one. Q is a list
// type (push_back, front, pop_front, empty, value_type) whose clear may do
// more than forget its items (the segment queue tells each removed segment,
// in queue order, that its processing ended).
template <class Q> class WorkThread : public WorkThreadBase {
public:
    using item_type = typename Q::value_type;

    // From any thread: under the lock, sets cancel and empties the queue
    // through Q's clear. The item being processed is not touched; it sees
    // cancel at its next check.
    void cancel_all()
    {
        std::lock_guard guard(lock);
        cancel = true;
        queue.clear();
    }

protected:
    void run() override
    {
        while (next_item())
            process(current);
        idle.set();
    }

    virtual void process(item_type& item) = 0;

    // Takes the front item as the current one (clearing cancel), waiting for
    // work while the queue is empty. False when stop is set and the queue is
    // empty: items queued before stop are still processed.
    bool next_item()
    {
        for (;;) {
            {
                std::lock_guard guard(lock);
                if (!queue.empty()) {
                    current = queue.front();
                    queue.pop_front();
                    cancel = false;
                    return true;
                }
                if (stop)
                    return false;
                // Under the lock that items are queued under: an item cannot
                // come between the look at the queue and the setting of idle.
                idle.set();
            }
            wake.wait();
        }
    }

    Q queue;
    item_type current {};
};

} // namespace mswin
