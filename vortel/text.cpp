#include "vortel/text.h"

#include <algorithm>

namespace vortel {

namespace {

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

} // namespace

bool equal_ignoring_case(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

std::string upper_case(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), upper);
    return text;
}

std::string file_extension(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < name)
        return std::string();
    return path.substr(dot + 1);
}

} // namespace vortel
