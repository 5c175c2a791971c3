#include "engine/memory_guard.h"

#include <limits>

#include "platform/kernel/memory_status.h"

namespace trm {

namespace {

// Whole mebibytes, rounded up so that a small need never reads as 0.
std::string mebibytes(std::uint64_t bytes)
{
    const std::uint64_t mib = std::uint64_t(1) << 20;
    return std::to_string(bytes / mib + (bytes % mib != 0));
}

} // namespace

not_enough_memory::not_enough_memory(const std::string& task, std::uint64_t needed, std::uint64_t available)
    : exception("Not enough memory for " + task + ": " + mebibytes(needed) + " MiB needed, "
        + mebibytes(available) + " MiB available.")
{
}

std::uint64_t available_memory()
{
    platform::memory_status status;
    if (!platform::global_memory_status(status))
        return std::numeric_limits<std::uint64_t>::max();
    return status.available_physical;
}

void ensure_memory(std::uint64_t needed, std::uint64_t available, const std::string& task)
{
    if (needed > available)
        throw not_enough_memory(task, needed, available);
}

void ensure_memory(std::uint64_t needed, const std::string& task)
{
    ensure_memory(needed, available_memory(), task);
}

} // namespace trm
