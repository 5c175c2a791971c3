#pragma once

// The segment worker: one background thread, below normal priority, that
// calculates the queued segments one after another through the engine. The
// UI thread queues, removes and cancels; results reach the UI thread only as
// messages posted to its queue (progress after each frame, then one
// completion call per segment). Every segment queued gets exactly one
// processing-done call, on the UI thread: at once when it leaves the queue
// unstarted, else through a posted message when its calculation ends, stops
// or fails. A failing calculation ends its own segment's work only: the error
// is reported on the UI thread, naming the segment, and the queue goes on.

#include "document/processing/ProcessQueue.h"
#include "document/processing/ProcessorControl.h"
#include "foundation/system/thread.h"

#include <string>

namespace My {
class MessageQueue;
}

class Processor : public mswin::WorkThread<ProcessQueue>, public ProcessorControl {
public:
    // Starts the thread; messages go to queue (the UI thread's by default),
    // which must outlive the worker.
    explicit Processor(My::MessageQueue* queue = nullptr);
    // UI thread: cancels everything (the queued segments are told at once),
    // lets the running calculation stop at its next check and ends the
    // thread.
    ~Processor() override;

    platform::waitable& GetIdleEvent() override;
    void CancelAll() override;
    void Enqueue(TLSegment& segment) override;
    void Remove(TLSegment& segment) override;
    bool IsCancelled() const override;

    // Nothing is queued or running.
    bool IsIdle();

protected:
    // A calculation that throws posts its segment's done call and passes
    // the error on to the thread's guard, which reports it (on_error) and
    // goes on with the queue.
    void process(ProcessItem& item) override;
    // Worker thread: posts the error's notice to the UI thread. A failed
    // calculation's notice names its segment and puts the engine's words in
    // the user's where they are not; the error is written to the diagnostic
    // stream as it came.
    void on_error(const std::string& text) override;

private:
    // Worker thread: the item is no longer current; its done call is posted.
    void Finish(const ProcessItem& item);

    My::MessageQueue& m_messages;
    // Worker thread: the segment whose calculation just failed and the frame
    // it stopped at (" at frame N", empty when it stopped before any), for
    // the error's notice.
    std::string m_failed;
    std::string m_failedAt;
};
