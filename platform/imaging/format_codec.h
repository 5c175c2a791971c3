#pragma once

// Internals of the imaging service: one decoder and one save function per
// format, and the row conversions they share. Included by platform/imaging
// sources only.

#include "platform/imaging/imaging.h"

#include <cstdint>
#include <exception>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

namespace platform::imaging::detail {

// A format's decoder after its header has been read.
class format_decoder {
public:
    virtual ~format_decoder() = default;
    virtual void read(const pixel_rows& target) = 0;
    // Memory `read` takes besides the target rows, for a target of the
    // given format with rows of width x 4 or width bytes.
    virtual std::uint64_t working_bytes(pixel_format) const { return 0; }

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool has_alpha = false;
    std::uint64_t max_pixels_per_byte = 0;
};

std::unique_ptr<format_decoder> open_bmp(std::istream& in);
std::unique_ptr<format_decoder> open_png(std::istream& in);
std::unique_ptr<format_decoder> open_jpeg(std::istream& in);
std::unique_ptr<format_decoder> open_gif(std::istream& in);
std::unique_ptr<format_decoder> open_tiff(std::istream& in);

void save_bmp(std::ostream& out, const const_pixel_rows& pixels);
void save_png(std::ostream& out, const const_pixel_rows& pixels, png_compression compression);
void save_jpeg(std::ostream& out, const const_pixel_rows& pixels);
void save_gif(std::ostream& out, const const_pixel_rows& pixels);
void save_tiff(std::ostream& out, const const_pixel_rows& pixels);

// Checks that a decode target has the decoder's size and a pixel format
// decoders write (bgra32 or grey8); throws codec_error otherwise.
void check_target(const format_decoder& decoder, const pixel_rows& target);

// Stores row y of a decoded picture given as BGRA bytes into the target:
// bgra32 copies, grey8 takes the blue bytes.
void store_bgra_row(const std::uint8_t* bgra, const pixel_rows& target, std::uint32_t y);

// Row y of `pixels` as 8-bit grey (indexed1 0/255, grey8 as is, colour by
// its blue byte) into `out`, which holds width bytes.
void grey_row(const const_pixel_rows& pixels, std::uint32_t y, std::uint8_t* out);

// Row y of `pixels` as red, green, blue (and alpha when `alpha`) bytes into
// `out`; grey and indexed rows give equal components, alpha 255.
void rgb_row(const const_pixel_rows& pixels, std::uint32_t y, bool alpha, std::uint8_t* out);

// Reads from a caller's stream inside a C library's callback, where no
// exception may pass: failures are kept for the caller to rethrow once the
// library has returned.
class stream_reader {
public:
    explicit stream_reader(std::istream& in);
    // Reads up to `count` bytes; returns how many were read (fewer at the end
    // of the data or on a stream failure, which is kept).
    std::size_t read(void* buffer, std::size_t count) noexcept;
    std::istream& stream() { return m_in; }
    // Rethrows a failure of the caller's stream, when there was one.
    void rethrow() const;
    std::exception_ptr failure;

private:
    std::istream& m_in;
};

// The same for writing.
class stream_writer {
public:
    explicit stream_writer(std::ostream& out);
    bool write(const void* buffer, std::size_t count) noexcept;
    void rethrow() const;
    std::exception_ptr failure;

private:
    std::ostream& m_out;
};

} // namespace platform::imaging::detail
