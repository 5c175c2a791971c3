#include "platform/imaging/format_codec.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform::imaging::detail {

namespace {

// Internal allocations of the library stay below this; larger strips or tiles
// fail as damaged data.
constexpr tmsize_t max_single_allocation = 256 * 1024 * 1024;

// The library's messages go to the open call's handler, never to the process.
struct tiff_messages {
    std::string last_error = "TIFF data is damaged";
};

int on_error(TIFF*, void* user, const char* module, const char* format, va_list args)
{
    char text[512] = {};
    std::vsnprintf(text, sizeof text, format, args);
    static_cast<tiff_messages*>(user)->last_error
        = std::string("TIFF data is damaged: ") + (module ? module : "") + (module ? ": " : "") + text;
    return 1;
}

int on_warning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

TIFF* open(const char* mode, thandle_t handle, TIFFReadWriteProc read, TIFFReadWriteProc write,
    TIFFSeekProc seek, TIFFSizeProc size, tiff_messages& messages)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        throw std::bad_alloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, max_single_allocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, on_error, &messages);
    TIFFOpenOptionsSetWarningHandlerExtR(options, on_warning, &messages);
    auto close = [](thandle_t) { return 0; };
    auto map = [](thandle_t, void**, toff_t*) { return 0; };
    auto unmap = [](thandle_t, void*, toff_t) {};
    TIFF* tiff
        = TIFFClientOpenExt("image", mode, handle, read, write, seek, close, size, map, unmap, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

// Input: the caller's stream, positions relative to where the data starts.
struct input {
    stream_reader reader;
    std::streamoff start = 0;
    std::streamoff length = 0;
};

tmsize_t read_input(thandle_t handle, void* buffer, tmsize_t count)
{
    auto* in = static_cast<input*>(handle);
    return count <= 0 ? 0 : static_cast<tmsize_t>(in->reader.read(buffer, std::size_t(count)));
}

tmsize_t write_nothing(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t seek_input(thandle_t handle, toff_t offset, int whence)
{
    auto* in = static_cast<input*>(handle);
    std::istream& stream = in->reader.stream();
    std::streamoff base = 0;
    if (whence == SEEK_CUR)
        base = std::streamoff(stream.tellg()) - in->start;
    else if (whence == SEEK_END)
        base = in->length;
    const auto target = base + static_cast<std::streamoff>(static_cast<std::int64_t>(offset));
    if (target < 0 || stream.bad())
        return static_cast<toff_t>(-1);
    stream.clear();
    stream.seekg(in->start + target);
    return stream ? static_cast<toff_t>(target) : static_cast<toff_t>(-1);
}

toff_t input_size(thandle_t handle)
{
    return static_cast<toff_t>(static_cast<input*>(handle)->length);
}

class tiff_decoder : public format_decoder {
public:
    explicit tiff_decoder(std::istream& in)
        : m_input { stream_reader(in) }
    {
        m_input.start = in.tellg();
        in.seekg(0, std::ios::end);
        m_input.length = std::streamoff(in.tellg()) - m_input.start;
        in.seekg(m_input.start);
        if (m_input.start < 0 || m_input.length < 0 || !in)
            throw codec_error("TIFF data cannot be read");
        m_handle.reset(open("rm", &m_input, read_input, write_nothing, seek_input, input_size, m_messages));
        m_tiff = m_handle.get();
        if (m_tiff == nullptr)
            fail();
        std::uint32_t w = 0, h = 0;
        TIFFGetField(m_tiff, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(m_tiff, TIFFTAG_IMAGELENGTH, &h);
        char text[1024] = {};
        if (!TIFFRGBAImageOK(m_tiff, text)) {
            m_messages.last_error = std::string("TIFF data is not supported: ") + text;
            fail();
        }
        width = w;
        height = h;
        std::uint16_t extra = 0;
        std::uint16_t* kinds = nullptr;
        has_alpha = TIFFGetField(m_tiff, TIFFTAG_EXTRASAMPLES, &extra, &kinds) && extra > 0;
        m_unassociated = has_alpha && kinds != nullptr && kinds[0] == EXTRASAMPLE_UNASSALPHA;
        // Strips may share their data, so the file's length bounds nothing.
        max_pixels_per_byte = 0;
        m_unit_bytes = decode_unit_bytes();
    }

    std::uint64_t working_bytes(pixel_format format) const override
    {
        // Rows other than packed 32-bit colour are decoded through a copy.
        const std::uint64_t copy = format == pixel_format::bgra32 ? 0 : std::uint64_t(width) * height * 4;
        return m_unit_bytes + copy;
    }

    void read(const pixel_rows& target) override
    {
        const std::ptrdiff_t packed = std::ptrdiff_t(width) * 4;
        std::uint32_t* raster = nullptr;
        int orientation = ORIENTATION_TOPLEFT;
        std::vector<std::uint32_t> scratch;
        if (target.format == pixel_format::bgra32 && target.stride == packed) {
            raster = reinterpret_cast<std::uint32_t*>(target.first_row);
        } else if (target.format == pixel_format::bgra32 && target.stride == -packed) {
            raster = reinterpret_cast<std::uint32_t*>(target.row(height - 1));
            orientation = ORIENTATION_BOTLEFT;
        } else {
            scratch.resize(std::size_t(width) * height);
            raster = scratch.data();
        }
        TIFFRGBAImage image {};
        char text[1024] = {};
        if (!TIFFRGBAImageBegin(&image, m_tiff, 0, text)) {
            m_messages.last_error = std::string("TIFF data is not supported: ") + text;
            fail();
        }
        image.req_orientation = static_cast<std::uint16_t>(orientation);
        const int ok = TIFFRGBAImageGet(&image, raster, width, height);
        TIFFRGBAImageEnd(&image);
        if (!ok)
            fail();
        // The raster holds red, green, blue, alpha bytes: swap red and blue.
        // The library multiplies unassociated alpha in; it is taken out again.
        for (std::uint32_t y = 0; y < height; ++y) {
            std::uint8_t* row = scratch.empty()
                ? target.row(y)
                : reinterpret_cast<std::uint8_t*>(&scratch[std::size_t(y) * width]);
            for (std::uint32_t x = 0; x < width; ++x) {
                std::uint8_t* p = row + std::size_t(x) * 4;
                std::swap(p[0], p[2]);
                if (m_unassociated && p[3] != 0 && p[3] != 255) {
                    for (int c = 0; c < 3; ++c)
                        p[c] = static_cast<std::uint8_t>(std::min(255, (p[c] * 255 + p[3] / 2) / p[3]));
                }
            }
            if (!scratch.empty())
                store_bgra_row(row, target, y);
        }
    }

private:
    // What the library holds while it decodes one strip or tile: its
    // decoded bytes (one buffer per plane, up to four, for separate planes),
    // its stored data (no more than the file), and for JPEG compression the
    // coefficients of a progressive strip. Unknown sizes count as too much.
    std::uint64_t decode_unit_bytes() const
    {
        constexpr std::uint64_t unknown = ~std::uint64_t(0) >> 2;
        std::uint64_t unit = 0;
        std::uint64_t pixels = 0;
        if (TIFFIsTiled(m_tiff)) {
            std::uint32_t tile_width = 0, tile_length = 0;
            TIFFGetField(m_tiff, TIFFTAG_TILEWIDTH, &tile_width);
            TIFFGetField(m_tiff, TIFFTAG_TILELENGTH, &tile_length);
            unit = TIFFTileSize64(m_tiff);
            pixels = std::uint64_t(tile_width) * tile_length;
        } else {
            std::uint32_t rows = 0;
            TIFFGetFieldDefaulted(m_tiff, TIFFTAG_ROWSPERSTRIP, &rows);
            unit = TIFFStripSize64(m_tiff);
            pixels = std::uint64_t(width) * std::min(rows, height);
        }
        if (unit == 0 || unit > unknown || pixels > unknown / 16)
            return unknown;
        std::uint16_t planar = PLANARCONFIG_CONTIG;
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_PLANARCONFIG, &planar);
        if (planar == PLANARCONFIG_SEPARATE)
            unit *= 4;
        std::uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_COMPRESSION, &compression);
        const std::uint64_t coefficients
            = compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG ? pixels * 8 : 0;
        return unit + std::min<std::uint64_t>(unit, std::uint64_t(m_input.length)) + coefficients;
    }

    [[noreturn]] void fail()
    {
        m_input.reader.rethrow();
        throw codec_error(m_messages.last_error);
    }

    struct closer {
        void operator()(TIFF* tiff) const { TIFFClose(tiff); }
    };

    input m_input;
    tiff_messages m_messages;
    // Closes the file also when the constructor throws.
    std::unique_ptr<TIFF, closer> m_handle;
    TIFF* m_tiff = nullptr;
    bool m_unassociated = false;
    std::uint64_t m_unit_bytes = 0;
};

// Output: the library reads back what it wrote, so the file is built in
// memory and given to the caller's stream when it is complete.
struct output {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

tmsize_t read_output(thandle_t handle, void* buffer, tmsize_t count)
{
    auto* out = static_cast<output*>(handle);
    if (count <= 0 || out->position >= out->bytes.size())
        return 0;
    const std::size_t n = std::min(std::size_t(count), out->bytes.size() - out->position);
    std::memcpy(buffer, out->bytes.data() + out->position, n);
    out->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t write_output(thandle_t handle, void* buffer, tmsize_t count)
{
    auto* out = static_cast<output*>(handle);
    if (count <= 0)
        return 0;
    try {
        if (out->bytes.size() < out->position + std::size_t(count))
            out->bytes.resize(out->position + std::size_t(count));
    } catch (...) {
        return 0;
    }
    std::memcpy(out->bytes.data() + out->position, buffer, std::size_t(count));
    out->position += std::size_t(count);
    return count;
}

toff_t seek_output(thandle_t handle, toff_t offset, int whence)
{
    auto* out = static_cast<output*>(handle);
    std::int64_t base = whence == SEEK_CUR ? std::int64_t(out->position)
        : whence == SEEK_END               ? std::int64_t(out->bytes.size())
                                           : 0;
    const std::int64_t target = base + static_cast<std::int64_t>(offset);
    if (target < 0)
        return static_cast<toff_t>(-1);
    out->position = std::size_t(target);
    return static_cast<toff_t>(target);
}

toff_t output_size(thandle_t handle)
{
    return static_cast<toff_t>(static_cast<output*>(handle)->bytes.size());
}

bool write_tiff(TIFF* tiff, const const_pixel_rows& pixels)
{
    const bool bilevel = pixels.format == pixel_format::indexed1;
    const bool grey = pixels.format == pixel_format::grey8;
    const bool alpha = pixels.format == pixel_format::bgra32;
    const std::uint16_t samples = bilevel || grey ? 1 : alpha ? 4 : 3;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, pixels.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, pixels.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    if (alpha) {
        const std::uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    std::vector<std::uint8_t> row(std::size_t(pixels.width) * samples);
    for (std::uint32_t y = 0; y < pixels.height; ++y) {
        const std::uint8_t* data = pixels.row(y);
        if (!bilevel && !grey) {
            rgb_row(pixels, y, alpha, row.data());
            data = row.data();
        }
        if (TIFFWriteScanline(tiff, const_cast<std::uint8_t*>(data), y, 0) < 0)
            return false;
    }
    return TIFFFlush(tiff) != 0;
}

} // namespace

std::unique_ptr<format_decoder> open_tiff(std::istream& in)
{
    return std::make_unique<tiff_decoder>(in);
}

void save_tiff(std::ostream& out, const const_pixel_rows& pixels)
{
    output file;
    tiff_messages messages;
    TIFF* tiff = open("w", &file, read_output, write_output, seek_output, output_size, messages);
    if (tiff == nullptr)
        throw codec_error(messages.last_error);
    const bool ok = write_tiff(tiff, pixels);
    TIFFClose(tiff);
    if (!ok)
        throw codec_error(messages.last_error);
    stream_writer writer(out);
    writer.write(file.bytes.data(), file.bytes.size());
    writer.rethrow();
}

} // namespace platform::imaging::detail
