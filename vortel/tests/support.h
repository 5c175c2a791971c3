#pragma once

// Shared pieces of the render library's tests: a scratch folder, a settings
// store of its own, test frames, and a recorder of message boxes.

#include "foundation/image/image.h"
#include "platform/gui/message_box.h"
#include "platform/tests/avi_samples.h"
#include "platform/tests/scoped_environment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace vortel_test {

namespace fs = std::filesystem;

// A folder of the test's own, removed with everything in it at the end.
class scratch_folder {
public:
    scratch_folder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        m_root = fs::temp_directory_path() / ("tavelo_vortel_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    ~scratch_folder() { fs::remove_all(m_root); }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    std::string file(const std::string& name) const { return (m_root / name).string(); }
    const fs::path& root() const { return m_root; }

private:
    fs::path m_root;
};

// The user's settings store moved into a scratch folder for the test.
class scoped_settings_store {
public:
    explicit scoped_settings_store(const scratch_folder& folder)
        : m_config("XDG_CONFIG_HOME", folder.file("config"))
    {
    }

private:
    platform::testing::scoped_environment m_config;
};

// The name and bytes of every entry of a folder (none for a folder).
inline std::map<std::string, std::string> folder_contents(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string& bytes = files[e.path().filename().string()];
        if (!e.is_regular_file())
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        bytes = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

using frame = img::image<img::BGRA<unsigned char>>;

// A frame made from BGRA pixels, top row first.
inline frame make_frame(unsigned width, unsigned height, const std::vector<std::uint8_t>& pixels,
    bool top_down = true, unsigned alignment = 4)
{
    frame f;
    f.top_down = top_down;
    f.resize(width, height, alignment);
    for (unsigned y = 0; y < height; ++y)
        std::memcpy(f.rows[y], &pixels[std::size_t(y) * width * 4], std::size_t(width) * 4);
    return f;
}

// The moving test picture of the AVI tests, with an alpha ramp.
inline std::vector<std::uint8_t> test_pixels(unsigned width, unsigned height, int index)
{
    auto p = platform::testing::test_picture(width, height, index);
    for (std::size_t i = 0; i < p.size(); i += 4)
        p[i + 3] = std::uint8_t((i / 4 + unsigned(index)) % 251);
    return p;
}

using platform::testing::smooth_picture;

// The frame's pixels, top row first.
inline std::vector<std::uint8_t> pixels_of(const frame& f)
{
    std::vector<std::uint8_t> out;
    for (unsigned y = 0; y < f.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(f.row(y));
        out.insert(out.end(), row, row + std::size_t(f.width) * 4);
    }
    return out;
}

// Whether blue, green and red agree everywhere.
inline bool same_colours(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i += 4)
        if (std::memcmp(&a[i], &b[i], 3) != 0)
            return false;
    return true;
}

// Records the message boxes shown while it lives.
class message_boxes {
public:
    message_boxes()
    {
        shown().clear();
        m_previous = platform::set_message_box_presenter(&present);
    }
    ~message_boxes() { platform::set_message_box_presenter(m_previous); }

    static std::vector<std::pair<std::string, unsigned>>& shown()
    {
        static std::vector<std::pair<std::string, unsigned>> list;
        return list;
    }

private:
    static int present(const std::string& text, unsigned style)
    {
        shown().emplace_back(text, style);
        return platform::IDOK;
    }

    platform::message_box_presenter m_previous = nullptr;
};

} // namespace vortel_test
