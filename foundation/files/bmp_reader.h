#pragma once

// Reading uncompressed BMP files: the header reader that every BMP reader of
// the system shares, and the program's reader of 1-bit masks.

#include "foundation/image/image.h"

#include <cstdint>
#include <istream>
#include <string>

namespace img {

// The 14-byte file header and the 40-byte information header of a BMP file,
// as stored (little-endian fields).
struct bmp_headers {
    std::uint16_t type = 0;
    std::uint32_t file_size = 0;
    std::uint32_t pixel_offset = 0;
    std::uint32_t info_size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bit_count = 0;
    std::uint32_t compression = 0;
    std::uint32_t image_size = 0;
    std::int32_t x_resolution = 0;
    std::int32_t y_resolution = 0;
    std::uint32_t colours_used = 0;
    std::uint32_t colours_important = 0;
};

// Reads a BMP file from a stream that throws on failure (a short file fails
// as a read error). Errors carry an empty subject; the caller names the file.
class bmp_reader {
public:
    // Remembers the stream position as the file start, reads both headers
    // and checks them: type "BM" (else img::unsupported mode 0), compression
    // 0 (mode 1), width not negative (mode 4).
    explicit bmp_reader(std::istream& in);

    const bmp_headers& headers() const noexcept { return m_headers; }
    // Rows stored top-down (negative height).
    bool top_down() const noexcept { return m_headers.height < 0; }

    // Reads `count` colour-table entries of 4 bytes (blue, green, red,
    // reserved) into `entries`. The table follows the information header,
    // whatever size that header says it has.
    void read_colour_table(unsigned char* entries, std::uint32_t count);

    // Checks the rows' size (img::check_image_size: width, height, bits per
    // pixel, 4-byte rows, against the bytes the file holds from the pixel
    // offset) before anything is allocated; throws img::io_error "could not
    // open BMP image for reading or read error" when the file cannot hold
    // them. Returns the rows' byte size.
    std::uint64_t check_rows(unsigned bits_per_pixel);

    // Reads `bytes` bytes of pixel rows, in file order, from `skip` bytes
    // after the pixel offset (so rows can be read a few at a time).
    void read_rows(unsigned char* buffer, std::uint64_t bytes, std::uint64_t skip = 0);

    // Reads the rows of a 1-bit file into `image`: top_down from the height's
    // sign, width x |height| pixels with 4-byte rows, the whole buffer at once.
    void read_bits(image<bit>& image);

private:
    std::istream& m_in;
    std::streamoff m_start;
    bmp_headers m_headers;
};

// Reads a 1-bit BMP file into a bit image. When colour-table entry 0 is not
// black but entry 1 is, every bit is inverted, so a set bit stands for the
// non-black colour. Other bit depths throw img::unsupported mode 2 with the
// depth; header errors are those of bmp_reader, with `path` as subject; a
// file that cannot be opened or read throws img::io_error "could not open
// BMP image for reading or read error" with `path` as subject.
void read_bmp_file(const std::string& path, image<bit>& image);

} // namespace img
