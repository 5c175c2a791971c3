#pragma once

// The one check every image-file reader makes before it allocates or copies
// anything for the pixels a header claims: the size, taken in 64 bits, must
// lie within the limits below and the file must be long enough to hold it.

#include <cstdint>
#include <string>

namespace img {

// The largest side and area taken from any image file (the area is 1 GiB of
// 32-bit pixels).
inline constexpr std::uint64_t max_file_image_side = std::uint64_t(1) << 20;
inline constexpr std::uint64_t max_file_image_pixels = std::uint64_t(1) << 28;
// The most memory reading one file may take: the image it is decoded into
// and the decoder's own working memory together.
inline constexpr std::uint64_t max_file_decode_bytes = max_file_image_pixels * 4;

// How a file stores its pixels.
struct stored_pixels {
    // Uncompressed rows: bits per pixel and the row padding in bytes.
    std::uint64_t bits_per_pixel = 0;
    std::uint64_t row_alignment = 1;
    // Compressed data (bits_per_pixel 0): the most pixels one byte of it can
    // yield; 0 when the format sets no bound.
    std::uint64_t max_pixels_per_byte = 0;
    // Bytes per pixel of the image the file is decoded into.
    std::uint64_t target_bytes_per_pixel = 4;
    // Memory the decoder needs besides that image: whole-image coefficient
    // buffers, strip and tile buffers, conversion copies.
    std::uint64_t working_bytes = 0;
};

// Throws img::io_error (message, subject) unless width and height are at
// least 1, within the limits, `available` bytes (what the file holds from
// where the pixels start) can hold the rows, and the target image and the
// decoder's working memory together stay within max_file_decode_bytes.
// A size past the limits throws img::too_large instead, with `subject` and
// its own message, which tells the size and the limit ("the image is too
// large: 17000 x 17000 pixels, more than the limit of 268435456 pixels").
// Returns the byte size of the uncompressed rows (0 for compressed data).
std::uint64_t check_image_size(std::uint64_t width, std::uint64_t height, const stored_pixels& storage,
    std::uint64_t available, const std::string& message, const std::string& subject = {});

} // namespace img
