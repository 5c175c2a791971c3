#pragma once

#include <cstddef>

namespace xml {

// Bytes mapped straight from the system and unmapped when the buffer goes:
// a large passing buffer (a file's text while its tree is built) then never
// stays resident as a hole in the heap after it is freed. Pages are taken
// only as they are written. Internal to the library.
class page_buffer {
public:
    // Throws std::bad_alloc when the system refuses the mapping.
    explicit page_buffer(std::size_t size);
    ~page_buffer();
    page_buffer(const page_buffer&) = delete;
    page_buffer& operator=(const page_buffer&) = delete;

    char* data() const noexcept { return m_data; }
    std::size_t size() const noexcept { return m_size; }

private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace xml
