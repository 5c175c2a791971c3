#include "lumvex/cache/frame_memory.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define LUMVEX_ADDRESS_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMVEX_ADDRESS_CHECKED 1
#endif
#endif
#ifdef LUMVEX_ADDRESS_CHECKED
#include <sanitizer/asan_interface.h>
#endif

namespace lumvex {

namespace {

constexpr std::size_t page_bytes = 4096;
constexpr std::size_t large_page_bytes = std::size_t(2) << 20;

std::size_t round_up(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

// With the address checker, a buffer not handed out may not be touched, so
// that a frame used after its entry let it go is caught as it is with the
// system's allocator.
void forbid(unsigned char* start, std::size_t bytes)
{
#ifdef LUMVEX_ADDRESS_CHECKED
    ASAN_POISON_MEMORY_REGION(start, bytes);
#else
    (void)start;
    (void)bytes;
#endif
}

void allow(unsigned char* start, std::size_t bytes)
{
#ifdef LUMVEX_ADDRESS_CHECKED
    ASAN_UNPOISON_MEMORY_REGION(start, bytes);
#else
    (void)start;
    (void)bytes;
#endif
}

// Puts the pages of [start, start + bytes) in place by writing to each
// (contents undefined). The faults lock only the slab's own mapping: asking
// the kernel to fill the range in one call would hold the lock of the
// whole address space meanwhile, and every thread that maps memory (the
// allocator growing a heap) would wait for it, each page fault of every
// thread behind that one.
void put_in_place(unsigned char* start, std::size_t bytes)
{
    for (std::size_t offset = 0; offset < bytes; offset += page_bytes)
        *static_cast<volatile unsigned char*>(start + offset) = 0;
}

void unmap(unsigned char* start, std::size_t bytes)
{
    allow(start, bytes);
    ::munmap(start, bytes);
}

// A mapping of `bytes` (a multiple of 2 MiB) starting on a 2 MiB boundary,
// so that all of it may be backed by large pages.
unsigned char* map_aligned(std::size_t bytes)
{
    const std::size_t padded = bytes + large_page_bytes;
    void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    auto* first = static_cast<unsigned char*>(raw);
    auto* start = reinterpret_cast<unsigned char*>(
        round_up(reinterpret_cast<std::uintptr_t>(first), large_page_bytes));
    if (start != first)
        ::munmap(first, static_cast<std::size_t>(start - first));
    if (const std::size_t tail = padded - static_cast<std::size_t>(start - first) - bytes; tail != 0)
        ::munmap(start + bytes, tail);
#ifdef MADV_HUGEPAGE
    ::madvise(start, bytes, MADV_HUGEPAGE);
#endif
    return start;
}

// The bytes of a slab for buffers of `each` bytes: whole large pages, with
// the least room left after the last buffer (that room is backed by the
// last large page all the same) among the counts from half a stock to a
// stock.
std::size_t slab_bytes(std::size_t each)
{
    const std::size_t most = std::max<std::size_t>(1, frame_memory::stock_bytes / each);
    std::size_t best = round_up(most * each, large_page_bytes);
    std::size_t best_waste = best - most * each;
    for (std::size_t count = most; count > most / 2 && best_waste != 0; --count) {
        const std::size_t bytes = round_up(count * each, large_page_bytes);
        if (bytes - count * each < best_waste) {
            best = bytes;
            best_waste = bytes - count * each;
        }
    }
    return best;
}

} // namespace

namespace detail {

struct slab {
    unsigned char* base = nullptr;
    std::size_t bytes = 0;
    // Free buffers in place, and free buffers without pages.
    std::vector<unsigned> ready;
    std::vector<unsigned> bare;
    // Buffers handed out or being put in place.
    unsigned out = 0;
};

struct size_class {
    std::size_t buffer_bytes = 0;
    // Ready buffers to keep ahead of the reader.
    std::size_t stock = 0;
    std::size_t ready = 0;
    // Buffers the stocking thread is putting in place.
    std::size_t stocking = 0;
    std::list<slab> slabs;
};

struct frame_memory_state {
    ~frame_memory_state()
    {
        for (auto& [bytes, sizes] : classes) {
            for (slab& s : sizes.slabs)
                unmap(s.base, s.bytes);
        }
    }

    size_class& class_of(std::size_t buffer_bytes)
    {
        size_class& sizes = classes[buffer_bytes];
        if (sizes.buffer_bytes == 0) {
            sizes.buffer_bytes = buffer_bytes;
            sizes.stock = std::clamp<std::size_t>(frame_memory::stock_bytes / buffer_bytes, 2, 64);
        }
        return sizes;
    }

    // Makes `buffer_bytes` the size asked for now. The stock of the size
    // asked for before is let go: its slabs all back are unmapped at once,
    // the others when their last buffer comes back.
    size_class& switch_to(std::size_t buffer_bytes)
    {
        size_class& sizes = class_of(buffer_bytes);
        if (current != buffer_bytes) {
            current = buffer_bytes;
            for (auto& [bytes, other] : classes) {
                if (bytes != buffer_bytes)
                    drop_idle_slabs(other);
            }
        }
        return sizes;
    }

    // Unmaps the slabs of the class that have no buffer out.
    void drop_idle_slabs(size_class& sizes)
    {
        for (auto it = sizes.slabs.begin(); it != sizes.slabs.end();)
            it = it->out == 0 ? unmap_slab(sizes, it) : std::next(it);
    }

    // Unmaps a slab with no buffer out, its ready buffers with it; returns
    // the slab after it.
    std::list<slab>::iterator unmap_slab(size_class& sizes, std::list<slab>::iterator it)
    {
        const std::uint64_t ready_in_it = it->ready.size() * sizes.buffer_bytes;
        in_place -= ready_in_it;
        ready_bytes -= ready_in_it;
        sizes.ready -= it->ready.size();
        mapped -= it->bytes;
        unmap(it->base, it->bytes);
        return sizes.slabs.erase(it);
    }

    // Gives a free buffer's pages back to the system; it stays in its slab,
    // bare.
    void release_buffer(slab& s, std::size_t buffer_bytes, unsigned index)
    {
        ::madvise(s.base + std::size_t(index) * buffer_bytes, buffer_bytes, MADV_DONTNEED);
        s.bare.push_back(index);
        in_place -= buffer_bytes;
    }

    // A slab of the class with a bare buffer, or null.
    static slab* with_bare_buffer(size_class& sizes)
    {
        const auto it = std::find_if(
            sizes.slabs.begin(), sizes.slabs.end(), [](const slab& s) { return !s.bare.empty(); });
        return it == sizes.slabs.end() ? nullptr : &*it;
    }

    // A slab of the class with a ready buffer, or null.
    static slab* with_ready_buffer(size_class& sizes)
    {
        const auto it = std::find_if(
            sizes.slabs.begin(), sizes.slabs.end(), [](const slab& s) { return !s.ready.empty(); });
        return it == sizes.slabs.end() ? nullptr : &*it;
    }

    void make_ready(slab& s, size_class& sizes, unsigned index)
    {
        s.ready.push_back(index);
        ++sizes.ready;
        ready_bytes += sizes.buffer_bytes;
    }

    // Takes a ready buffer of the slab off the stock; it stays in place.
    unsigned take_ready(slab& s, size_class& sizes)
    {
        const unsigned index = s.ready.back();
        s.ready.pop_back();
        --sizes.ready;
        ready_bytes -= sizes.buffer_bytes;
        return index;
    }

    // Takes a bare buffer of the slab, counting it in place: its pages are
    // put there by whoever writes it first.
    unsigned take_bare(slab& s, std::size_t buffer_bytes)
    {
        const unsigned index = s.bare.back();
        s.bare.pop_back();
        ++s.out;
        in_place += buffer_bytes;
        return index;
    }

    // The class whose stock the stocking thread should fill now, or null.
    size_class* wanting()
    {
        if (stopping || current == 0)
            return nullptr;
        size_class& sizes = classes[current];
        if (sizes.ready + sizes.stocking >= sizes.stock || in_place + sizes.buffer_bytes > budget)
            return nullptr;
        return &sizes;
    }

    // A slab of up to a stock's bytes, every buffer bare.
    slab& add_slab(std::unique_lock<std::mutex>& lock, size_class& sizes)
    {
        const std::size_t each = sizes.buffer_bytes;
        const std::size_t bytes = slab_bytes(each);
        lock.unlock();
        unsigned char* base = nullptr;
        try {
            if (at_step)
                at_step(frame_memory::step::mapping);
            base = map_aligned(bytes);
        } catch (...) {
            lock.lock();
            throw;
        }
        lock.lock();
        slab& s = sizes.slabs.emplace_back();
        s.base = base;
        s.bytes = bytes;
        for (std::size_t i = bytes / each; i-- > 0;)
            s.bare.push_back(static_cast<unsigned>(i));
        mapped += bytes;
        return s;
    }

    // Releases ready buffers, those of sizes no longer asked for first,
    // until the buffers in place fit the budget or none is ready; a slab
    // left with nothing in place and nothing out is unmapped.
    void release_beyond_budget()
    {
        for (auto& [bytes, sizes] : classes) {
            if (bytes != current)
                release_ready(sizes);
        }
        if (current != 0)
            release_ready(classes[current]);
    }

    void release_ready(size_class& sizes)
    {
        const std::size_t each = sizes.buffer_bytes;
        for (auto it = sizes.slabs.begin(); it != sizes.slabs.end() && in_place > budget;) {
            slab& s = *it;
            while (!s.ready.empty() && in_place > budget)
                release_buffer(s, each, take_ready(s, sizes));
            it = s.out == 0 && s.ready.empty() ? unmap_slab(sizes, it) : std::next(it);
        }
    }

    // Takes back a buffer that was handed out or that a stocking thread has
    // put in place.
    void take_back(slab& s, size_class& sizes, unsigned index)
    {
        --s.out;
        forbid(s.base + std::size_t(index) * sizes.buffer_bytes, sizes.buffer_bytes);
        // Past the budget, a buffer is kept only for the frame being decoded
        // and the next one: a full cache evicts a frame for each it takes.
        if (in_place > budget + frame_memory::spare_buffers * sizes.buffer_bytes)
            release_buffer(s, sizes.buffer_bytes, index);
        else
            make_ready(s, sizes, index);
        let_go_if_unwanted(sizes, s);
        if (idle > 0 && wanting() != nullptr)
            work.notify_all();
    }

    void give_back(slab* s, std::size_t buffer_bytes, unsigned index)
    {
        std::lock_guard guard(lock);
        take_back(*s, classes[buffer_bytes], index);
    }

    // Unmaps a slab with nothing out when nothing will ask for it: its size
    // is no longer the one asked for, or its class's stock is full without
    // it. A switch of size passes over slabs with a buffer out and slabs
    // still being mapped, so this is asked again whenever a buffer comes
    // back to a slab and whenever a slab is added.
    void let_go_if_unwanted(size_class& sizes, slab& s)
    {
        if (s.out == 0 && (current != sizes.buffer_bytes || sizes.ready - s.ready.size() >= sizes.stock))
            unmap_slab(sizes, std::find_if(sizes.slabs.begin(), sizes.slabs.end(), [&s](const slab& each) {
                return &each == &s;
            }));
    }

    // Set before the stocking threads start.
    frame_memory::pause at_step;
    std::mutex lock;
    std::condition_variable work;
    std::condition_variable settled;
    std::map<std::size_t, size_class> classes;
    // The buffer size asked for last; 0 before the first request and after
    // the pool's owner has gone.
    std::size_t current = 0;
    std::uint64_t budget = 0;
    std::uint64_t in_place = 0;
    std::uint64_t ready_bytes = 0;
    std::uint64_t mapped = 0;
    bool stopping = false;
    // Stocking threads at work, and those waiting for work.
    int busy = 0;
    int idle = 0;
};

} // namespace detail

frame_memory::frame_memory(std::uint64_t budget, pause at_step)
    : m_state(std::make_shared<detail::frame_memory_state>())
{
    m_state->budget = budget;
    m_state->at_step = std::move(at_step);
    // Filling pages the system has not backed yet is slow on some virtual
    // machines and goes faster side by side.
    const unsigned count = std::clamp(std::thread::hardware_concurrency() / 4, 1u, max_stockers);
    try {
        for (unsigned i = 0; i < count; ++i)
            m_stockers.emplace_back([this] { run(); });
    } catch (...) {
        stop();
        throw;
    }
}

void frame_memory::stop()
{
    {
        std::lock_guard guard(m_state->lock);
        m_state->stopping = true;
        m_state->budget = 0;
        m_state->current = 0;
    }
    m_state->work.notify_all();
    for (std::thread& stocker : m_stockers)
        stocker.join();
    m_stockers.clear();
}

frame_memory::~frame_memory()
{
    stop();
    // Ready buffers go now; those handed out go when they come back.
    std::lock_guard guard(m_state->lock);
    for (auto& [bytes, sizes] : m_state->classes)
        m_state->drop_idle_slabs(sizes);
}

std::shared_ptr<unsigned char> frame_memory::acquire(std::size_t bytes)
{
    if (bytes == 0)
        return {};
    const std::size_t each = round_up(bytes, page_bytes);
    detail::frame_memory_state& state = *m_state;
    std::unique_lock lock(state.lock);
    detail::size_class& sizes = state.switch_to(each);
    detail::slab* from = nullptr;
    detail::slab* added = nullptr;
    unsigned index = 0;
    for (;;) {
        from = state.with_ready_buffer(sizes);
        if (from != nullptr) {
            index = state.take_ready(*from, sizes);
            ++from->out;
            break;
        }
        from = state.with_bare_buffer(sizes);
        if (from != nullptr) {
            index = state.take_bare(*from, each);
            break;
        }
        // The lock is let go while mapping; a stocking thread may have
        // made a buffer ready meanwhile, which is then taken instead.
        added = &state.add_slab(lock, sizes);
    }
    if (added != nullptr && added != from)
        state.let_go_if_unwanted(sizes, *added);
    const bool wake = state.idle > 0 && state.wanting() != nullptr;
    lock.unlock();
    if (wake)
        state.work.notify_all();
    unsigned char* start = from->base + std::size_t(index) * each;
    allow(start, each);
    std::shared_ptr<detail::frame_memory_state> keeper = m_state;
    return std::shared_ptr<unsigned char>(
        start, [keeper, from, each, index](unsigned char*) { keeper->give_back(from, each, index); });
}

void frame_memory::expect(std::size_t bytes)
{
    if (bytes == 0)
        return;
    bool wake = false;
    {
        std::lock_guard guard(m_state->lock);
        m_state->switch_to(round_up(bytes, page_bytes));
        wake = m_state->wanting() != nullptr;
    }
    if (wake)
        m_state->work.notify_all();
}

void frame_memory::set_budget(std::uint64_t budget)
{
    {
        std::lock_guard guard(m_state->lock);
        const bool lowered = budget < m_state->budget;
        m_state->budget = budget;
        // Memory given up by the user is wanted elsewhere now, not when
        // reading resumes.
        if (lowered)
            m_state->release_beyond_budget();
    }
    m_state->work.notify_all();
}

std::uint64_t frame_memory::in_place() const
{
    std::lock_guard guard(m_state->lock);
    return m_state->in_place;
}

std::uint64_t frame_memory::ready() const
{
    std::lock_guard guard(m_state->lock);
    return m_state->ready_bytes;
}

std::uint64_t frame_memory::mapped() const
{
    std::lock_guard guard(m_state->lock);
    return m_state->mapped;
}

void frame_memory::settle() const
{
    std::unique_lock lock(m_state->lock);
    m_state->settled.wait(lock, [&] { return m_state->busy == 0 && m_state->wanting() == nullptr; });
}

void frame_memory::run()
{
    detail::frame_memory_state& state = *m_state;
    std::unique_lock lock(state.lock);
    ++state.busy;
    while (!state.stopping) {
        detail::size_class* sizes = state.wanting();
        if (sizes == nullptr) {
            --state.busy;
            ++state.idle;
            state.settled.notify_all();
            state.work.wait(lock);
            --state.idle;
            ++state.busy;
            continue;
        }
        const std::size_t each = sizes->buffer_bytes;
        detail::slab* const from = state.with_bare_buffer(*sizes);
        if (from == nullptr) {
            try {
                state.let_go_if_unwanted(*sizes, state.add_slab(lock, *sizes));
            } catch (const std::bad_alloc&) {
                // No memory to prepare ahead; the reader maps its own.
                --state.busy;
                state.settled.notify_all();
                state.work.wait_for(lock, std::chrono::milliseconds(100));
                ++state.busy;
            }
            // The lock was let go while mapping: another stocker may have
            // filled the stock or the budget meanwhile, so what is wanted
            // is asked again under the lock the slab was added with.
            continue;
        }
        const unsigned index = state.take_bare(*from, each);
        ++sizes->stocking;
        const std::uint64_t budget = state.budget;
        lock.unlock();
        if (state.at_step)
            state.at_step(step::stocking);
        // A bare buffer may have been released after it was given back,
        // and is then still forbidden.
        allow(from->base + std::size_t(index) * each, each);
        put_in_place(from->base + std::size_t(index) * each, each);
        lock.lock();
        --sizes->stocking;
        state.take_back(*from, *sizes, index);
        // A budget lowered while this buffer was put in place could not
        // release it then.
        if (state.budget < budget)
            state.release_beyond_budget();
    }
    --state.busy;
    state.settled.notify_all();
}

} // namespace lumvex
