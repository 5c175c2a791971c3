#pragma once

#include <string>

#include "foundation/system/exception.h"

namespace trm {

// The base of the engine's own errors; carries the sentence the user reads.
class exception : public xtd::exception {
public:
    using xtd::exception::exception;
};

} // namespace trm
