#include "document/processing/Processor.h"

#include "document/processing/AsyncMessage.h"
#include "document/segments/SegmentData.h"
#include "document/segments/SegmentName.h"
#include "document/segments/TLSegment.h"
#include "widgets/core/Prompt.h"

#include <exception>
#include <iostream>
#include <list>
#include <mutex>
#include <utility>

namespace {

// The graph cut's obligatory masks eroded to nothing (the single-frame
// form's words): the key or tracked mask is too small for the maximum
// motion. The user is told what to change, as the two-frame form does.
std::string UserText(const std::string& text)
{
    if (text == "obligatory foreground pixels mask can't be empty"
        || text == "obligatory background pixels mask can't be empty")
        return "Either initial mask has too few foreground or background pixels, or maximum motion parameter "
               "is too large.";
    return text;
}

// The error of a failed calculation, shown on the UI thread.
class ErrorNotice : public My::Message {
public:
    explicit ErrorNotice(std::string text)
        : m_text(std::move(text))
    {
    }
    void Execute() override { My::MessageBox(m_text, My::MB_ICONEXCLAMATION); }

private:
    std::string m_text;
};

} // namespace

Processor::Processor(My::MessageQueue* queue)
    : m_messages(queue ? *queue : My::GetMessageQueue())
{
    handle().set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
    resume();
    // Idle once the thread waits for work, so a fresh worker never reads as
    // busy.
    idle.wait();
}

Processor::~Processor()
{
    try {
        CancelAll();
    } catch (...) {
    }
    {
        std::lock_guard guard(lock);
        stop = true;
        wake.set();
    }
    join();
    // Segments queued meanwhile (none, on the UI thread's word) are told too.
    std::list<ProcessItem> left;
    {
        std::lock_guard guard(lock);
        left = queue.take();
    }
    for (ProcessItem& item : left)
        try {
            item.segment->OnProcessingDone();
        } catch (...) {
        }
}

platform::waitable& Processor::GetIdleEvent()
{
    return idle;
}

bool Processor::IsIdle()
{
    return idle.wait(0);
}

void Processor::CancelAll()
{
    std::list<ProcessItem> removed;
    {
        std::lock_guard guard(lock);
        cancel = true;
        removed = queue.take();
    }
    // Told outside the lock: their listeners may queue segments again. A
    // listener's failure does not keep the others from being told; the first
    // one passes on afterwards.
    std::exception_ptr failure;
    for (ProcessItem& item : removed) {
        try {
            item.segment->OnProcessingDone();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void Processor::Enqueue(TLSegment& segment)
{
    ProcessItem item { &segment, segment.GetEngine(), segment.GetTimeSpan() };
    std::lock_guard guard(lock);
    queue.push_back(std::move(item));
    idle.reset();
    wake.set();
}

void Processor::Remove(TLSegment& segment)
{
    bool removed = false;
    {
        std::lock_guard guard(lock);
        removed = queue.remove(&segment);
        if (!removed && current.segment == &segment)
            cancel = true;
    }
    if (removed)
        segment.OnProcessingDone();
}

bool Processor::IsCancelled() const
{
    return cancel.load();
}

void Processor::process(ProcessItem& item)
{
    const ProcessItem work = item;
    try {
        work.engine->calculate(false, work.span);
    } catch (...) {
        // The other segments' work is not lost to this one's failure: the
        // queue stays as it is, and the loop takes its next item once the
        // error is reported.
        m_failed = My::SegmentName(work.span, work.engine->origin());
        const int frame = work.engine->stopped_at();
        m_failedAt = frame < 0 ? std::string() : " at frame " + std::to_string(frame);
        Finish(work);
        throw;
    }
    Finish(work);
}

void Processor::Finish(const ProcessItem& item)
{
    {
        std::lock_guard guard(lock);
        current = {};
    }
    My::PostCall(item.segment, &TLSegment::OnProcessingDone, m_messages);
}

void Processor::on_error(const std::string& text)
{
    const std::string segment = std::exchange(m_failed, std::string());
    const std::string at = std::exchange(m_failedAt, std::string());
    if (segment.empty()) {
        m_messages.Post(std::make_unique<ErrorNotice>(text));
        return;
    }
    // Mostly what the engine cannot work with (a mask too small for its
    // parameters, a frame the footage cannot give), so not logged as a
    // thread's fault; the engine's own words tell which stage refused.
    std::clog << "segment " << segment << " could not be processed" << at << ": " << text << std::endl;
    m_messages.Post(std::make_unique<ErrorNotice>(
        "Segment " + segment + " could not be processed" + at + ":\n" + UserText(text)));
}
