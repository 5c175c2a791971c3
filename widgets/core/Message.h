#pragma once

// Work handed to the UI thread. Any thread may post a My::Message; the UI
// thread executes the queued messages in posting order and deletes them. The
// window layer drains the queue from its event loop (it installs a wake
// handler); code that waits on the UI thread for another thread runs the
// queue while it waits (WaitRunningMessages).

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {
class event;
class waitable;
} // namespace platform

namespace My {

class Message {
public:
    virtual ~Message();
    virtual void Execute() = 0;
    // The object the message acts on, as the pointer of the target's own
    // class converted to const void*, or null. A target that goes away calls
    // MessageQueue::Discard with the same pointer, so no queued message
    // reaches a deleted object.
    virtual const void* GetTarget() const;
};

class MessageQueue {
public:
    MessageQueue();
    // Deletes the messages still queued without executing them.
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Any thread. Takes ownership; a null message is ignored. Signals the
    // posted event and calls the wake handler after queueing.
    void Post(std::unique_ptr<Message> message);

    // UI thread. Executes, in posting order, the messages queued when the
    // call began (messages posted meanwhile wait for the next call), deleting
    // each after it ran. An exception from a message passes on after the
    // message was deleted; the others stay queued. Returns how many ran.
    std::size_t RunPending();

    // UI thread. Deletes without executing every queued message aimed at
    // target (a null target discards nothing).
    void Discard(const void* target);

    // Deletes every queued message without executing it.
    void Clear();

    std::size_t GetCount() const;

    // Auto-reset event signalled by every Post; for waits that must run the
    // messages meanwhile.
    platform::waitable& GetPostedEvent();

    // The window layer's wake-up, called on the posting thread after a post
    // (outside the queue's lock). Set it before other threads post.
    void SetWakeHandler(std::function<void()> wake);

private:
    struct Entry {
        std::uint64_t serial;
        std::unique_ptr<Message> message;
    };

    mutable std::mutex m_mutex;
    std::deque<Entry> m_entries;
    std::uint64_t m_nextSerial = 0;
    std::unique_ptr<platform::event> m_posted;
    std::function<void()> m_wake;
};

// The process's UI-thread queue: the one the main window drains.
MessageQueue& GetMessageQueue();

// UI thread. Waits until object is signalled, executing the messages posted
// to queue meanwhile, those posted before it was signalled included (other
// threads may wait for the UI thread to run them).
// Exceptions of the messages pass on.
void WaitRunningMessages(platform::waitable& object, MessageQueue& queue = GetMessageQueue());

} // namespace My
