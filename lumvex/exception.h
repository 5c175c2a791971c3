#pragma once

#include "foundation/system/exception.h"
#include "lumvex/export.h"

#include <string>

namespace lumvex {

// The library's own errors (footage and cache): the user's sentence only.
class LUMVEX_API exception : public xtd::exception {
public:
    explicit exception(std::string message);
};

} // namespace lumvex
