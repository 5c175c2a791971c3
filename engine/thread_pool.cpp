#include "engine/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/kernel/thread.h"

namespace trm {

namespace {

// Set on the pool's threads and on a thread while it runs a loop: a loop
// started there runs serially instead of waiting for itself.
thread_local bool t_in_loop = false;

std::mutex g_shared_lock;
std::unique_ptr<thread_pool> g_shared;
unsigned g_wanted = 0;

} // namespace

struct thread_pool::state {
    std::vector<std::unique_ptr<platform::thread>> workers;
    // Serialises loops: a loop asked for while another runs runs alone.
    std::mutex loop_lock;

    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable done;
    bool stop = false;
    // Bumped for every loop, so that a worker joins each loop once.
    std::uint64_t generation = 0;
    const std::function<void(std::size_t)>* body = nullptr;
    std::size_t count = 0;
    std::atomic<std::size_t> next { 0 };
    std::atomic<bool> failed { false };
    std::exception_ptr error;
    // Workers still inside the current loop.
    unsigned busy = 0;

    void work()
    {
        for (;;) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count || failed.load(std::memory_order_relaxed))
                return;
            try {
                (*body)(i);
            } catch (...) {
                std::lock_guard guard(lock);
                if (!error)
                    error = std::current_exception();
                failed = true;
            }
        }
    }

    static unsigned worker_main(void* argument)
    {
        auto& s = *static_cast<state*>(argument);
        t_in_loop = true;
        std::uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock guard(s.lock);
                s.wake.wait(guard, [&] { return s.stop || s.generation != seen; });
                if (s.stop)
                    return 0;
                seen = s.generation;
            }
            s.work();
            std::lock_guard guard(s.lock);
            if (--s.busy == 0)
                s.done.notify_all();
        }
    }
};

thread_pool::thread_pool(unsigned threads)
    : m_threads(std::max(1u, threads))
    , m_state(std::make_unique<state>())
{
    for (unsigned i = 1; i < m_threads; ++i) {
        auto t = std::make_unique<platform::thread>();
        // Threads the system refuses leave a smaller pool, never a failure.
        if (!t->create(&state::worker_main, m_state.get()))
            break;
        t->set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
        t->resume();
        m_state->workers.push_back(std::move(t));
    }
    m_threads = static_cast<unsigned>(m_state->workers.size()) + 1;
}

thread_pool::~thread_pool()
{
    {
        std::lock_guard guard(m_state->lock);
        m_state->stop = true;
    }
    m_state->wake.notify_all();
    for (const auto& t : m_state->workers)
        t->join();
}

void thread_pool::run(std::size_t count, const std::function<void(std::size_t)>& body)
{
    if (count == 0)
        return;
    std::unique_lock<std::mutex> loop(m_state->loop_lock, std::defer_lock);
    if (m_state->workers.empty() || count == 1 || t_in_loop || !loop.try_lock()) {
        for (std::size_t i = 0; i < count; ++i)
            body(i);
        return;
    }
    state& s = *m_state;
    {
        std::lock_guard guard(s.lock);
        s.body = &body;
        s.count = count;
        s.next = 0;
        s.failed = false;
        s.error = nullptr;
        s.busy = static_cast<unsigned>(s.workers.size());
        ++s.generation;
    }
    s.wake.notify_all();
    t_in_loop = true;
    s.work();
    t_in_loop = false;
    std::exception_ptr error;
    {
        std::unique_lock guard(s.lock);
        s.done.wait(guard, [&] { return s.busy == 0; });
        error = s.error;
        s.error = nullptr;
        s.body = nullptr;
    }
    if (error)
        std::rethrow_exception(error);
}

unsigned thread_pool::machine_threads()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

thread_pool& thread_pool::shared()
{
    std::lock_guard guard(g_shared_lock);
    const unsigned wanted = g_wanted != 0 ? g_wanted : machine_threads();
    if (!g_shared || g_shared->threads() != wanted)
        g_shared = std::make_unique<thread_pool>(wanted);
    return *g_shared;
}

void thread_pool::set_threads(unsigned count)
{
    std::lock_guard guard(g_shared_lock);
    g_wanted = count;
}

void parallel_ranges(
    std::size_t count, std::size_t grain, const std::function<void(std::size_t, std::size_t)>& body)
{
    grain = std::max<std::size_t>(grain, 1);
    const std::size_t chunks = (count + grain - 1) / grain;
    thread_pool::shared().run(chunks, [&](std::size_t c) {
        const std::size_t first = c * grain;
        body(first, std::min(count, first + grain));
    });
}

void parallel_rows(unsigned height, const std::function<void(unsigned, unsigned)>& body)
{
    // About eight bands per thread balance uneven rows without making the
    // dispatch show.
    const std::size_t bands = std::size_t(thread_pool::shared().threads()) * 8;
    const std::size_t grain = std::max<std::size_t>(1, (height + bands - 1) / bands);
    parallel_ranges(height, grain, [&](std::size_t first, std::size_t last) {
        body(static_cast<unsigned>(first), static_cast<unsigned>(last));
    });
}

} // namespace trm
