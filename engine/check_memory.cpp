#include "engine/check_memory.h"

#include "platform/kernel/memory_status.h"

namespace trm {

no_virt_mem::no_virt_mem()
    : exception("The process exceeded all its virtual memory, sorry.")
{
}

no_page_mem::no_page_mem()
    : exception("Not enough page memory available.\n"
                "Please, close other tasks running or enlarge system's pagefile.")
{
}

void check_memory(std::uint64_t need)
{
    platform::memory_status status;
    if (platform::global_memory_status(status))
        check_memory(need, status);
}

void check_memory(std::uint64_t need, const platform::memory_status& status)
{
    const std::uint64_t wanted = need > UINT64_MAX - memory_reserve ? UINT64_MAX : need + memory_reserve;
    if (status.available_virtual < wanted)
        throw no_virt_mem();
    if (status.available_physical < wanted)
        throw no_page_mem();
}

} // namespace trm
