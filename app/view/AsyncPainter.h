#pragma once

// The painting hand-over of the video view: the UI thread asks for the
// frame to show under a key; a painter thread fetches (or paints) it and
// hands the result back through the UI thread's message queue; the UI draws
// the newest delivered buffer. A request equal to the frame shown or to the
// one pending costs nothing; a result overtaken by a newer request is
// dropped. A frame whose fetch fails is delivered as its stand-in (a black
// picture), never left showing the frame before; the painter thread still
// reports the error. The painter never touches a window.
//
// K is the key type (immutable, shared between the threads); I the image.
// Equal(a, b) compares keys; Fetch(key, request) and StandIn(key) run on the
// painter thread.

#include "foundation/system/thread.h"
#include "widgets/core/Message.h"

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace My {

template <class K, class I> class AsyncPainter {
public:
    using KeyPtr = boost::shared_ptr<K>;
    using ImagePtr = boost::shared_ptr<I>;
    using Fetch = std::function<ImagePtr(const KeyPtr& key, int request)>;
    // The picture shown for a key whose fetch failed.
    using StandIn = std::function<ImagePtr(const KeyPtr& key)>;
    using Equal = std::function<bool(const K& a, const K& b)>;

    struct Buffer {
        KeyPtr key;
        ImagePtr image;
    };

    // What a request did.
    enum class Outcome { Cleared, Shown, Pending, Started };

    // delivered runs on the UI thread after a new buffer became ready (the
    // view invalidates its image); the queue is the UI thread's.
    AsyncPainter(Fetch fetch, StandIn stand_in, Equal equal, std::function<void()> delivered,
        MessageQueue& queue = GetMessageQueue())
        : m_fetch(std::move(fetch))
        , m_standIn(std::move(stand_in))
        , m_equal(std::move(equal))
        , m_delivered(std::move(delivered))
        , m_queue(queue)
        , m_thread(*this)
    {
        m_thread.start(false);
        m_thread.handle().set_priority(-1);
        m_thread.resume();
    }

    ~AsyncPainter()
    {
        m_thread.stop();
        m_thread.join();
        m_queue.Discard(this);
    }

    AsyncPainter(const AsyncPainter&) = delete;
    AsyncPainter& operator=(const AsyncPainter&) = delete;

    // UI thread.
    Outcome Request(const KeyPtr& key)
    {
        if (!key) {
            const bool shown = m_ready.image != nullptr;
            Clear();
            return shown ? Outcome::Cleared : Outcome::Shown;
        }
        if (m_ready.key && m_equal(*m_ready.key, *key)) {
            SetPending({});
            return Outcome::Shown;
        }
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_pending && m_equal(*m_pending, *key))
                return Outcome::Pending;
            m_pending = key;
        }
        ++m_wakes;
        m_thread.request_step();
        return Outcome::Started;
    }

    // UI thread: forgets the buffer and the pending key.
    void Clear()
    {
        m_ready = Buffer {};
        m_drawn = false;
        SetPending({});
    }

    // UI thread: the newest delivered buffer (empty image when none). The
    // first call after a delivery answers true in first_draw.
    const Buffer& Take(bool* first_draw = nullptr)
    {
        if (first_draw)
            *first_draw = m_ready.image && !m_drawn;
        if (m_ready.image)
            m_drawn = true;
        return m_ready;
    }
    const Buffer& GetReady() const { return m_ready; }

    // UI thread: a request is still being painted or on its way back.
    bool IsBusy() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_pending != nullptr;
    }

    // The reading hint handed to fetches from now on.
    void SetRequestHint(int request) { m_hint = request; }
    // How many requests woke the painter.
    int GetWakeCount() const { return m_wakes; }
    // Any thread: waits until the painter has nothing to do.
    void WaitIdle() { m_thread.idle_event().wait(); }

private:
    class Thread : public mswin::synchronizable_thread {
    public:
        explicit Thread(AsyncPainter& owner)
            : m_owner(owner)
        {
        }

    protected:
        void step() override { m_owner.PainterJob(); }

    private:
        AsyncPainter& m_owner;
    };

    class Delivery : public Message {
    public:
        Delivery(AsyncPainter* owner, KeyPtr key, ImagePtr image)
            : m_owner(owner)
            , m_key(std::move(key))
            , m_image(std::move(image))
        {
        }
        void Execute() override { m_owner->Deliver(m_key, m_image); }
        const void* GetTarget() const override { return m_owner; }

    private:
        AsyncPainter* m_owner;
        KeyPtr m_key;
        ImagePtr m_image;
    };

    void SetPending(KeyPtr key)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending = std::move(key);
    }

    bool IsPending(const KeyPtr& key) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_pending == key;
    }

    // Painter thread.
    void PainterJob()
    {
        KeyPtr key;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            key = m_pending;
        }
        if (!key)
            return;
        ImagePtr image;
        try {
            image = m_fetch(key, m_hint.load());
        } catch (...) {
            // The thread reports the error; the UI shows the stand-in, so
            // that the frame before never passes for this one.
            if (IsPending(key))
                m_queue.Post(std::make_unique<Delivery>(this, key, StandInFor(key)));
            throw;
        }
        if (IsPending(key))
            m_queue.Post(std::make_unique<Delivery>(this, key, std::move(image)));
    }

    // Painter thread: the stand-in, or nothing when even that fails (the
    // view then shows its background colour).
    ImagePtr StandInFor(const KeyPtr& key) noexcept
    {
        try {
            return m_standIn ? m_standIn(key) : ImagePtr();
        } catch (...) {
            return {};
        }
    }

    // UI thread: only the result of the request still pending is kept (a
    // stand-in as well).
    void Deliver(const KeyPtr& key, const ImagePtr& image)
    {
        if (!IsPending(key))
            return;
        SetPending({});
        m_ready = Buffer { key, image };
        m_drawn = false;
        if (m_delivered)
            m_delivered();
    }

    Fetch m_fetch;
    StandIn m_standIn;
    Equal m_equal;
    std::function<void()> m_delivered;
    MessageQueue& m_queue;
    mutable std::mutex m_lock;
    KeyPtr m_pending;
    Buffer m_ready;
    bool m_drawn = false;
    std::atomic<int> m_hint { 0 };
    int m_wakes = 0;
    Thread m_thread;
};

} // namespace My
