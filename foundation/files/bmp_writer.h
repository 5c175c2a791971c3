#pragma once

// Writing uncompressed BMP files.

#include "foundation/image/image.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace img {

// Writes one BMP file to a stream: the 14-byte file header, the 40-byte
// information header, then the image's buffer exactly as stored. The caller
// passes images with bottom-up, 4-byte aligned rows (copying into such an
// image first when needed), sets `bit_count` and, for an image with a colour
// table, adds the table's size to `pixel_offset` and writes the table itself
// after the headers. Stream failures pass on.
class bmp_writer {
public:
    // File type "BM", pixel offset 54, information header size 40, 1 plane;
    // every other field 0.
    explicit bmp_writer(std::ostream& out);

    // File size, width and height from the image, then headers and buffer.
    template <class T> void write(const image<T>& image)
    {
        write_headers(image.width, image.height, image.size);
        write_buffer(image.data, image.size);
    }

    // An 8-bit image with its 256-entry grey table (entry i = i, i, i, 0):
    // the pixel offset and file size grow by 1024.
    void write(const image<unsigned char>& image);

    // Writes both headers for an image of this size and pixel byte size.
    void write_headers(std::uint32_t width, std::uint32_t height, std::uint32_t image_bytes);
    void write_buffer(const unsigned char* data, std::uint32_t bytes);

    std::uint16_t bit_count = 0;
    std::uint32_t pixel_offset = 54;

private:
    std::ostream& m_out;
};

// Writes a mask to `path` as a 1-bit BMP: the 62-byte header with the
// two-entry colour table black, white, then the rows bottom-up with their
// padding bits clear. The file is replaced only once it is whole
// (xtd::write_binary_file); its errors pass on.
void write_bmp_file(const std::string& path, const image<bit>& mask);

} // namespace img
