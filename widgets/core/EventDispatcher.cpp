#include "widgets/core/EventDispatcher.h"

#include <algorithm>

namespace My {

EventDispatcher::~EventDispatcher()
{
    if (m_destroyed)
        *m_destroyed = true;
}

void EventDispatcher::Send(Event& event)
{
    bool destroyed = false;
    bool* const outer = m_destroyed;
    m_destroyed = &destroyed;
    ++m_sending;

    // Restores the state on every way out, exceptions included; when a
    // listener destroyed the dispatcher, only the outer sends are told.
    struct Leave {
        EventDispatcher* self;
        bool& destroyed;
        bool* outer;
        ~Leave()
        {
            if (destroyed) {
                if (outer)
                    *outer = true;
                return;
            }
            self->m_destroyed = outer;
            if (--self->m_sending == 0 && self->m_dirty)
                self->Compact();
        }
    } leave { this, destroyed, outer };

    // Indexes, not iterators: listeners may append while we walk, and the
    // entries appended are delivered in this send too.
    for (std::size_t i = 0; i < m_listeners.size(); ++i) {
        EventListener* const listener = m_listeners[i];
        if (!listener)
            continue;
        listener->OnEvent(event);
        if (destroyed)
            return;
    }
}

void EventDispatcher::AddListener(EventListener* listener)
{
    m_listeners.push_back(listener);
}

void EventDispatcher::RemoveListener(EventListener* listener)
{
    if (!listener)
        return;
    if (m_sending > 0) {
        for (auto& entry : m_listeners) {
            if (entry == listener) {
                entry = nullptr;
                m_dirty = true;
            }
        }
        return;
    }
    std::erase(m_listeners, listener);
}

std::size_t EventDispatcher::GetListenerCount() const
{
    return static_cast<std::size_t>(
        std::count_if(m_listeners.begin(), m_listeners.end(), [](EventListener* l) { return l != nullptr; }));
}

void EventDispatcher::Compact()
{
    std::erase(m_listeners, nullptr);
    m_dirty = false;
}

} // namespace My
