#include "foundation/image_error.h"

#include <utility>

namespace img {

io_error::io_error(std::string message, std::string subject)
    : m_message(std::move(message))
    , m_subject(std::move(subject))
    , m_what(m_message + ": " + m_subject)
{
}

const char* io_error::what() const noexcept
{
    return m_what.c_str();
}

void io_error::set_subject(std::string subject)
{
    m_subject = std::move(subject);
    m_what = m_message + ": " + m_subject;
}

unsupported::unsupported(std::int32_t mode, std::int32_t value, std::string subject)
    : io_error("unsupported image file format mode", std::move(subject))
    , m_mode(mode)
    , m_value(value)
{
}

corrupt::corrupt(std::int32_t mode, std::int32_t value, std::string subject)
    : io_error("corrupt image file format", std::move(subject))
    , m_mode(mode)
    , m_value(value)
{
}

} // namespace img
