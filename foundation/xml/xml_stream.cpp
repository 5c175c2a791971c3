#include "foundation/xml/xml_stream.h"

#include <utility>

namespace xml {

stream stream::child(const std::string& name)
{
    if (reading) {
        return stream(node::child(filter(name), node()), true);
    }
    return stream(add_child(name), false);
}

void stream::set_node(const node& n)
{
    node::operator=(n);
}

std::string stream::read_string(const std::string& name) const
{
    return read<std::string>(name);
}

optional_string_attribute::optional_string_attribute(
    std::string name, std::string& value, const std::string& default_value)
    : m_name(std::move(name))
    , m_value(&value)
    , m_default(&default_value)
{
}

void optional_string_attribute::serialize(stream& s) const
{
    if (s.reading) {
        *m_value = s.get_attribute_or_default(m_name, *m_default);
    } else if (*m_value != *m_default) {
        s.write(m_name, *m_value);
    }
}

required_string_attribute::required_string_attribute(std::string name, std::string& value)
    : m_name(std::move(name))
    , m_value(&value)
{
}

void required_string_attribute::serialize(stream& s) const
{
    if (s.reading) {
        *m_value = s.read_string(m_name);
    } else {
        s.write(m_name, *m_value);
    }
}

} // namespace xml
