#include "widgets/properties/ResourceString.h"

#include "widgets/core/Strings.h"

#include <tuple>

namespace My {

ResourceString::ResourceString(std::string text)
    : m_text(std::move(text))
{
}

ResourceString::ResourceString(const char* text)
    : m_text(text ? text : "")
{
}

ResourceString::ResourceString(std::uint32_t id)
    : m_text(LoadString(id))
    , m_id(id)
{
}

ResourceString::ResourceString(std::string text, std::uint32_t id)
    : m_text(std::move(text))
    , m_id(id)
{
}

bool ResourceString::operator<(const ResourceString& other) const
{
    return std::tie(m_id, m_text) < std::tie(other.m_id, other.m_text);
}

bool ResourceString::operator==(const ResourceString& other) const
{
    return m_id == other.m_id && m_text == other.m_text;
}

} // namespace My
