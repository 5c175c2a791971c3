#pragma once

// The render library's own image-file codec: uncompressed BMP and TGA files
// of 32-bit images, at 32 bits with alpha and 24 bits without.
//
// BMP: 54-byte headers ("BM", pixel offset 54, info header 40, 1 plane, no
// compression, image size and resolutions 0), rows bottom-up, 24-bit rows
// padded to 4 bytes. TGA: 18-byte header (uncompressed true colour, 16-bit
// width and height, descriptor 0x20 for top-down rows), rows in the
// image's own stored order without padding.
//
// A file is written to a temporary file that replaces `path` only when
// complete. Errors: img::io_error "file format is not supported" (subject
// the extension) for any extension but BMP and TGA (case ignored); "image
// is too large for the file format" (subject the path) for a TGA side above
// 65535 or a BMP beyond 4 GiB, before the file is touched; stream failures
// (std::ios_base::failure) when the file cannot be written. Stateless: any
// thread may use it.

#include "lumvex/files/image_codec.h"

namespace img {

class bmp_tga_codec : public writer {
public:
    // "BMP", "TGA".
    void extensions(std::vector<std::string>& out) const override;
    void write(const std::string& path, const std::string& format, const image<BGRA<unsigned char>>& image,
        bool alpha) const override;
    // As write; returns the size of the written file.
    std::uint64_t write_file(const std::string& path, const std::string& format,
        const image<BGRA<unsigned char>>& image, bool alpha) const;
};

} // namespace img
