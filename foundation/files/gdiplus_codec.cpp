#include "foundation/files/gdiplus_codec.h"

#include "foundation/files/byte_stream.h"
#include "foundation/files/image_error.h"
#include "foundation/files/size_check.h"
#include "platform/imaging/imaging.h"

#include <ios>
#include <string>

namespace img {

namespace {

namespace imaging = platform::imaging;

const char* const reading_failure = "Gdiplus::Bitmap reading failure";
const char* const lock_failure = "Gdiplus::Bitmap::LockBits failure";
const char* const save_failure = "Gdiplus::Bitmap::Save failure";

// An image record's rows as the platform sees them: row 0 first, a negative
// stride for bottom-up storage.
template <class Byte, class T>
imaging::basic_pixel_rows<Byte> rows_of(const image<T>& image, imaging::pixel_format format)
{
    imaging::basic_pixel_rows<Byte> rows;
    rows.first_row = image.rows.empty() ? nullptr : image.rows[0];
    rows.stride = image.top_down ? std::ptrdiff_t(image.stride) : -std::ptrdiff_t(image.stride);
    rows.width = image.width;
    rows.height = image.height;
    rows.format = format;
    return rows;
}

// The reason a stream failure gives: the caller's stream could not be read.
const char* const unreadable = "the image data cannot be read";

// The size a decoder's header claims, checked as every decode checks it
// before anything is allocated for the pixels: a size past the limits throws
// too_large, one the data cannot hold io_error.
void check_claimed_size(const imaging::decoder& decoder, std::uint64_t available,
    std::uint64_t target_bytes_per_pixel, imaging::pixel_format format)
{
    const std::uint64_t width = decoder.width();
    const std::uint64_t height = decoder.height();
    stored_pixels storage;
    storage.max_pixels_per_byte = decoder.max_pixels_per_byte();
    storage.target_bytes_per_pixel = target_bytes_per_pixel;
    storage.working_bytes = decoder.working_bytes(format);
    try {
        check_image_size(width, height, storage, available, reading_failure);
    } catch (const too_large&) {
        // Already says the size and the limit.
        throw;
    } catch (const io_error&) {
        throw io_error(reading_failure, {},
            "the image claims " + std::to_string(width) + " x " + std::to_string(height)
                + " pixels, more than its data or the size limits allow");
    }
}

// Runs `body` on the data's header, turning the decoder's and the stream's
// failures into the reading failure with their reason.
template <class Body> auto with_header(std::istream& in, Body body)
{
    try {
        const std::uint64_t available = xtd::remaining_bytes(in);
        imaging::decoder decoder(in);
        return body(decoder, available);
    } catch (const imaging::codec_error& error) {
        throw io_error(reading_failure, {}, error.what());
    } catch (const std::ios_base::failure&) {
        throw io_error(reading_failure, {}, unreadable);
    }
}

template <class T>
void decode(std::istream& in, image<T>& image, imaging::pixel_format format, bool* has_alpha)
{
    with_header(in, [&](imaging::decoder& decoder, std::uint64_t available) {
        check_claimed_size(decoder, available, sizeof(T), format);
        image.resize(decoder.width(), decoder.height(), 4);
        if (has_alpha)
            *has_alpha = decoder.has_alpha();
        try {
            decoder.read(rows_of<std::uint8_t>(image, format));
        } catch (const imaging::codec_error& error) {
            // A picture that failed is no use to anyone: its memory goes
            // back before the error travels on.
            image.clear();
            throw io_error(lock_failure, {}, error.what());
        } catch (const std::ios_base::failure&) {
            image.clear();
            throw io_error(lock_failure, {}, unreadable);
        }
    });
}

template <class T>
void encode(std::ostream& out, const image<T>& image, imaging::pixel_format format, image_format file_format,
    png_compression compression = png_compression::standard)
{
    const auto encoder = imaging::find_encoder(mime_type(file_format));
    if (!encoder || image.data == nullptr)
        throw io_error(save_failure, {});
    try {
        imaging::save(out, rows_of<const std::uint8_t>(image, format), *encoder, compression);
    } catch (const imaging::codec_error& error) {
        throw io_error(save_failure, {}, error.what());
    } catch (const std::ios_base::failure& error) {
        // A file's stream says what the system refused (a full disc).
        throw io_error(save_failure, {}, xtd::system_reason(error));
    }
}

} // namespace

const char* mime_type(image_format format)
{
    switch (format) {
    case image_format::bmp:
        return "image/bmp";
    case image_format::jpeg:
        return "image/jpeg";
    case image_format::gif:
        return "image/gif";
    case image_format::tiff:
        return "image/tiff";
    case image_format::png:
        return "image/png";
    }
    return "";
}

void gdiplus_read_bgra(std::istream& in, image<BGRA<unsigned char>>& image, bool* has_alpha)
{
    decode(in, image, imaging::pixel_format::bgra32, has_alpha);
}

void gdiplus_read_grey(std::istream& in, image<unsigned char>& image)
{
    decode(in, image, imaging::pixel_format::grey8, nullptr);
}

types::extent<unsigned> gdiplus_read_size(std::istream& in)
{
    return with_header(in, [](const imaging::decoder& decoder, std::uint64_t) {
        return types::extent<unsigned> { decoder.width(), decoder.height() };
    });
}

void gdiplus_check_size(std::istream& in)
{
    with_header(in, [](const imaging::decoder& decoder, std::uint64_t available) {
        check_claimed_size(decoder, available, sizeof(BGRA<unsigned char>), imaging::pixel_format::bgra32);
    });
}

void gdiplus_write_bit(std::ostream& out, const image<bit>& image, image_format format)
{
    encode(out, image, imaging::pixel_format::indexed1, format);
}

void gdiplus_write_grey(
    std::ostream& out, const image<unsigned char>& image, image_format format, png_compression compression)
{
    encode(out, image, imaging::pixel_format::grey8, format, compression);
}

void gdiplus_write_bgra(std::ostream& out, const image<BGRA<unsigned char>>& image, image_format format,
    bool alpha, png_compression compression)
{
    encode(out, image, alpha ? imaging::pixel_format::bgra32 : imaging::pixel_format::bgrx32, format,
        compression);
}

} // namespace img
