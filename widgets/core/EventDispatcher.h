#pragma once

// Receivers and senders of My::Event. UI thread only; no locks.

#include <vector>

namespace My {

class Event;

// A receiver of events through one operation.
class EventListener {
public:
    virtual void OnEvent(Event& event) = 0;

protected:
    ~EventListener() = default;
};

// The base of every sender: delivers an event to its registered listeners in
// the order of registration. It does not own its listeners. A listener
// registered twice is delivered twice; RemoveListener removes every entry.
//
// A send survives listeners that add or remove listeners (themselves or
// others) while they are notified: removed entries are skipped from then on
// and compacted when the outermost send ends; an entry added during a send
// receives the same event later in that send. A listener may also destroy the
// dispatcher while it is notified; the send then stops.
//
// Exceptions thrown by a listener pass through Send unchanged; the listeners
// after it are not notified of that event.
class EventDispatcher {
public:
    EventDispatcher() = default;
    // A copy starts without listeners: they registered with the original.
    EventDispatcher(const EventDispatcher&) { }
    EventDispatcher& operator=(const EventDispatcher&) { return *this; }
    ~EventDispatcher();

    void Send(Event& event);
    void AddListener(EventListener* listener);
    void RemoveListener(EventListener* listener);

    // The number of live registrations (a listener counted once per entry).
    std::size_t GetListenerCount() const;

private:
    void Compact();

    // Dead entries are null while a send runs.
    std::vector<EventListener*> m_listeners;
    int m_sending = 0;
    bool m_dirty = false;
    // The innermost running send's flag, set when the dispatcher is destroyed.
    bool* m_destroyed = nullptr;
};

} // namespace My
