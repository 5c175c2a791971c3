#pragma once

// Points the settings store and the user's cache folder at fresh folders
// for the time of a test, so that no test reads or writes the user's own
// settings or cache.

#include "lumvex/tests/cache_test_support.h"
#include "platform/tests/scoped_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace cache_test {

using platform::testing::scoped_environment;

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
