#include "platform/imaging/imaging.h"

#include "platform/imaging/format_codec.h"

#include <array>
#include <cstring>

namespace platform::imaging {

namespace {

// The format of the data at the stream's position, told by its signature.
enum class signature { bmp, png, jpeg, gif, tiff, unknown };

signature sniff(std::istream& in)
{
    std::array<unsigned char, 8> head {};
    const auto start = in.tellg();
    detail::stream_reader reader(in);
    const std::size_t got = reader.read(head.data(), head.size());
    reader.rethrow();
    in.seekg(start);
    if (start < 0 || !in)
        throw codec_error("the image data cannot be read");
    auto starts = [&](std::initializer_list<unsigned char> bytes) {
        return got >= bytes.size() && std::equal(bytes.begin(), bytes.end(), head.begin());
    };
    if (starts({ 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' }))
        return signature::png;
    if (starts({ 0xFF, 0xD8, 0xFF }))
        return signature::jpeg;
    if (starts({ 'G', 'I', 'F', '8' }))
        return signature::gif;
    if (starts({ 'I', 'I', 42, 0 }) || starts({ 'M', 'M', 0, 42 }) || starts({ 'I', 'I', 43, 0 })
        || starts({ 'M', 'M', 0, 43 }))
        return signature::tiff;
    if (starts({ 'B', 'M' }))
        return signature::bmp;
    return signature::unknown;
}

} // namespace

decoder::decoder(std::istream& in)
{
    switch (sniff(in)) {
    case signature::bmp:
        m_format = detail::open_bmp(in);
        break;
    case signature::png:
        m_format = detail::open_png(in);
        break;
    case signature::jpeg:
        m_format = detail::open_jpeg(in);
        break;
    case signature::gif:
        m_format = detail::open_gif(in);
        break;
    case signature::tiff:
        m_format = detail::open_tiff(in);
        break;
    case signature::unknown:
        throw codec_error("the data is not an image of a known format");
    }
    if (m_format->width == 0 || m_format->height == 0)
        throw codec_error("the image has no pixels");
}

decoder::~decoder() = default;

std::uint32_t decoder::width() const
{
    return m_format->width;
}

std::uint32_t decoder::height() const
{
    return m_format->height;
}

bool decoder::has_alpha() const
{
    return m_format->has_alpha;
}

std::uint64_t decoder::max_pixels_per_byte() const
{
    return m_format->max_pixels_per_byte;
}

std::uint64_t decoder::working_bytes(pixel_format format) const
{
    return m_format->working_bytes(format);
}

void decoder::read(const pixel_rows& target)
{
    detail::check_target(*m_format, target);
    m_format->read(target);
}

std::vector<std::string> encoder_mime_types()
{
    return { "image/bmp", "image/jpeg", "image/gif", "image/tiff", "image/png" };
}

std::optional<encoder> find_encoder(std::string_view mime_type)
{
    const auto types = encoder_mime_types();
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (types[i] == mime_type)
            return static_cast<encoder>(i);
    }
    return std::nullopt;
}

void save(std::ostream& out, const const_pixel_rows& pixels, encoder format, png_compression compression)
{
    if (pixels.width == 0 || pixels.height == 0 || pixels.first_row == nullptr)
        throw codec_error("an image without pixels cannot be saved");
    switch (format) {
    case encoder::bmp:
        return detail::save_bmp(out, pixels);
    case encoder::jpeg:
        return detail::save_jpeg(out, pixels);
    case encoder::gif:
        return detail::save_gif(out, pixels);
    case encoder::tiff:
        return detail::save_tiff(out, pixels);
    case encoder::png:
        return detail::save_png(out, pixels, compression);
    }
    throw codec_error("unknown encoder");
}

namespace detail {

void check_target(const format_decoder& decoder, const pixel_rows& target)
{
    if (target.width != decoder.width || target.height != decoder.height || target.first_row == nullptr)
        throw codec_error("the target rows do not have the image's size");
    if (target.format != pixel_format::bgra32 && target.format != pixel_format::grey8)
        throw codec_error("images decode into 32-bit colour or 8-bit rows only");
}

void store_bgra_row(const std::uint8_t* bgra, const pixel_rows& target, std::uint32_t y)
{
    std::uint8_t* out = target.row(y);
    if (target.format == pixel_format::bgra32) {
        std::memcpy(out, bgra, std::size_t(target.width) * 4);
        return;
    }
    for (std::uint32_t x = 0; x < target.width; ++x)
        out[x] = bgra[std::size_t(x) * 4];
}

void grey_row(const const_pixel_rows& pixels, std::uint32_t y, std::uint8_t* out)
{
    const std::uint8_t* in = pixels.row(y);
    switch (pixels.format) {
    case pixel_format::indexed1:
        for (std::uint32_t x = 0; x < pixels.width; ++x)
            out[x] = (in[x >> 3] & (0x80u >> (x & 7))) ? 255 : 0;
        break;
    case pixel_format::grey8:
        std::memcpy(out, in, pixels.width);
        break;
    case pixel_format::bgrx32:
    case pixel_format::bgra32:
        for (std::uint32_t x = 0; x < pixels.width; ++x)
            out[x] = in[std::size_t(x) * 4];
        break;
    }
}

void rgb_row(const const_pixel_rows& pixels, std::uint32_t y, bool alpha, std::uint8_t* out)
{
    const std::uint8_t* in = pixels.row(y);
    const std::size_t n = alpha ? 4 : 3;
    for (std::uint32_t x = 0; x < pixels.width; ++x) {
        std::uint8_t* o = out + x * n;
        std::uint8_t a = 255;
        switch (pixels.format) {
        case pixel_format::indexed1:
            o[0] = o[1] = o[2] = (in[x >> 3] & (0x80u >> (x & 7))) ? 255 : 0;
            break;
        case pixel_format::grey8:
            o[0] = o[1] = o[2] = in[x];
            break;
        case pixel_format::bgrx32:
        case pixel_format::bgra32:
            o[0] = in[std::size_t(x) * 4 + 2];
            o[1] = in[std::size_t(x) * 4 + 1];
            o[2] = in[std::size_t(x) * 4];
            if (pixels.format == pixel_format::bgra32)
                a = in[std::size_t(x) * 4 + 3];
            break;
        }
        if (alpha)
            o[3] = a;
    }
}

stream_reader::stream_reader(std::istream& in)
    : m_in(in)
{
}

std::size_t stream_reader::read(void* buffer, std::size_t count) noexcept
{
    // The end of the data is no failure here (a library asks for more than
    // is left and handles the short count), even on a stream that throws.
    try {
        try {
            m_in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
        } catch (const std::ios_base::failure&) {
            if (m_in.bad())
                throw;
        }
        const auto got = static_cast<std::size_t>(m_in.gcount());
        if (!m_in.bad())
            m_in.clear();
        return got;
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
        return 0;
    }
}

void stream_reader::rethrow() const
{
    if (failure)
        std::rethrow_exception(failure);
}

stream_writer::stream_writer(std::ostream& out)
    : m_out(out)
{
}

bool stream_writer::write(const void* buffer, std::size_t count) noexcept
{
    try {
        m_out.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count));
        if (!m_out)
            throw std::ios_base::failure("image data could not be written");
        return true;
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
        return false;
    }
}

void stream_writer::rethrow() const
{
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace detail

} // namespace platform::imaging
