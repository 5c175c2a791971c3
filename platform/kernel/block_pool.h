#pragma once

// Large memory blocks kept for reuse. A block the system hands out fresh is
// mapped and cleared page by page on first touch, which for a frame-sized
// block costs about as much as decoding the frame into it; a block given
// back to the pool is handed out again, already in place, to the next
// request of the same byte size.
//
// Blocks come from new unsigned char[] and may always be freed with delete[]
// instead of being given back. Only blocks of at least min_bytes are kept,
// at most limit_bytes in all: a block that does not fit pushes out the
// oldest kept ones, and a request the pool cannot answer frees its oldest
// block, so that blocks of a size no longer asked for go back to the system.
//
// Threads: every operation may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

class block_pool {
public:
    static constexpr std::size_t min_bytes = std::size_t(1) << 20;

    explicit block_pool(std::uint64_t limit_bytes);
    ~block_pool();
    block_pool(const block_pool&) = delete;
    block_pool& operator=(const block_pool&) = delete;

    // A block of `bytes` bytes (contents undefined); nullptr for 0. Throws
    // std::bad_alloc when the system has no memory left.
    unsigned char* take(std::size_t bytes);
    // Gives back a block of `bytes` bytes from take (or new[]); nullptr is
    // ignored.
    void give(unsigned char* block, std::size_t bytes) noexcept;

    // Bytes held for reuse.
    std::uint64_t held() const;
    std::uint64_t limit() const { return m_limit; }

private:
    // Frees the oldest block; the lock is held.
    void drop_oldest() noexcept;

    const std::uint64_t m_limit;
    mutable std::mutex m_lock;
    // Oldest first.
    std::vector<std::pair<unsigned char*, std::size_t>> m_blocks;
    std::uint64_t m_held = 0;
};

// The process's pool for image buffers: it keeps at most a thirty-second of
// the physical memory, and never more than 512 MiB (64 MiB when the system
// does not tell its memory). Nothing is kept in builds with the address
// checker, so that a buffer used after its release is still caught.
block_pool& image_block_pool();

} // namespace platform
