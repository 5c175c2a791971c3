#include "platform/imaging/format_codec.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace platform::imaging::detail {

namespace {

// libpng reports errors by a long jump out of its functions, which jumps over
// C++ destructors: the code between setjmp and the library calls keeps no
// objects with destructors, and the message waits in a plain buffer.
struct png_failure {
    char message[256] = "PNG data is damaged";
};

void on_error(png_structp png, png_const_charp text)
{
    auto* failure = static_cast<png_failure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "PNG data is damaged: %s", text);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) { }

void read_data(png_structp png, png_bytep data, png_size_t length)
{
    auto* reader = static_cast<stream_reader*>(png_get_io_ptr(png));
    if (reader->read(data, length) != length)
        png_error(png, "unexpected end of data");
}

void write_data(png_structp png, png_bytep data, png_size_t length)
{
    auto* writer = static_cast<stream_writer*>(png_get_io_ptr(png));
    if (!writer->write(data, length))
        png_error(png, "write error");
}

void flush_data(png_structp) { }

// Owns the read structures, so they are freed also when the constructor of
// the decoder that holds them throws.
struct png_read_handle {
    png_structp png = nullptr;
    png_infop info = nullptr;

    ~png_read_handle()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

class png_decoder : public format_decoder {
public:
    explicit png_decoder(std::istream& in)
        : m_reader(in)
    {
        m_handle.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_failure, on_error, on_warning);
        if (m_handle.png == nullptr)
            throw std::bad_alloc();
        m_png = m_handle.png;
        m_handle.info = m_info = png_create_info_struct(m_png);
        if (m_info == nullptr || !read_header())
            fail();
        width = png_get_image_width(m_png, m_info);
        height = png_get_image_height(m_png, m_info);
        const int colour = png_get_color_type(m_png, m_info);
        has_alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(m_png, m_info, PNG_INFO_tRNS) != 0;
        // Deflate yields at most 1032 bytes per byte; a row also costs its
        // filter byte, so this bounds the pixels from above.
        const unsigned bits = png_get_bit_depth(m_png, m_info) * png_get_channels(m_png, m_info);
        max_pixels_per_byte = bits == 0 ? 0 : 1032u * 8u / bits;
    }

    void read(const pixel_rows& target) override
    {
        const bool direct = decodes_directly(target.format);
        const bool interlaced = png_get_interlace_type(m_png, m_info) != PNG_INTERLACE_NONE;
        std::vector<png_bytep> rows(height);
        std::vector<png_byte> scratch;
        if (direct) {
            for (std::uint32_t y = 0; y < height; ++y)
                rows[y] = target.row(y);
        } else {
            // Rows that need converting go through one row of colour, or
            // through the whole picture when the passes of interlaced data
            // fill each row several times.
            const std::size_t row_bytes = std::size_t(width) * 4;
            scratch.resize(interlaced ? row_bytes * height : row_bytes);
            for (std::uint32_t y = 0; y < height; ++y)
                rows[y] = scratch.data() + (interlaced ? row_bytes * y : 0);
        }
        const bool to_grey = direct && target.format == pixel_format::grey8;
        const pixel_rows* convert_each = direct || interlaced ? nullptr : &target;
        if (!read_pixels(rows.data(), to_grey, convert_each))
            fail();
        if (!direct && interlaced) {
            for (std::uint32_t y = 0; y < height; ++y)
                store_bgra_row(rows[y], target, y);
        }
    }

    std::uint64_t working_bytes(pixel_format format) const override
    {
        if (decodes_directly(format))
            return 0;
        const bool interlaced = png_get_interlace_type(m_png, m_info) != PNG_INTERLACE_NONE;
        return std::uint64_t(width) * 4 * (interlaced ? height : 1);
    }

private:
    // Colour is decoded straight into 32-bit rows, grey files into either.
    bool decodes_directly(pixel_format format) const
    {
        const int colour = png_get_color_type(m_png, m_info);
        return format == pixel_format::bgra32 || (colour & PNG_COLOR_MASK_COLOR) == 0;
    }

    bool read_header()
    {
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        png_set_read_fn(m_png, &m_reader, read_data);
        png_read_info(m_png, m_info);
        return true;
    }

    // Decodes every row into `rows`: as BGRA, or, for a grey file read into
    // grey rows, as one byte per pixel. With `convert_each`, each row is
    // stored into those rows as soon as it is decoded (data of one pass).
    bool read_pixels(png_bytep* rows, bool to_grey, const pixel_rows* convert_each)
    {
        if (setjmp(png_jmpbuf(m_png)))
            return false;
        const int colour = png_get_color_type(m_png, m_info);
        const int depth = png_get_bit_depth(m_png, m_info);
        if (depth == 16)
            png_set_strip_16(m_png);
        if (colour == PNG_COLOR_TYPE_PALETTE)
            png_set_palette_to_rgb(m_png);
        if ((colour & PNG_COLOR_MASK_COLOR) == 0 && depth < 8)
            png_set_expand_gray_1_2_4_to_8(m_png);
        if (to_grey) {
            if (colour & PNG_COLOR_MASK_ALPHA)
                png_set_strip_alpha(m_png);
        } else {
            if (png_get_valid(m_png, m_info, PNG_INFO_tRNS))
                png_set_tRNS_to_alpha(m_png);
            if ((colour & PNG_COLOR_MASK_COLOR) == 0)
                png_set_gray_to_rgb(m_png);
            png_set_bgr(m_png);
            png_set_filler(m_png, 0xFF, PNG_FILLER_AFTER);
        }
        const int passes = png_set_interlace_handling(m_png);
        png_read_update_info(m_png, m_info);
        for (int pass = 0; pass < passes; ++pass) {
            for (std::uint32_t y = 0; y < height; ++y) {
                png_read_row(m_png, rows[y], nullptr);
                if (convert_each != nullptr)
                    store_bgra_row(rows[y], *convert_each, y);
            }
        }
        return true;
    }

    [[noreturn]] void fail()
    {
        m_reader.rethrow();
        throw codec_error(m_failure.message);
    }

    stream_reader m_reader;
    png_failure m_failure;
    png_read_handle m_handle;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// The fast mode's settings: stored deflate blocks (level 0), which cost only
// the copy and the checksums. Deflate's cheapest coding, Huffman-only over
// rows filtered against the row above, still takes some 18 ms per round trip
// of a noisy 720 x 576 colour frame, for files of about 45% of the raw size.
// Filters would only slow stored blocks down.
void choose_fast_compression(png_structp png)
{
    png_set_compression_level(png, 0);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
}

// The quick-read mode's settings. Up filtering turns the rows inside and
// outside a mask's shapes into runs of zeros, and smooth gradients into
// small repeated differences; undoing it is one add per byte (the other
// filters chain each byte to the one before and read 3 to 5 times slower).
// Deflate's levels up to 3 match greedily; on such masks their streams
// inflate about three times faster than those of the lazily matching
// higher levels, whose files are a third to a half smaller.
void choose_quick_read_compression(png_structp png)
{
    png_set_compression_level(png, 3);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
}

bool write_png(png_structp png, png_infop info, const const_pixel_rows& pixels, png_compression compression,
    std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    if (compression == png_compression::fast)
        choose_fast_compression(png);
    else if (compression == png_compression::quick_read)
        choose_quick_read_compression(png);
    int colour = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    switch (pixels.format) {
    case pixel_format::indexed1:
        colour = PNG_COLOR_TYPE_GRAY;
        depth = 1;
        break;
    case pixel_format::grey8:
        colour = PNG_COLOR_TYPE_GRAY;
        break;
    case pixel_format::bgrx32:
        break;
    case pixel_format::bgra32:
        colour = PNG_COLOR_TYPE_RGB_ALPHA;
        break;
    }
    png_set_IHDR(png, info, pixels.width, pixels.height, depth, colour, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (pixels.format == pixel_format::bgrx32 || pixels.format == pixel_format::bgra32)
        png_set_bgr(png);
    if (pixels.format == pixel_format::bgrx32)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_rows(png, rows.data(), pixels.height);
    png_write_end(png, info);
    return true;
}

} // namespace

std::unique_ptr<format_decoder> open_png(std::istream& in)
{
    return std::make_unique<png_decoder>(in);
}

void save_png(std::ostream& out, const const_pixel_rows& pixels, png_compression compression)
{
    stream_writer writer(out);
    png_failure failure;
    std::vector<png_bytep> rows(pixels.height);
    for (std::uint32_t y = 0; y < pixels.height; ++y)
        rows[y] = const_cast<png_bytep>(pixels.row(y));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, on_error, on_warning);
    if (png == nullptr)
        throw std::bad_alloc();
    png_infop info = png_create_info_struct(png);
    bool ok = info != nullptr;
    if (ok) {
        png_set_write_fn(png, &writer, write_data, flush_data);
        ok = write_png(png, info, pixels, compression, rows);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    writer.rethrow();
    if (!ok)
        throw codec_error(failure.message);
}

} // namespace platform::imaging::detail
