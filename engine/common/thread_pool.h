#pragma once

// The engine's worker threads: one pool, sized to the machine, that the
// stages share for loops whose iterations are independent (rows, blocks,
// windows, segments). The threads run below normal priority, as the segment
// worker does, so the program stays responsive while a calculation runs.
//
// A loop's iterations must each compute their own outputs: the pool gives no
// order among iterations, so results equal the one-thread run only when no
// iteration reads what another writes, and sums are never split across
// iterations.

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>

namespace trm {

class thread_pool {
public:
    // The engine's pool, created on first use with as many threads as the
    // machine has cores (or the count last given to set_threads).
    static thread_pool& shared();
    // Sets the shared pool's thread count, the calling thread included; 0
    // means one per core. Takes effect at the next call of shared(), which
    // then replaces the pool: call it only while no loop runs (tests and
    // benchmarks; one thread makes every loop serial).
    static void set_threads(unsigned count);
    static unsigned machine_threads();

    explicit thread_pool(unsigned threads);
    ~thread_pool();
    thread_pool(const thread_pool&) = delete;
    thread_pool& operator=(const thread_pool&) = delete;

    unsigned threads() const noexcept { return m_threads; }

    // Calls body(i) once for every i in [0, count), on the pool's threads and
    // the calling one, and returns when all calls have returned. The first
    // exception a call throws is rethrown here once all calls have ended
    // (calls not yet begun are skipped). A loop started from inside a loop,
    // or while another thread's loop runs, runs on the calling thread alone.
    void run(std::size_t count, const std::function<void(std::size_t)>& body);

private:
    struct state;
    unsigned m_threads;
    std::unique_ptr<state> m_state;
};

// Calls body(first, last) for consecutive ranges that cover [0, count), at
// most `grain` items each (at least one), on the shared pool.
void parallel_ranges(
    std::size_t count, std::size_t grain, const std::function<void(std::size_t, std::size_t)>& body);

// Rows [0, height) in bands of a few rows each, on the shared pool.
void parallel_rows(unsigned height, const std::function<void(unsigned, unsigned)>& body);

} // namespace trm
