#pragma once

// Test support: BMP files built byte by byte, and a scratch folder.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace test_support {

struct bmp_layout {
    std::uint32_t info_size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bits = 1;
    std::uint32_t compression = 0;
    std::uint32_t colours_used = 0;
    // Colour-table entries as blue, green, red, reserved bytes.
    std::vector<std::uint8_t> table;
    // Pixel rows as stored, padding included.
    std::vector<std::uint8_t> rows;
};

inline void put(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::vector<std::uint8_t> bmp_file(const bmp_layout& b)
{
    const std::size_t offset = 14 + b.info_size + b.table.size();
    std::vector<std::uint8_t> out(offset, 0);
    out[0] = 'B';
    out[1] = 'M';
    put(out, 2, static_cast<std::uint32_t>(offset + b.rows.size()), 4);
    put(out, 10, static_cast<std::uint32_t>(offset), 4);
    put(out, 14, b.info_size, 4);
    put(out, 18, static_cast<std::uint32_t>(b.width), 4);
    put(out, 22, static_cast<std::uint32_t>(b.height), 4);
    put(out, 26, 1, 2);
    put(out, 28, b.bits, 2);
    put(out, 30, b.compression, 4);
    put(out, 46, b.colours_used, 4);
    std::copy(b.table.begin(), b.table.end(), out.begin() + 14 + b.info_size);
    out.insert(out.end(), b.rows.begin(), b.rows.end());
    return out;
}

// A folder of its own under the system's temporary folder, removed at the end.
class scratch_folder {
public:
    scratch_folder()
    {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() / ("tavelo-test-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~scratch_folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        std::ofstream out(file(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file(name);
    }

    std::vector<std::uint8_t> read(const std::string& name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    }

private:
    std::filesystem::path m_path;
};

} // namespace test_support
