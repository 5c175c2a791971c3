#include "xmldoc/arena.h"

#include <cstdint>

namespace xml {

void* arena::allocate(std::size_t bytes)
{
    return take(bytes, alignof(void*));
}

char* arena::allocate_text(std::size_t bytes)
{
    return take(bytes, 1);
}

void arena::release() noexcept
{
    m_blocks.clear();
    m_next = nullptr;
    m_left = 0;
}

char* arena::take(std::size_t bytes, std::size_t align)
{
    const std::size_t pad = (align - reinterpret_cast<std::uintptr_t>(m_next) % align) % align;
    if (m_next && pad <= m_left && bytes <= m_left - pad) {
        char* p = m_next + pad;
        m_next = p + bytes;
        m_left -= pad + bytes;
        return p;
    }
    // A large request gets a block of its own, so that the current block's
    // rest stays in use; the block's start is aligned for anything.
    if (bytes > block_size / 8) {
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(bytes));
        return m_blocks.back().get();
    }
    m_blocks.push_back(std::make_unique_for_overwrite<char[]>(block_size));
    char* p = m_blocks.back().get();
    m_next = p + bytes;
    m_left = block_size - bytes;
    return p;
}

} // namespace xml
