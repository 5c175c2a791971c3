#include "platform/kernel/block_pool.h"

#include "platform/kernel/memory_status.h"

#include <algorithm>

namespace platform {

block_pool::block_pool(std::uint64_t limit_bytes)
    : m_limit(limit_bytes)
{
}

block_pool::~block_pool()
{
    for (auto& [block, bytes] : m_blocks)
        delete[] block;
}

unsigned char* block_pool::take(std::size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    if (bytes >= min_bytes) {
        std::lock_guard guard(m_lock);
        // The newest block of the size: the likeliest to be in the caches.
        for (auto it = m_blocks.rbegin(); it != m_blocks.rend(); ++it)
            if (it->second == bytes) {
                unsigned char* block = it->first;
                m_blocks.erase(std::next(it).base());
                m_held -= bytes;
                return block;
            }
        if (!m_blocks.empty())
            drop_oldest();
    }
    return new unsigned char[bytes];
}

void block_pool::give(unsigned char* block, std::size_t bytes) noexcept
{
    if (block == nullptr)
        return;
    if (bytes < min_bytes || bytes > m_limit) {
        delete[] block;
        return;
    }
    std::lock_guard guard(m_lock);
    while (m_held + bytes > m_limit)
        drop_oldest();
    try {
        m_blocks.emplace_back(block, bytes);
    } catch (...) {
        delete[] block;
        return;
    }
    m_held += bytes;
}

std::uint64_t block_pool::held() const
{
    std::lock_guard guard(m_lock);
    return m_held;
}

void block_pool::drop_oldest() noexcept
{
    delete[] m_blocks.front().first;
    m_held -= m_blocks.front().second;
    m_blocks.erase(m_blocks.begin());
}

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool address_checked = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool address_checked = true;
#else
constexpr bool address_checked = false;
#endif
#else
constexpr bool address_checked = false;
#endif

std::uint64_t image_pool_limit()
{
    if (address_checked)
        return 0;
    constexpr std::uint64_t most = std::uint64_t(512) << 20;
    memory_status status;
    if (!global_memory_status(status) || status.total_physical == 0)
        return std::uint64_t(64) << 20;
    return std::min(most, status.total_physical / 32);
}

} // namespace

block_pool& image_block_pool()
{
    // Never destroyed: images in static storage may give their buffers back
    // after the end of main.
    static block_pool* pool = new block_pool(image_pool_limit());
    return *pool;
}

} // namespace platform
