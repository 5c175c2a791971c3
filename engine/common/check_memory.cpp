#include "engine/common/check_memory.h"

#include <limits>

#include "platform/kernel/memory_status.h"

namespace trm {

namespace {

// The status now; false when the system does not tell.
bool read_status(platform::memory_status& status)
{
    return platform::global_memory_status(status);
}

enum class memory_limit { none, address_space, physical };

// The first limit of `status` that `need` bytes exceed.
memory_limit exceeded_limit(std::uint64_t need, const platform::memory_status& status)
{
    if (status.available_virtual < need)
        return memory_limit::address_space;
    if (status.available_physical < need)
        return memory_limit::physical;
    return memory_limit::none;
}

// Whole mebibytes, rounded up so that a small need never reads as 0.
std::string mebibytes(std::uint64_t bytes)
{
    const std::uint64_t mib = std::uint64_t(1) << 20;
    return std::to_string(bytes / mib + (bytes % mib != 0));
}

} // namespace

no_virt_mem::no_virt_mem()
    : exception("The process exceeded all its virtual memory, sorry.")
{
}

no_page_mem::no_page_mem()
    : exception("Not enough page memory available.\n"
                "Please, close other tasks running or enlarge system's pagefile.")
{
}

not_enough_memory::not_enough_memory(const std::string& task, std::uint64_t needed, std::uint64_t available)
    : exception("Not enough memory for " + task + ": " + mebibytes(needed) + " MiB needed, "
        + mebibytes(available) + " MiB available.")
{
}

void check_memory(std::uint64_t need)
{
    platform::memory_status status;
    if (read_status(status))
        check_memory(need, status);
}

void check_memory(std::uint64_t need, const platform::memory_status& status)
{
    const std::uint64_t wanted = need > UINT64_MAX - memory_reserve ? UINT64_MAX : need + memory_reserve;
    switch (exceeded_limit(wanted, status)) {
    case memory_limit::address_space:
        throw no_virt_mem();
    case memory_limit::physical:
        throw no_page_mem();
    case memory_limit::none:
        break;
    }
}

void ensure_memory(std::uint64_t needed, const std::string& task)
{
    platform::memory_status status;
    if (read_status(status))
        ensure_memory(needed, status, task);
}

void ensure_memory(std::uint64_t needed, const platform::memory_status& status, const std::string& task)
{
    switch (exceeded_limit(needed, status)) {
    case memory_limit::address_space:
        throw not_enough_memory(task, needed, status.available_virtual);
    case memory_limit::physical:
        throw not_enough_memory(task, needed, status.available_physical);
    case memory_limit::none:
        break;
    }
}

std::uint64_t available_memory()
{
    platform::memory_status status;
    return read_status(status) ? status.available_physical : std::numeric_limits<std::uint64_t>::max();
}

} // namespace trm
