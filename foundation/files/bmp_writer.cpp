#include "foundation/files/bmp_writer.h"

#include "foundation/files/byte_stream.h"
#include "foundation/image/blit.h"

#include <algorithm>
#include <array>

namespace img {

namespace {

void put16(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

} // namespace

bmp_writer::bmp_writer(std::ostream& out)
    : m_out(out)
{
}

void bmp_writer::write(const image<unsigned char>& image)
{
    pixel_offset += 1024;
    write_headers(image.width, image.height, image.size);
    std::array<unsigned char, 1024> table {};
    for (unsigned i = 0; i < 256; ++i)
        table[i * 4] = table[i * 4 + 1] = table[i * 4 + 2] = static_cast<unsigned char>(i);
    m_out.write(reinterpret_cast<const char*>(table.data()), table.size());
    write_buffer(image.data, image.size);
}

void bmp_writer::write_headers(std::uint32_t width, std::uint32_t height, std::uint32_t image_bytes)
{
    std::array<unsigned char, 54> raw {};
    raw[0] = 'B';
    raw[1] = 'M';
    put32(&raw[2], pixel_offset + image_bytes);
    put32(&raw[10], pixel_offset);
    put32(&raw[14], 40);
    put32(&raw[18], width);
    put32(&raw[22], height);
    put16(&raw[26], 1);
    put16(&raw[28], bit_count);
    m_out.write(reinterpret_cast<const char*>(raw.data()), raw.size());
}

void bmp_writer::write_buffer(const unsigned char* data, std::uint32_t bytes)
{
    if (bytes > 0)
        m_out.write(reinterpret_cast<const char*>(data), bytes);
}

void write_bmp_file(const std::string& path, const image<bit>& mask)
{
    image<bit> rows(mask.width, mask.height, 4);
    rows.top_down = false;
    rows.update_rows();
    std::fill(rows.data, rows.data + rows.size, static_cast<unsigned char>(0));
    copy_whole(rows, mask);
    xtd::write_binary_file(path, [&rows](std::ostream& out) {
        bmp_writer writer(out);
        writer.bit_count = 1;
        writer.pixel_offset = 62;
        writer.write_headers(rows.width, rows.height, rows.size);
        const std::array<unsigned char, 8> palette { 0, 0, 0, 0, 255, 255, 255, 0 };
        out.write(reinterpret_cast<const char*>(palette.data()), palette.size());
        writer.write_buffer(rows.data, rows.size);
    });
}

} // namespace img
