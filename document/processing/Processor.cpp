#include "document/processing/Processor.h"

#include "document/processing/AsyncMessage.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"
#include "widgets/core/Prompt.h"

#include <exception>
#include <list>
#include <mutex>

namespace {

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
        FailAll(work.segment);
        throw;
    }
    {
        std::lock_guard guard(lock);
        current = {};
    }
    My::PostCall(work.segment, &TLSegment::OnProcessingDone, m_messages);
}

void Processor::FailAll(TLSegment* failing) noexcept
{
    std::list<ProcessItem> removed;
    {
        std::lock_guard guard(lock);
        cancel = true;
        removed = queue.take();
        current = {};
    }
    removed.push_front({ failing, {}, {} });
    for (ProcessItem& item : removed) {
        try {
            My::PostCall(item.segment, &TLSegment::OnProcessingDone, m_messages);
        } catch (...) {
        }
    }
}

void Processor::on_error(const std::string& text)
{
    m_messages.Post(std::make_unique<ErrorNotice>(text));
}
