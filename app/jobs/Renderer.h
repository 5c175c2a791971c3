#pragma once

// The base of the jobs that write the composition's work area frame by
// frame on a thread of their own (rendering, mask export). A job is made on
// the UI thread and from then on owns itself: its thread posts the job's
// deletion to the UI thread when it ends, the cancelled and the failed runs
// included, so the composition's job count (which the job holds while it
// lives) always returns to zero. Texts for the user are shown on the UI
// thread through posted notices; the job thread touches no window.

#include "foundation/system/thread.h"

#include <string>

class TLComp;

namespace My {
class MessageQueue;
}

class Renderer : public mswin::thread {
public:
    // UI thread. The thread is not created yet; the composition counts the
    // job from now until its destruction. `queue` (the UI thread's, by
    // default) receives the job's notices and its deletion.
    explicit Renderer(TLComp& composition, My::MessageQueue* queue = nullptr);
    // UI thread. Derived destructors first wait for a started thread.
    ~Renderer() override;

    // Any thread: posts the job's deletion to the UI thread.
    void PostDelete();

    TLComp& GetComposition() const { return m_composition; }

protected:
    // Any thread: shows text with an exclamation icon on the UI thread.
    void PostNotice(const std::string& text);
    // A run that threw: its text is shown and the job is deleted all the
    // same.
    void on_error(const std::string& text) override;
    // UI thread: creates the thread below normal priority and lets it run.
    // Throws Win32Error when the thread cannot be created.
    void StartThread();
    bool IsThreadStarted() { return handle().created(); }

    My::MessageQueue& GetQueue() const { return m_queue; }

private:
    TLComp& m_composition;
    My::MessageQueue& m_queue;
};
