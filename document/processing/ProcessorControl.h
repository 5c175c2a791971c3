#pragma once

// What the document needs of the segment worker: whether it is busy, a way
// to stop everything, and the queue of segments to calculate. The worker sets
// its idle event while it has nothing to do.

namespace platform {
class waitable;
}

class TLSegment;

class ProcessorControl {
public:
    // Manual-reset; signalled while the worker is idle. Waited on by the UI
    // thread; it must outlive the composition's use of it.
    virtual platform::waitable& GetIdleEvent() = 0;
    // UI thread. Stops the running calculation at its next check and empties
    // the queue; each queued segment gets its processing-done call at once,
    // the running one through a posted message when it stops.
    virtual void CancelAll() = 0;
    // UI thread. Appends the segment (already marked as processing) to the
    // queue. It gets exactly one processing-done call on the UI thread.
    virtual void Enqueue(TLSegment& segment) = 0;
    // UI thread. A queued segment leaves the queue and gets its
    // processing-done call at once; the running one is asked to stop.
    virtual void Remove(TLSegment& segment) = 0;
    // Any thread: the running calculation is to stop.
    virtual bool IsCancelled() const = 0;

protected:
    ~ProcessorControl() = default;
};
