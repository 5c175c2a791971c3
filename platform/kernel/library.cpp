#include "platform/kernel/library.h"

#include <dlfcn.h>

namespace platform {

loaded_library::~loaded_library()
{
    unload();
}

bool loaded_library::load(const std::string& path)
{
    unload();
    if (path.empty())
        return false;
    // Local symbols: two modules with the same exported names never mix.
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void loaded_library::unload()
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* loaded_library::symbol(const std::string& name) const
{
    return m_handle ? dlsym(m_handle, name.c_str()) : nullptr;
}

} // namespace platform
