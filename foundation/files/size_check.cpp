#include "foundation/files/size_check.h"

#include "foundation/files/image_error.h"

namespace img {

namespace {

std::string too_large_reason(std::uint64_t width, std::uint64_t height, const std::string& limit)
{
    return "the image is too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels, "
        + limit;
}

} // namespace

std::uint64_t check_image_size(std::uint64_t width, std::uint64_t height, const stored_pixels& storage,
    std::uint64_t available, const std::string& message, const std::string& subject)
{
    if (width == 0 || height == 0 || storage.target_bytes_per_pixel > 16)
        throw io_error(message, subject);
    // Each factor is bounded before it is multiplied, so nothing overflows.
    if (width > max_file_image_side || height > max_file_image_side)
        throw too_large(too_large_reason(width, height,
                            "more than " + std::to_string(max_file_image_side) + " pixels a side"),
            subject);
    if (width * height > max_file_image_pixels)
        throw too_large(too_large_reason(width, height,
                            "more than the limit of " + std::to_string(max_file_image_pixels) + " pixels"),
            subject);
    if (storage.working_bytes > max_file_decode_bytes
        || width * height * storage.target_bytes_per_pixel + storage.working_bytes > max_file_decode_bytes)
        throw too_large(too_large_reason(width, height,
                            "more memory to read than the limit of "
                                + std::to_string(max_file_decode_bytes >> 20) + " MiB"),
            subject);
    if (storage.bits_per_pixel > 0) {
        if (storage.bits_per_pixel > 128 || storage.row_alignment == 0 || storage.row_alignment > 64)
            throw io_error(message, subject);
        const std::uint64_t row = (width * storage.bits_per_pixel + 7) / 8;
        const std::uint64_t stride
            = (row + storage.row_alignment - 1) / storage.row_alignment * storage.row_alignment;
        const std::uint64_t bytes = stride * height;
        if (bytes > available)
            throw io_error(message, subject);
        return bytes;
    }
    const std::uint64_t ratio = storage.max_pixels_per_byte;
    if (ratio > 0 && ratio < max_file_image_pixels && available < max_file_image_pixels
        && width * height > available * ratio)
        throw io_error(message, subject);
    return 0;
}

} // namespace img
