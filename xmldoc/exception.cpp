#include "xmldoc/exception.h"

namespace xml {

const char* exception::what() const noexcept
{
    return "XML error";
}

const char* stream_parse_error::what() const noexcept
{
    return "stream parse error";
}

const char* invalid_name::what() const noexcept
{
    return "tag or attribute name is invalid";
}

const char* invalid_value::what() const noexcept
{
    return "attribute value holds a character that XML cannot carry";
}

const char* attribute_not_found::what() const noexcept
{
    return "attribute not found";
}

const char* attribute_parse_error::what() const noexcept
{
    return "attribute parse error";
}

ambiguous::ambiguous(const std::string& filter_description)
    : m_text("Node is ambiguous (" + filter_description + ")")
{
}

const char* ambiguous::what() const noexcept
{
    return m_text.c_str();
}

} // namespace xml
