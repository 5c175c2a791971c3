#pragma once

// The codecs over the platform's image decoders and encoders: BMP, JPEG,
// GIF, TIFF and PNG files.

#include "foundation/files/gdiplus_codec.h"
#include "lumvex/files/image_codec.h"

namespace img {

// Reads BMP, JPEG, GIF, TIFF and PNG files, telling the format from the data
// (a given format is ignored). Cannot probe.
//
// read: "could not open image file for reading or read error" (subject the
// path) when the file does not open; "Gdiplus::Bitmap reading failure" or
// "Gdiplus::Bitmap::LockBits failure" when it cannot be decoded, with the
// decoder's reason and the path as subject. info decodes the whole picture
// and gives false on any failure; it reports 32 bits per pixel for files with
// alpha, else 24.
class LUMVEX_API gdiplus_reader : public reader {
public:
    void extensions(std::vector<std::string>& out) const override;
    std::string filter() const override;
    bool info(const std::string& path, const std::string& format, image_info* out) const override;
    bool info(const std::string& path, image_info* out) const override;
    bool can_probe() const override { return false; }
    void read(
        const std::string& path, const std::string& format, image<BGRA<unsigned char>>& out) const override;
    void read(const std::string& path, image<BGRA<unsigned char>>& out) const override;
    // From the decoder's reading of the header and its working memory.
    std::string size_refusal(const std::string& path) const override;
};

// Writes BMP, JPEG, GIF, TIFF and PNG files; the format (ignoring case):
// "BMP", "JPEG" or "JPG", "GIF", "TIFF" or "TIF", "PNG".
//
// The format is checked before the file is touched ("file format is not
// supported", subject the format); the data goes to a temporary file that
// replaces `path` only when complete, so a failed write never destroys an
// existing file. "could not open image file for writing or write error"
// (subject the path, reason the system's) when the file cannot be written
// or replaced; "Gdiplus::Bitmap::Save failure" (subject the path, reason the
// codec's or the system's) when encoding fails or the disc fills up on the
// way.
// PNG files are written with the compression given at construction.
class LUMVEX_API gdiplus_writer : public writer {
public:
    explicit gdiplus_writer(png_compression compression = png_compression::standard)
        : m_compression(compression)
    {
    }
    void extensions(std::vector<std::string>& out) const override;
    std::string filter() const override;
    void write(const std::string& path, const std::string& format, const image<BGRA<unsigned char>>& image,
        bool alpha) const override;

private:
    png_compression m_compression;
};

} // namespace img
