#pragma once

// Calls handed from a background thread to the UI thread: the sender
// allocates one of these messages and posts it to the UI-thread queue, whose
// owner executes it in posting order and deletes it. Each message names its
// target, so a target that goes away can discard what is still queued for it
// (My::MessageQueue::Discard with the target's own pointer).

#include "widgets/core/Message.h"

#include <memory>
#include <utility>

namespace My {

template <class T, class R> class AsyncCallMessage;

// Calls a member of the target without arguments.
template <class T> class AsyncCallMessage<T, void> : public Message {
public:
    using Member = void (T::*)();
    AsyncCallMessage(T* target, Member member)
        : m_target(target)
        , m_member(member)
    {
    }
    void Execute() override { (m_target->*m_member)(); }
    const void* GetTarget() const override { return m_target; }

private:
    T* m_target;
    Member m_member;
};

template <class T, class R, class A1, class A2> class AsyncCall2Message;

// Calls a member of the target with two stored arguments.
template <class T, class A1, class A2> class AsyncCall2Message<T, void, A1, A2> : public Message {
public:
    using Member = void (T::*)(A1, A2);
    AsyncCall2Message(T* target, Member member, A1 a1, A2 a2)
        : m_target(target)
        , m_member(member)
        , m_a1(std::move(a1))
        , m_a2(std::move(a2))
    {
    }
    void Execute() override { (m_target->*m_member)(m_a1, m_a2); }
    const void* GetTarget() const override { return m_target; }

private:
    T* m_target;
    Member m_member;
    A1 m_a1;
    A2 m_a2;
};

// Deletes the target (a finished job) through its virtual destructor. The
// target is the message's to delete: it is deleted also when the message is
// discarded unexecuted.
template <class T> class AsyncDeleteMessage : public Message {
public:
    explicit AsyncDeleteMessage(T* target)
        : m_target(target)
    {
    }
    ~AsyncDeleteMessage() override { delete m_target; }
    void Execute() override
    {
        T* target = m_target;
        m_target = nullptr;
        delete target;
    }

private:
    T* m_target;
};

// Any thread: posts the call to the queue of the UI thread.
template <class T> void PostCall(T* target, void (T::*member)(), MessageQueue& queue = GetMessageQueue())
{
    queue.Post(std::make_unique<AsyncCallMessage<T, void>>(target, member));
}

template <class T, class A1, class A2>
void PostCall2(T* target, void (T::*member)(A1, A2), A1 a1, A2 a2, MessageQueue& queue = GetMessageQueue())
{
    queue.Post(
        std::make_unique<AsyncCall2Message<T, void, A1, A2>>(target, member, std::move(a1), std::move(a2)));
}

template <class T> void PostDelete(T* target, MessageQueue& queue = GetMessageQueue())
{
    queue.Post(std::make_unique<AsyncDeleteMessage<T>>(target));
}

} // namespace My
