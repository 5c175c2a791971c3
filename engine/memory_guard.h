#pragma once

// The engine's check that a stage's working memory is there before the stage
// allocates it: a stage estimates what it is about to take and is refused
// with a sentence that names the task, instead of running the system out of
// memory.

#include <cstdint>
#include <string>

#include "engine/exception.h"

namespace trm {

// A stage would need more memory than the system has available.
class not_enough_memory : public exception {
public:
    not_enough_memory(const std::string& task, std::uint64_t needed, std::uint64_t available);
};

// Physical memory the system can still give without swapping, in bytes; the
// largest value when the system does not tell (the check then passes).
std::uint64_t available_memory();

// Throws not_enough_memory when `needed` bytes exceed `available`. `task`
// completes the sentence "Not enough memory for ...".
void ensure_memory(std::uint64_t needed, std::uint64_t available, const std::string& task);

// The same against available_memory().
void ensure_memory(std::uint64_t needed, const std::string& task);

} // namespace trm
