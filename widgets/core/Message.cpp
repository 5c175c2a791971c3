#include "widgets/core/Message.h"

#include "platform/kernel/event.h"

#include <algorithm>

namespace My {

Message::~Message() = default;

const void* Message::GetTarget() const
{
    return nullptr;
}

MessageQueue::MessageQueue()
    : m_posted(std::make_unique<platform::event>(false, false))
{
}

MessageQueue::~MessageQueue() = default;

void MessageQueue::Post(std::unique_ptr<Message> message)
{
    if (!message)
        return;
    std::function<void()> wake;
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back({ m_nextSerial++, std::move(message) });
        wake = m_wake;
    }
    m_posted->set();
    if (wake)
        wake();
}

std::size_t MessageQueue::RunPending()
{
    std::uint64_t end;
    {
        std::lock_guard lock(m_mutex);
        end = m_nextSerial;
    }
    std::size_t ran = 0;
    for (;;) {
        std::unique_ptr<Message> message;
        {
            std::lock_guard lock(m_mutex);
            if (m_entries.empty() || m_entries.front().serial >= end)
                break;
            message = std::move(m_entries.front().message);
            m_entries.pop_front();
        }
        // Executed outside the lock: a message may post or discard.
        message->Execute();
        ++ran;
    }
    return ran;
}

void MessageQueue::Discard(const void* target)
{
    if (!target)
        return;
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(m_mutex);
        auto keep = std::stable_partition(m_entries.begin(), m_entries.end(),
            [target](const Entry& entry) { return entry.message->GetTarget() != target; });
        std::move(keep, m_entries.end(), std::back_inserter(dropped));
        m_entries.erase(keep, m_entries.end());
    }
    // The dropped messages are deleted outside the lock, since their
    // destructors are ours to run but not to constrain.
}

void MessageQueue::Clear()
{
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_entries);
    }
}

std::size_t MessageQueue::GetCount() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

platform::waitable& MessageQueue::GetPostedEvent()
{
    return *m_posted;
}

void MessageQueue::SetWakeHandler(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

MessageQueue& GetMessageQueue()
{
    static MessageQueue queue;
    return queue;
}

void WaitRunningMessages(platform::waitable& object, MessageQueue& queue)
{
    for (;;) {
        queue.RunPending();
        if (platform::wait_for_multiple({ &object, &queue.GetPostedEvent() }, false) == 0) {
            // Both may be signalled at once: messages posted before the
            // object was signalled still run before the wait ends.
            queue.RunPending();
            return;
        }
    }
}

} // namespace My
