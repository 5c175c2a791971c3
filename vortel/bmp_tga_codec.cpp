#include "vortel/bmp_tga_codec.h"

#include "foundation/files/bmp_writer.h"
#include "foundation/files/byte_stream.h"
#include "foundation/files/image_error.h"
#include "vortel/text.h"

#include <algorithm>
#include <array>
#include <memory>

namespace img {

namespace {

using pixels = image<BGRA<unsigned char>>;

void put(std::ostream& out, const unsigned char* data, std::size_t size)
{
    if (size > 0)
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

// Row y of the image in the order rows are stored: bottom-up images store
// their last row first.
const unsigned char* stored_row(const pixels& image, unsigned i)
{
    return image.rows[image.top_down ? i : image.height - 1 - i];
}

// Blue, green and red of each pixel of `row`.
void to_24(const unsigned char* row, unsigned width, unsigned char* out)
{
    for (unsigned x = 0; x < width; ++x) {
        out[3 * x] = row[4 * x];
        out[3 * x + 1] = row[4 * x + 1];
        out[3 * x + 2] = row[4 * x + 2];
    }
}

void write_bmp(std::ostream& out, const pixels& image, bool alpha)
{
    const std::uint64_t stride
        = alpha ? std::uint64_t(image.width) * 4 : (std::uint64_t(image.width) * 24 + 31) / 32 * 4;
    const std::uint64_t bytes = stride * image.height;
    bmp_writer writer(out);
    writer.bit_count = alpha ? 32 : 24;
    writer.write_headers(image.width, image.height, std::uint32_t(bytes));
    if (alpha && !image.top_down && image.stride == stride) {
        // Bottom-up 32-bit rows are the file's rows already.
        put(out, image.data, std::size_t(bytes));
        return;
    }
    // Left uninitialised: every byte is written below, padding included.
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[std::size_t(bytes)]);
    const std::size_t used = std::size_t(image.width) * (alpha ? 4 : 3);
    for (unsigned y = 0; y < image.height; ++y) {
        unsigned char* row = buffer.get() + std::size_t(stride) * (image.height - 1 - y);
        if (alpha)
            std::copy_n(image.rows[y], used, row);
        else
            to_24(image.rows[y], image.width, row);
        std::fill(row + used, row + stride, 0);
    }
    put(out, buffer.get(), std::size_t(bytes));
}

void write_tga(std::ostream& out, const pixels& image, bool alpha)
{
    std::array<unsigned char, 18> head {};
    head[2] = 2;
    head[12] = static_cast<unsigned char>(image.width);
    head[13] = static_cast<unsigned char>(image.width >> 8);
    head[14] = static_cast<unsigned char>(image.height);
    head[15] = static_cast<unsigned char>(image.height >> 8);
    head[16] = alpha ? 32 : 24;
    head[17] = image.top_down ? 0x20 : 0;
    put(out, head.data(), head.size());
    const std::size_t row_bytes = std::size_t(image.width) * (alpha ? 4 : 3);
    if (alpha && image.stride == row_bytes) {
        put(out, image.data, std::size_t(image.size));
        return;
    }
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[row_bytes * image.height]);
    for (unsigned i = 0; i < image.height; ++i) {
        unsigned char* row = buffer.get() + row_bytes * i;
        if (alpha)
            std::copy_n(stored_row(image, i), row_bytes, row);
        else
            to_24(stored_row(image, i), image.width, row);
    }
    put(out, buffer.get(), row_bytes * image.height);
}

} // namespace

void bmp_tga_codec::extensions(std::vector<std::string>& out) const
{
    out.push_back("BMP");
    out.push_back("TGA");
}

void bmp_tga_codec::write(
    const std::string& path, const std::string& format, const pixels& image, bool alpha) const
{
    write_file(path, format, image, alpha);
}

std::uint64_t bmp_tga_codec::write_file(
    const std::string& path, const std::string& format, const pixels& image, bool alpha) const
{
    const bool bmp = vortel::equal_ignoring_case(format, "BMP");
    if (!bmp && !vortel::equal_ignoring_case(format, "TGA"))
        throw io_error("file format is not supported", format);
    if (bmp) {
        const std::uint64_t stride
            = alpha ? std::uint64_t(image.width) * 4 : (std::uint64_t(image.width) * 24 + 31) / 32 * 4;
        if (54 + stride * image.height > 0xFFFFFFFFu || image.width > 0x7FFFFFFFu
            || image.height > 0x7FFFFFFFu)
            throw io_error("image is too large for the file format", path);
        return xtd::write_binary_file(path, [&](std::ostream& out) { write_bmp(out, image, alpha); });
    }
    if (image.width > 65535 || image.height > 65535)
        throw io_error("image is too large for the file format", path);
    return xtd::write_binary_file(path, [&](std::ostream& out) { write_tga(out, image, alpha); });
}

} // namespace img
