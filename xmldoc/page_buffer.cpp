#include "xmldoc/page_buffer.h"

#include <new>

#include <sys/mman.h>

namespace xml {

page_buffer::page_buffer(std::size_t size)
{
    if (size == 0)
        return;
    void* p
        = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    m_data = static_cast<char*>(p);
    m_size = size;
}

page_buffer::~page_buffer()
{
    if (m_data)
        ::munmap(m_data, m_size);
}

} // namespace xml
