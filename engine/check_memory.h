#pragma once

// The memory guard of a calculation: before each frame's images are loaded
// it makes sure that the system can still give what one tracked frame needs,
// so that a long calculation stops cleanly at a frame boundary (keeping the
// frames stored so far) instead of failing inside a stage.

#include <cstdint>

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

// Memory kept free beyond a frame's estimated need.
inline constexpr std::uint64_t memory_reserve = 32u << 20;

// Throws no_virt_mem when the process's available address space, and else
// no_page_mem when the system's available memory (MemAvailable), is below
// `need` + memory_reserve bytes. Does nothing when the system does not tell.
void check_memory(std::uint64_t need);
// The same against a given status.
void check_memory(std::uint64_t need, const platform::memory_status& status);

} // namespace trm
