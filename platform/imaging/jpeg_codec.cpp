#include "platform/imaging/format_codec.h"

#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <vector>

namespace platform::imaging::detail {

namespace {

constexpr std::size_t input_buffer_size = 64 * 1024;

// libjpeg's error exit must not return: it jumps back to the setjmp of the
// function that called the library (no C++ objects with destructors live in
// those frames) and leaves its text in a plain buffer.
struct jpeg_failure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 32] = "JPEG data is damaged";
};

void on_error(j_common_ptr info)
{
    auto* failure = reinterpret_cast<jpeg_failure*>(info->err);
    char text[JMSG_LENGTH_MAX] = {};
    info->err->format_message(info, text);
    std::snprintf(failure->message, sizeof failure->message, "JPEG data is damaged: %s", text);
    std::longjmp(failure->jump, 1);
}

void on_message(j_common_ptr, int) { }

// Source manager over the caller's stream; a missing end is given as an end
// marker, so a truncated file decodes as far as it goes.
struct stream_source {
    jpeg_source_mgr manager;
    stream_reader* reader;
    JOCTET* buffer;
};

void init_source(j_decompress_ptr) { }

boolean fill_buffer(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<stream_source*>(info->src);
    std::size_t got = source->reader->read(source->buffer, input_buffer_size);
    if (got == 0) {
        WARNMS(info, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        got = 2;
    }
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = got;
    return TRUE;
}

void skip_data(j_decompress_ptr info, long count)
{
    auto* source = reinterpret_cast<stream_source*>(info->src);
    while (count > 0) {
        if (source->manager.bytes_in_buffer == 0)
            fill_buffer(info);
        const auto step = std::min<std::size_t>(std::size_t(count), source->manager.bytes_in_buffer);
        source->manager.next_input_byte += step;
        source->manager.bytes_in_buffer -= step;
        count -= static_cast<long>(step);
    }
}

void term_source(j_decompress_ptr) { }

// The decompression state, destroyed also when the constructor of the
// decoder that holds it throws.
struct jpeg_read_state {
    jpeg_decompress_struct info {};
    bool created = false;

    ~jpeg_read_state()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

class jpeg_decoder : public format_decoder {
public:
    explicit jpeg_decoder(std::istream& in)
        : m_reader(in)
        , m_buffer(input_buffer_size)
    {
        m_info.err = jpeg_std_error(&m_failure.manager);
        m_failure.manager.error_exit = on_error;
        m_failure.manager.emit_message = on_message;
        m_source.manager.init_source = init_source;
        m_source.manager.fill_input_buffer = fill_buffer;
        m_source.manager.skip_input_data = skip_data;
        m_source.manager.resync_to_restart = jpeg_resync_to_restart;
        m_source.manager.term_source = term_source;
        m_source.manager.bytes_in_buffer = 0;
        m_source.manager.next_input_byte = nullptr;
        m_source.reader = &m_reader;
        m_source.buffer = m_buffer.data();
        if (!read_header())
            fail();
        width = m_info.image_width;
        height = m_info.image_height;
        // Every 8 x 8 block costs at least one bit of Huffman code.
        max_pixels_per_byte = m_info.arith_code ? 0 : 512;
        m_coefficient_bytes = whole_image_coefficients();
    }

    std::uint64_t working_bytes(pixel_format) const override { return m_coefficient_bytes; }

    void read(const pixel_rows& target) override
    {
        const bool grey = m_info.num_components == 1;
        const bool cmyk = m_info.jpeg_color_space == JCS_CMYK || m_info.jpeg_color_space == JCS_YCCK;
        const bool direct = !cmyk && (target.format == pixel_format::bgra32 || grey);
        std::vector<JOCTET> scratch;
        if (!direct)
            scratch.resize(std::size_t(width) * 4);
        if (!read_pixels(target, direct, cmyk, scratch.data()))
            fail();
    }

private:
    // Data in several scans (progressive, or sequential with components in
    // scans of their own) is decoded through a coefficient buffer of the
    // whole image: 64 coefficients of 2 bytes per block of every component,
    // the blocks rounded up to the component's sampling factors, which can
    // be several times the decoded image.
    std::uint64_t whole_image_coefficients() const
    {
        if (!m_info.progressive_mode && m_info.comps_in_scan >= m_info.num_components)
            return 0;
        std::uint64_t bytes = 0;
        for (int i = 0; i < m_info.num_components; ++i) {
            const jpeg_component_info& c = m_info.comp_info[i];
            auto round_up = [](std::uint64_t n, std::uint64_t step) {
                return step == 0 ? n : (n + step - 1) / step * step;
            };
            bytes += round_up(c.width_in_blocks, std::uint64_t(c.h_samp_factor))
                * round_up(c.height_in_blocks, std::uint64_t(c.v_samp_factor)) * DCTSIZE2 * sizeof(JCOEF);
        }
        return bytes;
    }

    bool read_header()
    {
        if (setjmp(m_failure.jump))
            return false;
        jpeg_create_decompress(&m_info);
        m_state.created = true;
        m_info.src = &m_source.manager;
        jpeg_read_header(&m_info, TRUE);
        return true;
    }

    bool read_pixels(const pixel_rows& target, bool direct, bool cmyk, JOCTET* scratch)
    {
        if (setjmp(m_failure.jump))
            return false;
        if (cmyk)
            m_info.out_color_space = JCS_CMYK;
        else if (target.format == pixel_format::grey8 && m_info.num_components == 1)
            m_info.out_color_space = JCS_GRAYSCALE;
        else
            m_info.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&m_info);
        while (m_info.output_scanline < m_info.output_height) {
            const std::uint32_t y = m_info.output_scanline;
            JSAMPROW row = direct ? target.row(y) : scratch;
            jpeg_read_scanlines(&m_info, &row, 1);
            if (direct)
                continue;
            if (cmyk)
                cmyk_to_bgra(scratch);
            store_bgra_row(scratch, target, y);
        }
        jpeg_finish_decompress(&m_info);
        return true;
    }

    // Adobe writes CMYK inverted; the colour is then c x k / 255 per channel.
    void cmyk_to_bgra(JOCTET* row) const
    {
        const bool inverted = m_info.saw_Adobe_marker;
        for (std::uint32_t x = 0; x < width; ++x) {
            JOCTET* p = row + std::size_t(x) * 4;
            unsigned c = p[0], m = p[1], yl = p[2], k = p[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                yl = 255 - yl;
                k = 255 - k;
            }
            p[0] = static_cast<JOCTET>(yl * k / 255);
            p[1] = static_cast<JOCTET>(m * k / 255);
            p[2] = static_cast<JOCTET>(c * k / 255);
            p[3] = 255;
        }
    }

    [[noreturn]] void fail()
    {
        m_reader.rethrow();
        throw codec_error(m_failure.message);
    }

    stream_reader m_reader;
    std::vector<JOCTET> m_buffer;
    jpeg_failure m_failure;
    stream_source m_source {};
    jpeg_read_state m_state;
    jpeg_decompress_struct& m_info = m_state.info;
    std::uint64_t m_coefficient_bytes = 0;
};

// Destination manager over the caller's stream.
struct stream_destination {
    jpeg_destination_mgr manager;
    stream_writer* writer;
    JOCTET* buffer;
};

constexpr std::size_t output_buffer_size = 64 * 1024;

void init_destination(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<stream_destination*>(info->dest);
    destination->manager.next_output_byte = destination->buffer;
    destination->manager.free_in_buffer = output_buffer_size;
}

boolean empty_buffer(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<stream_destination*>(info->dest);
    if (!destination->writer->write(destination->buffer, output_buffer_size))
        ERREXIT(info, JERR_FILE_WRITE);
    init_destination(info);
    return TRUE;
}

void term_destination(j_compress_ptr info)
{
    auto* destination = reinterpret_cast<stream_destination*>(info->dest);
    const std::size_t used = output_buffer_size - destination->manager.free_in_buffer;
    if (used > 0 && !destination->writer->write(destination->buffer, used))
        ERREXIT(info, JERR_FILE_WRITE);
}

bool write_jpeg(jpeg_compress_struct& info, jpeg_failure& failure, stream_destination& destination,
    const const_pixel_rows& pixels, JOCTET* scratch)
{
    if (setjmp(failure.jump))
        return false;
    jpeg_create_compress(&info);
    info.dest = &destination.manager;
    info.image_width = pixels.width;
    info.image_height = pixels.height;
    const bool grey = pixels.format == pixel_format::indexed1 || pixels.format == pixel_format::grey8;
    info.input_components = grey ? 1 : 4;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 75, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const std::uint32_t y = info.next_scanline;
        JSAMPROW row = const_cast<JSAMPROW>(pixels.row(y));
        if (pixels.format == pixel_format::indexed1) {
            grey_row(pixels, y, scratch);
            row = scratch;
        }
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

} // namespace

std::unique_ptr<format_decoder> open_jpeg(std::istream& in)
{
    return std::make_unique<jpeg_decoder>(in);
}

void save_jpeg(std::ostream& out, const const_pixel_rows& pixels)
{
    stream_writer writer(out);
    std::vector<JOCTET> buffer(output_buffer_size);
    std::vector<JOCTET> scratch(pixels.width);
    jpeg_failure failure;
    jpeg_compress_struct info {};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = on_error;
    failure.manager.emit_message = on_message;
    stream_destination destination {};
    destination.manager.init_destination = init_destination;
    destination.manager.empty_output_buffer = empty_buffer;
    destination.manager.term_destination = term_destination;
    destination.writer = &writer;
    destination.buffer = buffer.data();
    const bool ok = write_jpeg(info, failure, destination, pixels, scratch.data());
    jpeg_destroy_compress(&info);
    writer.rethrow();
    if (!ok)
        throw codec_error(failure.message);
}

} // namespace platform::imaging::detail
