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

template <class T>
void decode(std::istream& in, image<T>& image, imaging::pixel_format format, bool* has_alpha)
{
    try {
        const std::uint64_t available = xtd::remaining_bytes(in);
        imaging::decoder decoder(in);
        const std::uint64_t width = decoder.width();
        const std::uint64_t height = decoder.height();
        stored_pixels storage;
        storage.max_pixels_per_byte = decoder.max_pixels_per_byte();
        storage.target_bytes_per_pixel = sizeof(T);
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
        image.resize(decoder.width(), decoder.height(), 4);
        if (has_alpha)
            *has_alpha = decoder.has_alpha();
        try {
            decoder.read(rows_of<std::uint8_t>(image, format));
        } catch (const imaging::codec_error& error) {
            throw io_error(lock_failure, {}, error.what());
        } catch (const std::ios_base::failure&) {
            throw io_error(lock_failure, {}, unreadable);
        }
    } catch (const imaging::codec_error& error) {
        throw io_error(reading_failure, {}, error.what());
    } catch (const std::ios_base::failure&) {
        throw io_error(reading_failure, {}, unreadable);
    }
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
    } catch (const imaging::codec_error&) {
        throw io_error(save_failure, {});
    } catch (const std::ios_base::failure&) {
        throw io_error(save_failure, {});
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
