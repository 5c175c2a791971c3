#include "lumvex/exception.h"

#include <utility>

namespace lumvex {

exception::exception(std::string message)
    : xtd::exception(std::move(message))
{
}

} // namespace lumvex
