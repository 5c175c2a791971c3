#pragma once

// A test with a folder of its own under the system's temporary folder, named
// after the process and the test so that tests run side by side keep apart;
// emptied before the test and removed after it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

namespace platform::testing {

class folder_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = std::filesystem::temp_directory_path()
            / ("tavelo_" + std::string(test->test_suite_name()) + "_" + std::to_string(::getpid()) + "_"
                + test->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::string file(const std::string& name) const { return (m_folder / name).string(); }

    std::filesystem::path m_folder;
};

} // namespace platform::testing
