#include "engine/common/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
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

// How long a thread that has run out of work keeps looking for more before
// it sleeps: the stages start their loops in quick succession, and waking a
// sleeping thread costs more than most of their loops take.
constexpr auto spin_time = std::chrono::microseconds(50);

// Calls done() until it returns true or the spin time has passed; true when
// done() did.
template <class Done> bool spin_until(Done&& done)
{
    const auto end = std::chrono::steady_clock::now() + spin_time;
    for (unsigned round = 0;; ++round) {
        if (done())
            return true;
        if ((round & 63u) == 63u) {
            if (std::chrono::steady_clock::now() >= end)
                return false;
            std::this_thread::yield();
        }
    }
}

struct thread_pool::state {
    std::vector<std::unique_ptr<platform::thread>> workers;
    // Serialises loops: a loop asked for while another runs runs alone.
    std::mutex loop_lock;

    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable done;
    bool stop = false;
    // Bumped (under `lock`) for every loop, so that a worker joins each loop
    // once; read without the lock while a worker spins.
    std::atomic<std::uint64_t> generation { 0 };
    // Workers waiting on `wake`.
    unsigned sleepers = 0;
    // True from the start of a loop until the calling thread has run out of
    // items: only then may a worker join it.
    bool open = false;
    const std::function<void(std::size_t)>* body = nullptr;
    std::size_t count = 0;
    std::atomic<std::size_t> next { 0 };
    std::atomic<bool> failed { false };
    std::exception_ptr error;
    // Workers inside the current loop; the calling thread waits for these
    // alone, never for a worker that has not woken yet.
    std::atomic<unsigned> joined { 0 };

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
            spin_until([&] { return s.generation.load(std::memory_order_acquire) != seen; });
            {
                std::unique_lock guard(s.lock);
                if (!s.stop && s.generation.load(std::memory_order_relaxed) == seen) {
                    ++s.sleepers;
                    s.wake.wait(guard,
                        [&] { return s.stop || s.generation.load(std::memory_order_relaxed) != seen; });
                    --s.sleepers;
                }
                if (s.stop)
                    return 0;
                seen = s.generation.load(std::memory_order_relaxed);
                if (!s.open)
                    continue;
                s.joined.fetch_add(1, std::memory_order_relaxed);
            }
            s.work();
            if (s.joined.fetch_sub(1, std::memory_order_acq_rel) == 1) {
                std::lock_guard guard(s.lock);
                s.done.notify_all();
            }
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
    bool sleeping = false;
    {
        std::lock_guard guard(s.lock);
        s.body = &body;
        s.count = count;
        s.next = 0;
        s.failed = false;
        s.error = nullptr;
        s.open = true;
        s.generation.fetch_add(1, std::memory_order_release);
        sleeping = s.sleepers != 0;
    }
    if (sleeping)
        s.wake.notify_all();
    t_in_loop = true;
    s.work();
    t_in_loop = false;
    {
        std::lock_guard guard(s.lock);
        s.open = false;
    }
    std::exception_ptr error;
    if (!spin_until([&] { return s.joined.load(std::memory_order_acquire) == 0; })) {
        std::unique_lock guard(s.lock);
        s.done.wait(guard, [&] { return s.joined.load(std::memory_order_acquire) == 0; });
    }
    {
        std::lock_guard guard(s.lock);
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
