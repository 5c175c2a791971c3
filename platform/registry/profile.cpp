#include "platform/registry/profile.h"

#include "platform/registry/registry.h"

#include <cstdint>

namespace platform {

namespace {

bool open_section(const std::string& key, const std::string& section, bool create, registry_key& out)
{
    return out.open(registry_root::current_user, key + "\\" + section, create) == 0;
}

} // namespace

registry_profile::registry_profile(const std::string& company, const std::string& application)
    : m_key("Software\\" + company + "\\" + application)
{
}

std::string registry_profile::get_string(
    const std::string& section, const std::string& entry, const std::string& default_value) const
{
    registry_key key;
    registry_value value;
    if (!open_section(m_key, section, false, key) || key.query(entry, value) != 0
        || value.type != registry_type::sz)
        return default_value;
    std::string text(value.data.begin(), value.data.end());
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

unsigned registry_profile::get_int(
    const std::string& section, const std::string& entry, unsigned default_value) const
{
    registry_key key;
    registry_value value;
    if (!open_section(m_key, section, false, key) || key.query(entry, value) != 0
        || value.type != registry_type::dword || value.data.size() != 4)
        return default_value;
    return static_cast<unsigned>(value.data[0]) | static_cast<unsigned>(value.data[1]) << 8
        | static_cast<unsigned>(value.data[2]) << 16 | static_cast<unsigned>(value.data[3]) << 24;
}

bool registry_profile::write_string(
    const std::string& section, const std::string& entry, const std::string& value)
{
    registry_key key;
    if (!open_section(m_key, section, true, key))
        return false;
    registry_value stored { registry_type::sz, std::vector<unsigned char>(value.begin(), value.end()) };
    stored.data.push_back(0);
    return key.set(entry, stored) == 0;
}

bool registry_profile::write_int(const std::string& section, const std::string& entry, int value)
{
    registry_key key;
    if (!open_section(m_key, section, true, key))
        return false;
    const auto bits = static_cast<std::uint32_t>(value);
    const registry_value stored { registry_type::dword,
        { static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
            static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24) } };
    return key.set(entry, stored) == 0;
}

} // namespace platform
