#pragma once

// The engine's memory guard: before work allocates its memory, the work
// states what it is about to take and is refused with a sentence instead of
// running the system out of memory. The calculation checks before each
// frame's images are loaded, so that a long calculation stops cleanly at a
// frame boundary (keeping the frames stored so far) instead of failing inside
// a stage; a stage checks its own working memory with a sentence that names
// its task. Both read the system once and compare in one place.

#include <cstdint>
#include <string>

#include "engine/exception.h"

namespace platform {
struct memory_status;
}

namespace trm {

// The process cannot map the memory a frame needs.
class no_virt_mem : public exception {
public:
    no_virt_mem();
};

// The system cannot give the memory a frame needs.
class no_page_mem : public exception {
public:
    no_page_mem();
};

// A stage would need more memory than the system has available.
class not_enough_memory : public exception {
public:
    not_enough_memory(const std::string& task, std::uint64_t needed, std::uint64_t available);
};

// Memory kept free beyond a frame's estimated need.
inline constexpr std::uint64_t memory_reserve = 32u << 20;

// Throws no_virt_mem when the process's available address space, and else
// no_page_mem when the system's available memory (MemAvailable), is below
// `need` + memory_reserve bytes. Does nothing when the system does not tell.
void check_memory(std::uint64_t need);
// The same against a given status.
void check_memory(std::uint64_t need, const platform::memory_status& status);

// Throws not_enough_memory when `needed` bytes exceed the process's
// available address space or else the system's available memory (the same
// limits as check_memory, without the reserve); the sentence gives the
// figure of the limit exceeded. `task` completes the
// sentence "Not enough memory for ...". Does nothing when the system does
// not tell.
void ensure_memory(std::uint64_t needed, const std::string& task);
// The same against a given status.
void ensure_memory(std::uint64_t needed, const platform::memory_status& status, const std::string& task);

// Physical memory the system can still give without swapping, in bytes; the
// largest value when the system does not tell (the checks then pass).
std::uint64_t available_memory();

} // namespace trm
