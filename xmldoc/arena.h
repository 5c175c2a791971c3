#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace xml {

// The memory of one document's tree: elements, their attribute and child
// arrays and every name and value live here, handed out from large blocks
// and freed all at once. Nothing is freed on its own: what a removed element
// or a replaced value held returns with release. Internal to the library.
class arena {
public:
    arena() = default;
    arena(const arena&) = delete;
    arena& operator=(const arena&) = delete;

    // Bytes aligned for any of the tree's structures (pointers, counts);
    // throws std::bad_alloc.
    void* allocate(std::size_t bytes);
    // Bytes without alignment, for text.
    char* allocate_text(std::size_t bytes);
    // Frees every block.
    void release() noexcept;

private:
    static constexpr std::size_t block_size = std::size_t { 1 } << 20;

    char* take(std::size_t bytes, std::size_t align);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
};

} // namespace xml
