#include "xmldoc/exception.h"

#include <utility>

namespace xml {

const char* exception::what() const noexcept
{
    return m_what.empty() ? text() : m_what.c_str();
}

std::string exception::description() const
{
    return text();
}

void exception::set_file(const std::string& path)
{
    m_file = path;
    m_what = path + ": " + description();
}

const char* exception::text() const noexcept
{
    return "XML error";
}

stream_parse_error::stream_parse_error(std::size_t line)
    : m_line(line)
{
}

std::string stream_parse_error::description() const
{
    std::string result = text();
    if (m_line != 0)
        result += " at line " + std::to_string(m_line);
    return result;
}

const char* stream_parse_error::text() const noexcept
{
    return "stream parse error";
}

const char* invalid_name::text() const noexcept
{
    return "tag or attribute name is invalid";
}

const char* invalid_value::text() const noexcept
{
    return "attribute value holds a character that XML cannot carry";
}

attribute_error::attribute_error(std::string attribute, std::string element)
    : m_attribute(std::move(attribute))
    , m_element(std::move(element))
{
}

std::string attribute_error::description() const
{
    std::string result = text();
    if (m_attribute.empty())
        return result;
    result += " (\"" + m_attribute + "\"";
    if (!m_element.empty())
        result += " of element \"" + m_element + "\"";
    return result + ")";
}

const char* attribute_not_found::text() const noexcept
{
    return "attribute not found";
}

const char* attribute_parse_error::text() const noexcept
{
    return "attribute parse error";
}

ambiguous::ambiguous(const std::string& filter_description)
    : m_text("Node is ambiguous (" + filter_description + ")")
{
}

const char* ambiguous::text() const noexcept
{
    return m_text.c_str();
}

} // namespace xml
