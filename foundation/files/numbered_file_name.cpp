#include "foundation/files/numbered_file_name.h"

#include <algorithm>

namespace {

// Where the file name of a path starts: after the last "\" or "/", or after
// a drive such as "c:".
std::size_t file_name_start(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos)
        return separator + 1;
    if (path.size() >= 2 && path[1] == ':')
        return 2;
    return 0;
}

// Where the extension (with its dot) of a path starts; the path's length when
// it has none.
std::size_t extension_start(const std::string& path)
{
    const std::size_t name = file_name_start(path);
    const std::size_t dot = path.rfind('.');
    return dot != std::string::npos && dot >= name ? dot : path.size();
}

} // namespace

NumberedFileName::NumberedFileName(const std::string& pattern)
{
    if (!pattern.empty())
        Parse(pattern);
}

void NumberedFileName::Parse(const std::string& pattern)
{
    m_counter = 0;
    const std::size_t name = file_name_start(pattern);
    const std::size_t last = pattern.rfind('#');
    if (last == std::string::npos || last < name) {
        const std::size_t extension = extension_start(pattern);
        m_prefix = pattern.substr(0, extension);
        m_suffix = pattern.substr(extension);
        m_digits = 3;
        return;
    }
    std::size_t first = last;
    while (first > name && pattern[first - 1] == '#')
        --first;
    std::size_t end = last + 1;
    m_digits = static_cast<std::int32_t>(end - first);
    if (end < pattern.size() && pattern[end] == ']')
        ++end;
    if (first > name && pattern[first - 1] == '[')
        --first;
    m_prefix = pattern.substr(0, first);
    m_suffix = pattern.substr(end);
}

std::string NumberedFileName::Next()
{
    std::string number = std::to_string(m_counter);
    if (m_digits > 0 && number.size() < static_cast<std::size_t>(m_digits))
        number.insert(0, static_cast<std::size_t>(m_digits) - number.size(), '0');
    ++m_counter;
    return m_prefix + number + m_suffix;
}

std::string make_numbered_pattern(const std::string& path)
{
    const std::size_t extension = extension_start(path);
    return path.substr(0, extension) + "_[###]" + path.substr(extension);
}
