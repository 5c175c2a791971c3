#pragma once

// Test support: the first bytes of PNG, JPEG, GIF and TIFF files that claim
// a picture of the given size, enough for a decoder to read the size; the
// pixel data is left out, so a claimed size of any magnitude costs nothing.

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

namespace detail {

inline void big_endian(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>(value >> (8 * i));
}

inline void little_endian(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i));
}

inline std::uint32_t crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace detail

// Signature and header chunk of an 8-bit grey picture, then an empty data
// chunk.
inline std::string png_header(std::uint32_t width, std::uint32_t height)
{
    std::string out("\x89PNG\r\n\x1a\n", 8);
    const auto chunk = [&](const std::string& type, const std::string& data) {
        detail::big_endian(out, static_cast<std::uint32_t>(data.size()), 4);
        out += type + data;
        detail::big_endian(out, detail::crc32(type + data), 4);
    };
    std::string header;
    detail::big_endian(header, width, 4);
    detail::big_endian(header, height, 4);
    header += std::string("\x08\x00\x00\x00\x00", 5);
    chunk("IHDR", header);
    chunk("IDAT", {});
    return out;
}

// Start of image, a baseline frame header of one 8-bit component and the
// start of its scan.
inline std::string jpeg_header(std::uint16_t width, std::uint16_t height)
{
    std::string out("\xFF\xD8", 2);
    out += std::string("\xFF\xC0\x00\x0B\x08", 5);
    detail::big_endian(out, height, 2);
    detail::big_endian(out, width, 2);
    out += std::string("\x01\x01\x11\x00", 4);
    out += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    return out;
}

// A logical screen and an image descriptor of the same size, without
// colour tables, then the start of the picture's data.
inline std::string gif_header(std::uint16_t width, std::uint16_t height)
{
    std::string out("GIF89a");
    detail::little_endian(out, width, 2);
    detail::little_endian(out, height, 2);
    out += std::string("\x00\x00\x00", 3);
    out += ',';
    detail::little_endian(out, 0, 4);
    detail::little_endian(out, width, 2);
    detail::little_endian(out, height, 2);
    out += std::string("\x00\x02\x02\x4C\x01\x00\x3B", 7);
    return out;
}

// A little-endian file of one directory: an 8-bit grey picture stored
// uncompressed in one strip, whose bytes the file does not hold.
inline std::string tiff_header(std::uint32_t width, std::uint32_t height)
{
    struct entry {
        std::uint16_t tag, type;
        std::uint32_t value;
    };
    const std::vector<entry> entries = { { 256, 4, width }, { 257, 4, height }, { 258, 3, 8 }, { 259, 3, 1 },
        { 262, 3, 1 }, { 273, 4, 8 }, { 277, 3, 1 }, { 278, 4, height }, { 279, 4, width } };
    std::string out("II*\0", 4);
    detail::little_endian(out, 8, 4);
    detail::little_endian(out, static_cast<std::uint32_t>(entries.size()), 2);
    for (const entry& e : entries) {
        detail::little_endian(out, e.tag, 2);
        detail::little_endian(out, e.type, 2);
        detail::little_endian(out, 1, 4);
        detail::little_endian(out, e.value, e.type == 3 ? 2 : 4);
        if (e.type == 3)
            detail::little_endian(out, 0, 2);
    }
    detail::little_endian(out, 0, 4);
    return out;
}

} // namespace test_support
