#pragma once

// Shared objects loaded while the program runs (dlopen), for modules the
// program may do without: a failed load is an answer, never an exception.

#include <string>

namespace platform {

class loaded_library {
public:
    loaded_library() = default;
    // Unloads the library.
    ~loaded_library();
    loaded_library(const loaded_library&) = delete;
    loaded_library& operator=(const loaded_library&) = delete;

    // Loads the shared object at `path` (any loaded one is unloaded first);
    // false when it is missing or cannot be loaded.
    bool load(const std::string& path);
    void unload();
    bool is_loaded() const { return m_handle != nullptr; }
    // The address of an exported symbol, or null.
    void* symbol(const std::string& name) const;

private:
    void* m_handle = nullptr;
};

} // namespace platform
