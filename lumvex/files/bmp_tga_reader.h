#pragma once

// The library's own reader of uncompressed BMP files (1, 8, 24 and 32 bits)
// and of TGA files (uncompressed and run-length encoded). It probes: `info`
// tells from the file itself whether it reads it.

#include "lumvex/files/image_codec.h"

#include <istream>

namespace img {

// Extensions "BMP", "TGA". A path's kind is its extension (ignoring case);
// files of any other extension are tried as BMP, then as TGA.
//
// TGA has no signature, so `info`, `size_refusal` and the TGA attempt of
// `read` for another extension take a file as TGA only when its header
// keeps to the values the format defines: colour-map type 0 or 1, image type
// 1 to 3 or 9 to 11, pixel depth 8, 15, 16, 24 or 32, map entries of 15, 16,
// 24 or 32 bits, and a colour map exactly for the colour-mapped types 1 and
// 9 (at 15 or 16 bits with or without one). Any other file is no TGA: `info`
// is false and no size refusal is told. Reading a file named .tga, or with
// format "TGA", holds the header only to the checks the errors below name.
//
// Errors (img::io_error family, subject the path): "could not open BMP image
// for reading or read error" / "could not open TGA image for reading or read
// error" for files that do not open, are too short or claim more pixels than
// they hold or than any image may have; img::unsupported for variants not
// read (compressed or 4- and 16-bit BMP among them); img::corrupt for colour
// indices outside the palette and true-colour TGA with a colour map.
class LUMVEX_API bmp_tga_reader : public reader {
public:
    void extensions(std::vector<std::string>& out) const override;
    bool info(const std::string& path, const std::string& format, image_info* out) const override;
    bool info(const std::string& path, image_info* out) const override;
    bool can_probe() const override { return true; }
    void read(
        const std::string& path, const std::string& format, image<BGRA<unsigned char>>& out) const override;
    void read(const std::string& path, image<BGRA<unsigned char>>& out) const override;
    // From the headers, as `read` checks them.
    std::string size_refusal(const std::string& path) const override;
};

// The readers over a stream that throws on failure, from its position; errors
// carry an empty subject. `read_bmp` and `read_tga` resize `out` to the
// picture; the info functions throw where `info` gives false.
void read_bmp_info(std::istream& in, image_info& out);
void read_bmp(std::istream& in, image<BGRA<unsigned char>>& out);
void read_tga_info(std::istream& in, image_info& out);
void read_tga(std::istream& in, image<BGRA<unsigned char>>& out);

} // namespace img
