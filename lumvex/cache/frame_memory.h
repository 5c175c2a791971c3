#pragma once

// Memory for decoded frames that the memory cache keeps. Memory a process
// touches for the first time costs the system a fault per 4 KiB page, and
// on some virtual machines each of those costs tens of microseconds, and
// backing a page the machine has not used for a while costs more still: for
// a frame that is more than decoding it. Frame buffers are therefore carved
// from large mappings (slabs) that ask for 2 MiB pages, and stocking threads
// write each buffer's pages in place ahead of the reader, side by side, so
// that the reader neither faults nor waits; a buffer that is given back (its
// frame evicted and let go) is handed out again to the next frame of its
// size, already in place.
//
// Memory stays bounded by the budget (the memory cache's quota): buffers
// are prepared ahead only while the buffers in place stay within it, a
// buffer given back while more than the budget plus two buffers is in
// place is released to the system, and a slab whose buffers are all back
// is unmapped once the stock is full without it. Lowering the budget
// releases the ready buffers beyond it at once. Asking for another size
// lets the stock of the former go. A buffer asked for is always given,
// whatever the budget: the reader never waits for one.
//
// Threads: every operation may be called from any thread. Buffers may be
// given back after the frame_memory object is gone; their memory is then
// released with the last of them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace lumvex {

namespace detail {
struct frame_memory_state;
}

class frame_memory {
public:
    // The bytes of buffers kept ready ahead of the reader (at least two
    // buffers, at most 64).
    static constexpr std::uint64_t stock_bytes = std::uint64_t(64) << 20;
    // Buffers kept in place beyond the budget: the one being decoded into
    // and the one a full cache gives back for the next frame.
    static constexpr std::uint64_t spare_buffers = 2;
    // Stocking threads: a quarter of the processors, at least one and at
    // most this many (more compete with the reader for the machine).
    static constexpr unsigned max_stockers = 2;

    // The work a thread does with the pool's lock let go: mapping a slab
    // (a reader or a stocking thread), putting a buffer in place (a
    // stocking thread).
    enum class step { mapping, stocking };
    // Called by that thread just before the step, without the lock, so that
    // a test can hold it there while other calls go on; the program passes
    // none.
    using pause = std::function<void(step)>;

    // `budget`: the most bytes of buffers to hold in place without being
    // asked; 0 prepares nothing ahead and keeps nothing given back.
    // `at_step` is called from any thread, and from several at once.
    explicit frame_memory(std::uint64_t budget, pause at_step = {});
    // Stops the stocking thread; buffers still handed out stay valid.
    ~frame_memory();
    frame_memory(const frame_memory&) = delete;
    frame_memory& operator=(const frame_memory&) = delete;

    // A buffer of at least `bytes` bytes (contents undefined, start aligned
    // to 4 KiB); it goes back to the pool when the last copy of the pointer
    // is dropped. A ready buffer is in place; when none is, the buffer's
    // pages are put in place by whoever writes them first (the thread that
    // writes the frame, not the one that asked), as any fresh memory is.
    // Throws std::bad_alloc when the system has no memory for it. `bytes` of
    // 0 gives an empty pointer.
    std::shared_ptr<unsigned char> acquire(std::size_t bytes);

    // Buffers of `bytes` bytes will be asked for: their stock is prepared
    // from now on.
    void expect(std::size_t bytes);

    // A lower budget releases ready buffers at once until the buffers in
    // place fit it (buffers handed out stay until they come back); a higher
    // one lets the stock grow.
    void set_budget(std::uint64_t budget);

    // Figures for tests and benchmarks: bytes of buffers in place (handed
    // out or ready), bytes of ready buffers, bytes mapped in slabs.
    std::uint64_t in_place() const;
    std::uint64_t ready() const;
    std::uint64_t mapped() const;
    // Returns once the stocking thread has nothing left to do.
    void settle() const;

private:
    void run();
    // Ends and joins the stocking threads.
    void stop();

    std::shared_ptr<detail::frame_memory_state> m_state;
    std::vector<std::thread> m_stockers;
};

} // namespace lumvex
