#include "foundation/files/image_error.h"

#include <utility>

namespace img {

io_error::io_error(std::string message, std::string subject, std::string reason)
    : m_message(std::move(message))
    , m_subject(std::move(subject))
    , m_reason(std::move(reason))
{
    compose();
}

// A stream reader's error keeps its plain text until the file is named, so
// that callers of the stream functions see the system's sentence alone.
void io_error::compose()
{
    m_what = m_message + ": ";
    if (!m_subject.empty() && !m_reason.empty())
        m_what += m_reason + ": ";
    m_what += m_subject;
}

const char* io_error::what() const noexcept
{
    return m_what.c_str();
}

void io_error::set_subject(std::string subject)
{
    m_subject = std::move(subject);
    compose();
}

too_large::too_large(std::string text, std::string subject)
    : io_error(std::move(text), std::move(subject))
{
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
