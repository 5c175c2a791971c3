#include "foundation/system/regprofile.h"

#include "platform/kernel/system_error.h"

#include <cerrno>

namespace regprofile {

namespace {

using platform::registry_type;
using platform::registry_value;

// A value path split at its last backslash: the sub key (empty when none)
// and the leaf name.
struct value_path {
    explicit value_path(const std::string& name)
    {
        const std::size_t slash = name.rfind('\\');
        if (slash == std::string::npos) {
            leaf = name;
        } else {
            sub_key = name.substr(0, slash + 1);
            leaf = name.substr(slash + 1);
        }
    }

    std::string sub_key;
    std::string leaf;
};

template <class T> T little_endian(const std::vector<unsigned char>& data)
{
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<T>(data[i]) << (8 * i));
    return value;
}

template <class T> registry_value integer_value(registry_type type, T value)
{
    registry_value result { type, std::vector<unsigned char>(sizeof(T)) };
    for (std::size_t i = 0; i < sizeof(T); ++i)
        result.data[i] = static_cast<unsigned char>(value >> (8 * i));
    return result;
}

} // namespace

void raise(int code, const std::string& message)
{
    if (code == 0)
        return;
    std::string text = message;
    const std::string system = platform::system_error_text(code);
    if (!system.empty()) {
        if (!text.empty())
            text += ":\n";
        text += system;
    }
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        throw not_found(text);
    case EACCES:
    case EPERM:
        throw access_denied(text);
    default:
        throw error(text);
    }
}

key::key(platform::registry_root root, const std::string& sub_key, bool create, bool quiet)
{
    open(root, sub_key, create, quiet);
}

void key::open(platform::registry_root root, const std::string& sub_key, bool create, bool quiet)
{
    const int code = m_key.open(root, sub_key, create);
    if (code != 0 && !quiet)
        raise(code, "registry key '" + sub_key + "' opening error");
}

registry_value key::read(const std::string& name) const
{
    const value_path path(name);
    const platform::registry_key* source = &m_key;
    platform::registry_key sub;
    if (!path.sub_key.empty()) {
        raise(sub.open(m_key, path.sub_key, false), "registry key '" + path.sub_key + "' opening error");
        source = &sub;
    }
    registry_value value;
    raise(source->query(path.leaf, value),
        "querying size and type of registry value '" + path.leaf + "' error");
    return value;
}

void key::write(const std::string& name, const registry_value& value)
{
    const value_path path(name);
    platform::registry_key* target = &m_key;
    platform::registry_key sub;
    if (!path.sub_key.empty()) {
        raise(sub.open(m_key, path.sub_key, true), "registry key '" + path.sub_key + "' opening error");
        target = &sub;
    }
    raise(target->set(path.leaf, value), "setting registry value '" + path.leaf + "' error");
}

std::string key::read_string(const std::string& name) const
{
    const registry_value value = read(name);
    if (value.type != registry_type::sz)
        throw incompatible_type("registry value '" + value_path(name).leaf + "' is not string");
    std::string text(value.data.begin(), value.data.end());
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

std::int64_t key::read_integer(const std::string& name) const
{
    const registry_value value = read(name);
    if (value.type == registry_type::dword && value.data.size() == 4)
        return static_cast<std::int32_t>(little_endian<std::uint32_t>(value.data));
    if (value.type == registry_type::qword && value.data.size() == 8)
        return static_cast<std::int64_t>(little_endian<std::uint64_t>(value.data));
    throw incompatible_type("Registry value '" + value_path(name).leaf + "' is not 32- or 64-bit integer");
}

void key::read_binary(const std::string& name, std::vector<unsigned char>& data) const
{
    registry_value value = read(name);
    if (value.type != registry_type::binary)
        throw incompatible_type("registry value '" + value_path(name).leaf + "' is not binary");
    data = std::move(value.data);
}

void key::write_string(const std::string& name, const std::string& text)
{
    registry_value value { registry_type::sz, std::vector<unsigned char>(text.begin(), text.end()) };
    value.data.push_back(0);
    write(name, value);
}

void key::write_dword(const std::string& name, std::uint32_t value)
{
    write(name, integer_value(registry_type::dword, value));
}

void key::set_qword(const std::string& name, std::uint64_t value)
{
    write(name, integer_value(registry_type::qword, value));
}

void key::write_binary(const std::string& name, const std::vector<unsigned char>& data)
{
    write(name, { registry_type::binary, data });
}

} // namespace regprofile
