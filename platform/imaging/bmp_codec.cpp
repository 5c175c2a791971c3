#include "platform/imaging/format_codec.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace platform::imaging::detail {

namespace {

constexpr std::uint32_t rgb = 0;
constexpr std::uint32_t rle8 = 1;
constexpr std::uint32_t rle4 = 2;
constexpr std::uint32_t bitfields = 3;

std::uint32_t u16(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

std::uint32_t u32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

void put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

// One channel of a bit-field pixel, scaled to 0..255.
struct channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit channel(std::uint32_t m = 0)
        : mask(m)
        , shift(m ? std::countr_zero(m) : 0)
        , max(m ? m >> std::countr_zero(m) : 0)
    {
    }

    std::uint8_t operator()(std::uint32_t v) const
    {
        return max == 0
            ? 0
            : static_cast<std::uint8_t>((std::uint64_t((v & mask) >> shift) * 255 + max / 2) / max);
    }
};

// Uncompressed (1, 4, 8, 16, 24, 32 bits) and run-length (4, 8 bits) BMP.
class bmp_decoder : public format_decoder {
public:
    explicit bmp_decoder(std::istream& in)
        : m_reader(in)
    {
        std::array<std::uint8_t, 54> head {};
        if (m_reader.read(head.data(), 18) != 18)
            fail("header");
        const std::uint32_t info_size = u32(&head[14]);
        if (info_size < 40 || info_size > 1024)
            fail("header variant");
        if (m_reader.read(&head[18], 36) != 36)
            fail("header");
        m_offset = u32(&head[10]);
        const auto w = static_cast<std::int32_t>(u32(&head[18]));
        const auto h = static_cast<std::int32_t>(u32(&head[22]));
        m_bits = u16(&head[28]);
        m_compression = u32(&head[30]);
        m_used = u32(&head[46]);
        if (w <= 0 || h == 0 || h == INT32_MIN)
            fail("size");
        width = static_cast<std::uint32_t>(w);
        height = static_cast<std::uint32_t>(h < 0 ? -h : h);
        m_top_down = h < 0;
        const bool valid = (m_compression == rgb
                               && (m_bits == 1 || m_bits == 4 || m_bits == 8 || m_bits == 16 || m_bits == 24
                                   || m_bits == 32))
            || (m_compression == rle8 && m_bits == 8) || (m_compression == rle4 && m_bits == 4)
            || (m_compression == bitfields && (m_bits == 16 || m_bits == 32));
        if (!valid)
            fail("variant");
        std::uint32_t masks[4] = { 0x7C00, 0x03E0, 0x001F, 0 };
        if (m_bits == 32 && m_compression == rgb)
            masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
        if (m_compression == bitfields) {
            // The masks follow a 40-byte header, or sit inside a larger one.
            std::array<std::uint8_t, 16> extra {};
            const std::size_t want = info_size >= 56 ? 16 : 12;
            if (m_reader.read(extra.data(), want) != want)
                fail("bit fields");
            for (std::size_t i = 0; i < want / 4; ++i)
                masks[i] = u32(&extra[i * 4]);
        }
        m_red = channel(masks[0]);
        m_green = channel(masks[1]);
        m_blue = channel(masks[2]);
        m_alpha = channel(info_size >= 56 ? masks[3] : 0);
        has_alpha = m_alpha.mask != 0;
        if (m_bits <= 8)
            read_palette(14 + info_size);
        max_pixels_per_byte = m_compression == rle8 || m_compression == rle4 ? 0 : 8 / std::min(m_bits, 8u);
    }

    void read(const pixel_rows& target) override
    {
        seek(m_offset);
        if (m_compression == rle8 || m_compression == rle4) {
            read_rle(target);
            return;
        }
        std::vector<std::uint8_t> bgra(std::size_t(width) * 4);
        const std::size_t stride = (std::size_t(width) * m_bits + 31) / 32 * 4;
        std::vector<std::uint8_t> row(stride);
        for (std::uint32_t i = 0; i < height; ++i) {
            if (m_reader.read(row.data(), stride) != stride)
                fail("pixels");
            for (std::uint32_t x = 0; x < width; ++x)
                pixel(row.data(), x, &bgra[std::size_t(x) * 4]);
            store_bgra_row(bgra.data(), target, m_top_down ? i : height - 1 - i);
        }
    }

private:
    void read_palette(std::uint64_t at)
    {
        seek(at);
        const std::uint32_t entries = 1u << m_bits;
        const std::uint32_t count = m_used == 0 || m_used > entries ? entries : m_used;
        std::array<std::uint8_t, 1024> table {};
        if (m_reader.read(table.data(), std::size_t(count) * 4) != std::size_t(count) * 4)
            fail("colour table");
        for (std::uint32_t i = 0; i < count; ++i) {
            std::memcpy(&m_palette[i * 4], &table[i * 4], 3);
            m_palette[i * 4 + 3] = 255;
        }
        for (std::uint32_t i = count; i < 256; ++i)
            m_palette[i * 4 + 3] = 255;
    }

    void pixel(const std::uint8_t* row, std::uint32_t x, std::uint8_t* out) const
    {
        std::uint32_t v = 0;
        switch (m_bits) {
        case 1:
            v = (row[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case 4:
            v = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
            break;
        case 8:
            v = row[x];
            break;
        case 16:
            v = u16(row + std::size_t(x) * 2);
            break;
        case 24:
            out[0] = row[x * 3];
            out[1] = row[x * 3 + 1];
            out[2] = row[x * 3 + 2];
            out[3] = 255;
            return;
        default:
            v = u32(row + std::size_t(x) * 4);
            break;
        }
        if (m_bits <= 8) {
            std::memcpy(out, &m_palette[v * 4], 4);
            return;
        }
        out[0] = m_blue(v);
        out[1] = m_green(v);
        out[2] = m_red(v);
        out[3] = m_alpha.mask ? m_alpha(v) : 255;
    }

    // Run-length data: pixels the runs do not reach stay transparent black.
    // Runs are written straight into the target, so nothing of the
    // picture's size is allocated here.
    void read_rle(const pixel_rows& target)
    {
        const std::size_t bytes_per_pixel = target.format == pixel_format::bgra32 ? 4 : 1;
        for (std::uint32_t y = 0; y < height; ++y)
            std::memset(target.row(y), 0, width * bytes_per_pixel);
        std::uint32_t x = 0, y = 0;
        auto put = [&](std::uint32_t index) {
            if (x < width && y < height) {
                // Rows run bottom-up in the file unless the height was negative.
                std::uint8_t* row = target.row(m_top_down ? y : height - 1 - y);
                const std::uint8_t* colour = &m_palette[(index & 255) * 4];
                if (bytes_per_pixel == 4)
                    std::memcpy(row + std::size_t(x) * 4, colour, 4);
                else
                    row[x] = colour[0];
            }
            ++x;
        };
        std::uint8_t pair[2];
        while (y < height) {
            if (m_reader.read(pair, 2) != 2)
                fail("run-length data");
            if (pair[0] > 0) {
                for (int i = 0; i < pair[0] && x < width; ++i)
                    put(m_compression == rle8 ? pair[1] : (i & 1) ? pair[1] & 15 : pair[1] >> 4);
            } else if (pair[1] == 0) {
                x = 0;
                ++y;
            } else if (pair[1] == 1) {
                break;
            } else if (pair[1] == 2) {
                if (m_reader.read(pair, 2) != 2)
                    fail("run-length data");
                x += pair[0];
                y += pair[1];
            } else {
                const std::size_t count = pair[1];
                const std::size_t bytes = m_compression == rle8 ? count : (count + 1) / 2;
                std::uint8_t literal[256];
                const std::size_t padded = (bytes + 1) & ~std::size_t(1);
                if (m_reader.read(literal, padded) != padded)
                    fail("run-length data");
                for (std::size_t i = 0; i < count; ++i)
                    put(m_compression == rle8 ? literal[i]
                            : (i & 1)         ? literal[i / 2] & 15
                                              : literal[i / 2] >> 4);
            }
        }
    }

    void seek(std::uint64_t offset)
    {
        std::istream& in = m_reader.stream();
        in.clear();
        in.seekg(m_start + static_cast<std::streamoff>(offset));
        if (!in)
            fail("offset");
    }

    [[noreturn]] void fail(const char* what)
    {
        m_reader.rethrow();
        throw codec_error(std::string("BMP data is damaged or not supported: ") + what);
    }

    stream_reader m_reader;
    std::streamoff m_start = m_reader.stream().tellg();
    std::uint32_t m_offset = 0;
    std::uint32_t m_bits = 0;
    std::uint32_t m_compression = 0;
    std::uint32_t m_used = 0;
    bool m_top_down = false;
    channel m_red, m_green, m_blue, m_alpha;
    std::array<std::uint8_t, 1024> m_palette {};
};

} // namespace

std::unique_ptr<format_decoder> open_bmp(std::istream& in)
{
    return std::make_unique<bmp_decoder>(in);
}

void save_bmp(std::ostream& out, const const_pixel_rows& pixels)
{
    std::uint32_t bits = 32;
    std::uint32_t colours = 0;
    switch (pixels.format) {
    case pixel_format::indexed1:
        bits = 1;
        colours = 2;
        break;
    case pixel_format::grey8:
        bits = 8;
        colours = 256;
        break;
    case pixel_format::bgrx32:
        bits = 24;
        break;
    case pixel_format::bgra32:
        break;
    }
    const std::uint64_t stride = (std::uint64_t(pixels.width) * bits + 31) / 32 * 4;
    const std::uint64_t offset = 54 + colours * 4;
    const std::uint64_t total = offset + stride * pixels.height;
    if (total > 0xFFFFFFFFu)
        throw codec_error("the image is too large for a BMP file");
    std::vector<std::uint8_t> head(offset, 0);
    head[0] = 'B';
    head[1] = 'M';
    put32(&head[2], static_cast<std::uint32_t>(total));
    put32(&head[10], static_cast<std::uint32_t>(offset));
    put32(&head[14], 40);
    put32(&head[18], pixels.width);
    put32(&head[22], pixels.height);
    put16(&head[26], 1);
    put16(&head[28], bits);
    put32(&head[34], static_cast<std::uint32_t>(stride * pixels.height));
    put32(&head[46], colours);
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::uint8_t level
            = colours == 2 ? static_cast<std::uint8_t>(i * 255) : static_cast<std::uint8_t>(i);
        head[54 + i * 4] = head[55 + i * 4] = head[56 + i * 4] = level;
    }
    stream_writer writer(out);
    writer.write(head.data(), head.size());
    std::vector<std::uint8_t> row(stride, 0);
    for (std::uint32_t i = 0; i < pixels.height && !writer.failure; ++i) {
        const std::uint32_t y = pixels.height - 1 - i;
        const std::uint8_t* in = pixels.row(y);
        if (bits == 24) {
            for (std::uint32_t x = 0; x < pixels.width; ++x)
                std::memcpy(&row[std::size_t(x) * 3], in + std::size_t(x) * 4, 3);
        } else {
            std::memcpy(row.data(), in, (std::size_t(pixels.width) * bits + 7) / 8);
        }
        writer.write(row.data(), row.size());
    }
    writer.rethrow();
}

} // namespace platform::imaging::detail
