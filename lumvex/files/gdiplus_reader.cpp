#include "lumvex/files/gdiplus_reader.h"

#include "foundation/files/byte_stream.h"
#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/image_error.h"

#include <optional>

namespace img {

namespace {

void list_extensions(std::vector<std::string>& out)
{
    for (const char* extension : { "BMP", "JPEG", "JPG", "GIF", "TIF", "TIFF", "PNG" })
        out.emplace_back(extension);
}

const char* const extension_filter = "*.BMP;*.JPEG;*.JPG;*.GIF;*.TIF;*.TIFF;*.PNG";

std::optional<image_format> format_named(const std::string& name)
{
    if (equal_ignoring_case(name, "BMP"))
        return image_format::bmp;
    if (equal_ignoring_case(name, "JPEG") || equal_ignoring_case(name, "JPG"))
        return image_format::jpeg;
    if (equal_ignoring_case(name, "GIF"))
        return image_format::gif;
    if (equal_ignoring_case(name, "TIFF") || equal_ignoring_case(name, "TIF"))
        return image_format::tiff;
    if (equal_ignoring_case(name, "PNG"))
        return image_format::png;
    return std::nullopt;
}

} // namespace

void gdiplus_reader::extensions(std::vector<std::string>& out) const
{
    list_extensions(out);
}

std::string gdiplus_reader::filter() const
{
    return extension_filter;
}

bool gdiplus_reader::info(const std::string& path, const std::string&, image_info* out) const
{
    return info(path, out);
}

bool gdiplus_reader::info(const std::string& path, image_info* out) const
{
    try {
        xtd::bistream in(path);
        if (!in)
            return false;
        image<BGRA<unsigned char>> picture;
        bool has_alpha = false;
        gdiplus_read_bgra(in, picture, &has_alpha);
        if (out) {
            *out = { path, "???", picture.width, picture.height, has_alpha ? 32u : 24u, 0 };
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void gdiplus_reader::read(const std::string& path, const std::string&, image<BGRA<unsigned char>>& out) const
{
    read(path, out);
}

void gdiplus_reader::read(const std::string& path, image<BGRA<unsigned char>>& out) const
{
    xtd::bistream in(path);
    if (!in)
        throw io_error("could not open image file for reading or read error", path);
    try {
        gdiplus_read_bgra(in, out);
    } catch (io_error& error) {
        if (error.subject().empty())
            error.set_subject(path);
        throw;
    }
}

std::string gdiplus_reader::size_refusal(const std::string& path) const
{
    try {
        xtd::bistream in(path);
        if (in)
            gdiplus_check_size(in);
    } catch (const too_large& error) {
        return error.message();
    } catch (const std::exception&) {
        // No image, or refused for another reason.
    }
    return {};
}

void gdiplus_writer::extensions(std::vector<std::string>& out) const
{
    list_extensions(out);
}

std::string gdiplus_writer::filter() const
{
    return extension_filter;
}

void gdiplus_writer::write(const std::string& path, const std::string& format,
    const image<BGRA<unsigned char>>& image, bool alpha) const
{
    const std::optional<image_format> file_format = format_named(format);
    if (!file_format)
        throw io_error("file format is not supported", format);
    try {
        xtd::write_binary_file(path,
            [&](std::ostream& out) { gdiplus_write_bgra(out, image, *file_format, alpha, m_compression); });
    } catch (io_error& error) {
        if (error.subject().empty())
            error.set_subject(path);
        throw;
    } catch (const std::ios_base::failure& error) {
        // The system's reason, when the file itself failed.
        throw io_error(
            "could not open image file for writing or write error", path, xtd::system_reason(error));
    }
}

} // namespace img
