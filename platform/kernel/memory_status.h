#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The memory the system can still give, in bytes.
struct memory_status {
    // All physical memory of the system; 0 when the system does not tell.
    std::uint64_t total_physical = 0;
    // Physical memory available for new allocations without swapping.
    std::uint64_t available_physical = 0;
    // Physical memory plus free swap space: what can still be committed.
    std::uint64_t available_page_file = 0;
    // Address space the process can still map: its address-space limit (or
    // the user address space when unlimited) less what it has mapped.
    std::uint64_t available_virtual = 0;
};

// The current status of the system and the calling process. Returns false
// and records the error as the thread's last error (system_error.h) when the
// system does not tell.
bool global_memory_status(memory_status& status);

// The system-wide part of the status read from a file in the kernel's
// meminfo format ("Name:   value kB" lines); `available_virtual` is left
// alone. Returns false with the last error ENODATA when the file lacks
// "MemAvailable", or with the system's error when it cannot be read.
bool read_meminfo(const std::string& path, memory_status& status);

} // namespace platform
