#pragma once

// Points the settings store and the user's cache folder at fresh folders
// for the time of a test, so that no test reads or writes the user's own
// settings or cache.

#include "lumvex/tests/cache_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace cache_test {

class scoped_environment {
public:
    scoped_environment(const char* name, const std::string& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~scoped_environment()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    scoped_environment(const scoped_environment&) = delete;
    scoped_environment& operator=(const scoped_environment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

class settings_fixture : public ::testing::Test {
protected:
    // The folder of the library's settings key.
    std::filesystem::path key_folder() const { return folder.path() / "config" / "Norvane" / "lumvex"; }
    // Replaces the key's values file by `text`.
    void write_values(const std::string& text) const
    {
        std::filesystem::create_directories(key_folder());
        std::ofstream(key_folder() / ".values", std::ios::binary | std::ios::trunc) << text;
    }

    scratch_folder folder;
    scoped_environment config { "XDG_CONFIG_HOME", folder.file("config") };
    scoped_environment cache_home { "XDG_CACHE_HOME", folder.file("cache") };
};

} // namespace cache_test
