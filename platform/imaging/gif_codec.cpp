#include "platform/imaging/format_codec.h"

#include <gif_lib.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace platform::imaging::detail {

namespace {

std::string gif_message(const char* what, int code)
{
    const char* text = GifErrorString(code);
    return std::string("GIF data is damaged: ") + what + (text ? std::string(": ") + text : std::string());
}

int read_data(GifFileType* gif, GifByteType* buffer, int count)
{
    auto* reader = static_cast<stream_reader*>(gif->UserData);
    return count <= 0 ? 0 : static_cast<int>(reader->read(buffer, std::size_t(count)));
}

int write_data(GifFileType* gif, const GifByteType* buffer, int count)
{
    auto* writer = static_cast<stream_writer*>(gif->UserData);
    return count > 0 && writer->write(buffer, std::size_t(count)) ? count : 0;
}

// The first picture of the file, as large as its own image descriptor says;
// the logical screen around it is not kept.
class gif_decoder : public format_decoder {
public:
    explicit gif_decoder(std::istream& in)
        : m_reader(in)
    {
        int code = 0;
        m_handle.reset(DGifOpen(&m_reader, read_data, &code));
        m_gif = m_handle.get();
        if (m_gif == nullptr)
            fail("header", code);
        for (;;) {
            GifRecordType record = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(m_gif, &record) == GIF_ERROR)
                fail("record", m_gif->Error);
            if (record == IMAGE_DESC_RECORD_TYPE)
                break;
            if (record == TERMINATE_RECORD_TYPE)
                fail("no picture", 0);
            if (record == EXTENSION_RECORD_TYPE)
                read_extension();
        }
        if (DGifGetImageDesc(m_gif) == GIF_ERROR)
            fail("image descriptor", m_gif->Error);
        const GifImageDesc& desc = m_gif->Image;
        if (desc.Width <= 0 || desc.Height <= 0)
            fail("empty picture", 0);
        width = static_cast<std::uint32_t>(desc.Width);
        height = static_cast<std::uint32_t>(desc.Height);
        // An LZW code of b bits (at least 3) names a string of at most 2^b
        // pixels, and b is at most 12.
        max_pixels_per_byte = 4096 * 8 / 12 + 1;
    }

    void read(const pixel_rows& target) override
    {
        const ColorMapObject* map = m_gif->Image.ColorMap ? m_gif->Image.ColorMap : m_gif->SColorMap;
        std::array<std::uint8_t, 256 * 4> palette {};
        if (map != nullptr) {
            const int count = std::min(map->ColorCount, 256);
            for (int i = 0; i < count; ++i) {
                palette[i * 4] = map->Colors[i].Blue;
                palette[i * 4 + 1] = map->Colors[i].Green;
                palette[i * 4 + 2] = map->Colors[i].Red;
                palette[i * 4 + 3] = 255;
            }
        }
        if (m_transparent >= 0)
            palette[m_transparent * 4 + 3] = 0;
        std::vector<GifPixelType> line(width);
        std::vector<std::uint8_t> bgra(std::size_t(width) * 4);
        const bool interlaced = m_gif->Image.Interlace;
        static constexpr int starts[] = { 0, 4, 2, 1 };
        static constexpr int steps[] = { 8, 8, 4, 2 };
        for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
            const std::uint32_t first = interlaced ? starts[pass] : 0;
            const std::uint32_t step = interlaced ? steps[pass] : 1;
            for (std::uint32_t y = first; y < height; y += step) {
                if (DGifGetLine(m_gif, line.data(), static_cast<int>(width)) == GIF_ERROR)
                    fail("pixels", m_gif->Error);
                for (std::uint32_t x = 0; x < width; ++x)
                    std::memcpy(&bgra[std::size_t(x) * 4], &palette[std::size_t(line[x]) * 4], 4);
                store_bgra_row(bgra.data(), target, y);
            }
        }
    }

private:
    // Keeps the transparent colour of a graphic control block; skips others.
    void read_extension()
    {
        int kind = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(m_gif, &kind, &block) == GIF_ERROR)
            fail("extension", m_gif->Error);
        if (kind == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4)
            m_transparent = (block[1] & 1) ? block[4] : -1;
        while (block != nullptr) {
            if (DGifGetExtensionNext(m_gif, &block) == GIF_ERROR)
                fail("extension", m_gif->Error);
        }
    }

    [[noreturn]] void fail(const char* what, int code)
    {
        m_reader.rethrow();
        throw codec_error(gif_message(what, code));
    }

    struct closer {
        void operator()(GifFileType* gif) const
        {
            int code = 0;
            DGifCloseFile(gif, &code);
        }
    };

    stream_reader m_reader;
    // Closes the file also when the constructor throws.
    std::unique_ptr<GifFileType, closer> m_handle;
    GifFileType* m_gif = nullptr;
    int m_transparent = -1;
};

// Colour pictures are mapped to a 6 x 6 x 6 cube of the palette.
int cube_level(std::uint8_t value)
{
    return (value * 5 + 127) / 255;
}

} // namespace

std::unique_ptr<format_decoder> open_gif(std::istream& in)
{
    return std::make_unique<gif_decoder>(in);
}

void save_gif(std::ostream& out, const const_pixel_rows& pixels)
{
    stream_writer writer(out);
    const bool colour = pixels.format == pixel_format::bgrx32 || pixels.format == pixel_format::bgra32;
    const int depth = pixels.format == pixel_format::indexed1 ? 1 : 8;
    std::array<GifColorType, 256> colours {};
    const std::size_t colour_count = std::size_t(1) << depth;
    for (std::size_t i = 0; i < colour_count; ++i) {
        GifByteType r = 0, g = 0, b = 0;
        if (depth == 1) {
            r = g = b = i ? 255 : 0;
        } else if (!colour) {
            r = g = b = static_cast<GifByteType>(i);
        } else if (i < 216) {
            r = static_cast<GifByteType>(i / 36 * 51);
            g = static_cast<GifByteType>(i / 6 % 6 * 51);
            b = static_cast<GifByteType>(i % 6 * 51);
        }
        colours[i] = { r, g, b };
    }
    int code = 0;
    GifFileType* gif = EGifOpen(&writer, write_data, &code);
    if (gif == nullptr) {
        writer.rethrow();
        throw codec_error(gif_message("encoder", code));
    }
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colour_count), colours.data());
    std::vector<GifPixelType> line(pixels.width);
    bool ok = map != nullptr
        && EGifPutScreenDesc(
               gif, static_cast<int>(pixels.width), static_cast<int>(pixels.height), depth, 0, map)
            != GIF_ERROR
        && EGifPutImageDesc(
               gif, 0, 0, static_cast<int>(pixels.width), static_cast<int>(pixels.height), false, nullptr)
            != GIF_ERROR;
    for (std::uint32_t y = 0; ok && y < pixels.height; ++y) {
        const std::uint8_t* in = pixels.row(y);
        for (std::uint32_t x = 0; x < pixels.width; ++x) {
            if (depth == 1)
                line[x] = (in[x >> 3] & (0x80u >> (x & 7))) ? 1 : 0;
            else if (!colour)
                line[x] = in[x];
            else
                line[x] = static_cast<GifPixelType>(
                    cube_level(in[x * 4 + 2]) * 36 + cube_level(in[x * 4 + 1]) * 6 + cube_level(in[x * 4]));
        }
        ok = EGifPutLine(gif, line.data(), static_cast<int>(pixels.width)) != GIF_ERROR;
    }
    const int failure = ok ? 0 : gif->Error;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &code) == GIF_ERROR && ok) {
        ok = false;
        code = code ? code : E_GIF_ERR_WRITE_FAILED;
    } else {
        code = failure;
    }
    writer.rethrow();
    if (!ok)
        throw codec_error(gif_message("encoder", code));
}

} // namespace platform::imaging::detail
