#pragma once

// What the composition needs of the segment worker: whether it is busy and a
// way to stop everything. The worker sets its idle event while it has nothing
// to do.

namespace platform {
class waitable;
}

class ProcessorControl {
public:
    // Manual-reset; signalled while the worker is idle. Waited on by the UI
    // thread; it must outlive the composition's use of it.
    virtual platform::waitable& GetIdleEvent() = 0;
    // Stops the running calculation at its next check and empties the queue.
    virtual void CancelAll() = 0;

protected:
    ~ProcessorControl() = default;
};
