#include "foundation/files/bmp_reader.h"

#include "foundation/files/byte_stream.h"
#include "foundation/files/image_error.h"
#include "foundation/files/size_check.h"

#include <array>

namespace img {

namespace {

const char* const read_failure = "could not open BMP image for reading or read error";

std::uint32_t u16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

std::uint32_t u32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

} // namespace

bmp_reader::bmp_reader(std::istream& in)
    : m_in(in)
    , m_start(in.tellg())
{
    std::array<unsigned char, 54> raw {};
    m_in.read(reinterpret_cast<char*>(raw.data()), raw.size());
    if (m_in.gcount() != std::streamsize(raw.size()))
        throw io_error(read_failure, {});
    bmp_headers& h = m_headers;
    h.type = static_cast<std::uint16_t>(u16(&raw[0]));
    h.file_size = u32(&raw[2]);
    h.pixel_offset = u32(&raw[10]);
    h.info_size = u32(&raw[14]);
    h.width = static_cast<std::int32_t>(u32(&raw[18]));
    h.height = static_cast<std::int32_t>(u32(&raw[22]));
    h.planes = static_cast<std::uint16_t>(u16(&raw[26]));
    h.bit_count = static_cast<std::uint16_t>(u16(&raw[28]));
    h.compression = u32(&raw[30]);
    h.image_size = u32(&raw[34]);
    h.x_resolution = static_cast<std::int32_t>(u32(&raw[38]));
    h.y_resolution = static_cast<std::int32_t>(u32(&raw[42]));
    h.colours_used = u32(&raw[46]);
    h.colours_important = u32(&raw[50]);
    if (h.type != 0x4D42)
        throw unsupported(0, h.type);
    if (h.compression != 0)
        throw unsupported(1, static_cast<std::int32_t>(h.compression));
    if (h.width < 0)
        throw unsupported(4, h.width);
}

void bmp_reader::read_colour_table(unsigned char* entries, std::uint32_t count)
{
    // Headers of 108 and 124 bytes put the table further on than 54; a size
    // below 40 cannot be right and is taken as 40.
    const std::uint64_t info = m_headers.info_size < 40 ? 40 : m_headers.info_size;
    const std::uint64_t bytes = std::uint64_t(count) * 4;
    m_in.seekg(m_start + static_cast<std::streamoff>(14 + info));
    if (bytes > xtd::remaining_bytes(m_in))
        throw io_error(read_failure, {});
    m_in.read(reinterpret_cast<char*>(entries), static_cast<std::streamsize>(bytes));
}

std::uint64_t bmp_reader::check_rows(unsigned bits_per_pixel)
{
    const std::uint64_t height
        = m_headers.height < 0 ? -std::int64_t(m_headers.height) : std::uint64_t(m_headers.height);
    m_in.seekg(m_start);
    const std::uint64_t length = xtd::remaining_bytes(m_in);
    const std::uint64_t available = length > m_headers.pixel_offset ? length - m_headers.pixel_offset : 0;
    return check_image_size(
        std::uint64_t(m_headers.width), height, { bits_per_pixel, 4, 0 }, available, read_failure);
}

void bmp_reader::read_rows(unsigned char* buffer, std::uint64_t bytes, std::uint64_t skip)
{
    const std::streamoff rows = m_start + static_cast<std::streamoff>(m_headers.pixel_offset + skip);
    if (std::streamoff(m_in.tellg()) != rows)
        m_in.seekg(rows);
    m_in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(bytes));
}

void bmp_reader::read_bits(image<bit>& image)
{
    const std::uint64_t bytes = check_rows(1);
    image.top_down = top_down();
    image.update_rows();
    image.resize(static_cast<unsigned>(m_headers.width),
        static_cast<unsigned>(top_down() ? -std::int64_t(m_headers.height) : m_headers.height), 4);
    // Both the file and the image pad rows to 4 bytes.
    read_rows(image.data, bytes);
}

void read_bmp_file(const std::string& path, image<bit>& image)
{
    try {
        xtd::bistream in(path);
        in.exceptions(std::ios::failbit | std::ios::badbit);
        bmp_reader reader(in);
        if (reader.headers().bit_count != 1)
            throw unsupported(2, reader.headers().bit_count);
        std::array<unsigned char, 8> table {};
        reader.read_colour_table(table.data(), 2);
        reader.read_bits(image);
        const bool first_black = table[0] == 0 && table[1] == 0 && table[2] == 0;
        const bool second_black = table[4] == 0 && table[5] == 0 && table[6] == 0;
        if (!first_black && second_black)
            image.invert();
    } catch (io_error& error) {
        if (error.subject().empty())
            error.set_subject(path);
        throw;
    } catch (const std::exception&) {
        throw io_error(read_failure, path);
    }
}

} // namespace img
