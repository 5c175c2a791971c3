#include "foundation/system/exception.h"

#include <utility>

namespace xtd {

exception::exception(std::string message)
    : m_message(std::move(message))
{
}

const char* exception::what() const noexcept
{
    return m_message.c_str();
}

void exception::set_message(std::string message)
{
    m_message = std::move(message);
}

} // namespace xtd
