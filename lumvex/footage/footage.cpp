#include "lumvex/footage/footage.h"

#include "lumvex/exception.h"
#include "lumvex/path.h"

namespace lumvex {

std::vector<std::string> footage::files() const
{
    const std::string file = path();
    if (file.empty())
        return {};
    return { paths::native(file) };
}

const char* const* enum_names(deinterlace_fields)
{
    static const char* const names[] = { "off", "upper_first", "lower_first", nullptr };
    return names;
}

const char* const* enum_names(deinterlace_method)
{
    static const char* const names[] = { "duplicate", "interpolate", nullptr };
    return names;
}

void write_footage_file(xml::stream& stream, const std::string& type, const std::string& attribute,
    const std::string& path, const std::string& base_path)
{
    stream.write("type", type);
    stream.write(attribute, paths::relative_path(path, base_path));
}

void check_footage_type(const xml::stream& stream, const std::string& type, const std::string& error)
{
    if (stream.read<std::string>("type") != type)
        throw exception(error);
}

std::string read_footage_file(const xml::stream& stream, const std::string& type,
    const std::string& attribute, const std::string& base_path, const std::string& error)
{
    check_footage_type(stream, type, error);
    return paths::absolute_path(stream.read<std::string>(attribute), base_path);
}

} // namespace lumvex
