#pragma once

// Image decoding and encoding: BMP, JPEG, GIF, TIFF and PNG data read into
// 32-bit colour (or 8-bit) pixel rows that the caller owns, and pixel rows
// written in one of those formats, the encoder chosen by MIME type.
//
// Decoding is done in two steps so that the caller allocates nothing before
// it knows the size: a `decoder` reads the header only; the caller checks the
// claimed size and provides the rows; `decoder::read` decodes straight into
// them.
//
// Threads: no shared state; any number of decoders and encoders may run at
// once on different threads. Errors: `codec_error` with the library's text;
// exceptions of the caller's stream pass on unchanged.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform::imaging {

// The data is not an image of a supported format, or it is damaged.
class [[gnu::visibility("default")]] codec_error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class pixel_format {
    // One bit per pixel, bit 7 of a byte leftmost; 0 black, 1 white.
    indexed1,
    // One byte per pixel: a grey level when encoding; when decoding, the
    // blue component of each pixel's colour (the grey level of grey images).
    grey8,
    // Four bytes blue, green, red and one that is ignored (encoding only).
    bgrx32,
    // Four bytes blue, green, red, alpha.
    bgra32,
};

// Rows of a caller's buffer. Row 0 is the top row of the picture and row i
// starts at `first_row` + i x `stride`; a negative stride means the rows run
// bottom-up in memory. Rows hold at least `width` pixels of `format`.
template <class Byte> struct basic_pixel_rows {
    Byte* first_row = nullptr;
    std::ptrdiff_t stride = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    pixel_format format = pixel_format::bgra32;

    Byte* row(std::uint32_t y) const { return first_row + static_cast<std::ptrdiff_t>(y) * stride; }
};

using pixel_rows = basic_pixel_rows<std::uint8_t>;
using const_pixel_rows = basic_pixel_rows<const std::uint8_t>;

namespace detail {
class format_decoder;
}

// An image in an input stream, its header read. The stream is read from its
// current position and must stay alive and seekable until the decoder is
// destroyed (TIFF data is read out of order).
class decoder {
public:
    // Reads the header. Throws codec_error when the data is not BMP, JPEG,
    // GIF, TIFF or PNG, or its header is damaged.
    explicit decoder(std::istream& in);
    ~decoder();
    decoder(const decoder&) = delete;
    decoder& operator=(const decoder&) = delete;

    std::uint32_t width() const;
    std::uint32_t height() const;
    // True when the file's own pixel format carries alpha (PNG with an alpha
    // channel or transparency, TIFF with an alpha sample).
    bool has_alpha() const;
    // The most pixels one byte of this format's data can decode to, for the
    // caller's check of the claimed size against the data's length; 0 when
    // the format sets no such bound.
    std::uint64_t max_pixels_per_byte() const;
    // The memory `read` takes besides the target rows (whole-image
    // coefficient buffers of multi-scan JPEG data, TIFF strip and tile
    // buffers, conversion copies), for a target of `format` whose rows are
    // packed (width x 4 bytes for bgra32), so that the caller can bound the
    // whole decode before it allocates anything.
    std::uint64_t working_bytes(pixel_format format) const;

    // Decodes the picture (the first one of several) into `target`, which
    // must be width() x height() pixels of format bgra32 or grey8. Pixels
    // of formats without alpha get alpha 255. Call once. Throws codec_error
    // when the data is damaged; the target's contents are then undefined.
    void read(const pixel_rows& target);

private:
    std::unique_ptr<detail::format_decoder> m_format;
};

// The encoders, one per format.
enum class encoder { bmp, jpeg, gif, tiff, png };

// The MIME types of the encoders, in the order of `encoder`: "image/bmp",
// "image/jpeg", "image/gif", "image/tiff", "image/png".
std::vector<std::string> encoder_mime_types();

// The encoder whose MIME type equals `mime_type`; none when there is none.
std::optional<encoder> find_encoder(std::string_view mime_type);

// How hard the PNG encoder works; other encoders ignore it. Both give
// ordinary PNG files that any reader decodes to the same pixels.
enum class png_compression {
    // Full deflate at its default level, the row filters chosen by trial:
    // the smallest files, but some 200 ms for a noisy 720 x 576 colour frame.
    standard,
    // Deflate's stored blocks, rows unfiltered: some 4 ms to write and
    // read back such a frame, its file the size of the raw pixels (about
    // 1.25 MB for 24-bit colour).
    fast,
    // Deflate's quick levels over rows filtered against the row above, for
    // pictures read far more often than written, such as smooth 8-bit masks:
    // a 1920 x 1080 mask of soft-edged shapes reads back in some 1.4 ms
    // instead of 5 ms, its file up to twice the standard size (tens of KB).
    quick_read,
};

// Writes `pixels` (any pixel format) as a file of the encoder's format to
// `out`, from its current position. Indexed and grey rows stay 1- and 8-bit
// where the format has such images; bgrx32 rows are written as 24-bit colour,
// bgra32 rows with alpha where the format has it (JPEG and GIF drop it; GIF
// maps colours to a fixed palette). Throws codec_error when the library
// fails; the stream's own exceptions pass on.
void save(std::ostream& out, const const_pixel_rows& pixels, encoder format,
    png_compression compression = png_compression::standard);

} // namespace platform::imaging
