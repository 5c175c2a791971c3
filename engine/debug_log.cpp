#include "engine/debug_log.h"

#include <cstdlib>

namespace trm {

std::string debug_dir()
{
    const char* value = std::getenv("NV_DEBUG_DIR");
    if (value == nullptr || *value == '\0')
        return {};
    std::string dir(value);
    if (dir.back() == '\\')
        dir.back() = '/';
    else if (dir.back() != '/')
        dir += '/';
    return dir;
}

debug_log::debug_log()
    : m_stream(nullptr)
{
    const std::string dir = debug_dir();
    if (dir.empty())
        return;
    if (m_file.open(dir + "trm.log", std::ios::out | std::ios::trunc | std::ios::binary) != nullptr)
        m_stream.rdbuf(&m_file);
}

} // namespace trm
