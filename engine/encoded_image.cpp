#include "engine/encoded_image.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <istream>
#include <sstream>
#include <streambuf>

#include "foundation/files/gdiplus_codec.h"
#include "foundation/xml/xml_stream.h"

namespace trm {

namespace {

// A read-only, seekable stream buffer over bytes it does not own. Decoding
// reads the stored PNG through one of these, so that concurrent decoders
// share the bytes without copying them and without touching shared state.
class byte_view_buffer : public std::streambuf {
public:
    explicit byte_view_buffer(const std::string& bytes)
    {
        // The get area is only ever read; a putback of a different character
        // goes to pbackfail, which refuses it.
        char* begin = const_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode which) override
    {
        if (!(which & std::ios_base::in))
            return pos_type(off_type(-1));
        off_type base = 0;
        if (dir == std::ios_base::cur)
            base = gptr() - eback();
        else if (dir == std::ios_base::end)
            base = egptr() - eback();
        return seekpos(pos_type(base + offset), which);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override
    {
        const off_type offset = position;
        if (!(which & std::ios_base::in) || offset < 0 || offset > egptr() - eback())
            return pos_type(off_type(-1));
        setg(eback(), eback() + offset, egptr());
        return position;
    }
};

const char hex_digits[] = "0123456789abcdef";

// A 1-bit mask of the picture, a pixel set where it is light. `mask` is
// replaced by a new record: it may be lent or laid out otherwise, and a
// failed decode leaves it untouched.
void decode_bit_image(const std::string& bytes, img::image<img::bit>& mask)
{
    byte_view_buffer buffer(bytes);
    std::istream in(&buffer);
    img::image<unsigned char> grey;
    img::gdiplus_read_grey(in, grey);

    img::image<img::bit> decoded(grey.width, grey.height, 4);
    decoded.fill(false);
    for (unsigned y = 0; y < grey.height; ++y) {
        const unsigned char* from = grey.row(y);
        unsigned char* to = decoded.row(y);
        for (unsigned x = 0; x < grey.width; x += 8) {
            unsigned char byte = 0;
            const unsigned end = std::min(grey.width - x, 8u);
            for (unsigned i = 0; i < end; ++i)
                if (from[x + i] >= 128)
                    byte |= static_cast<unsigned char>(0x80u >> i);
            to[x >> 3] = byte;
        }
    }
    mask.clear();
    mask.swap(decoded);
}

} // namespace

void encoded_image::encode(const img::image<unsigned char>& grey)
{
    if (grey.data == nullptr) {
        m_bytes.clear();
        return;
    }
    std::ostringstream out(std::ios::out | std::ios::binary);
    img::gdiplus_write_grey(out, grey, img::image_format::png, img::png_compression::quick_read);
    m_bytes = std::move(out).str();
}

void encoded_image::decode(img::image<unsigned char>& grey) const
{
    if (m_bytes.empty()) {
        grey.clear();
        return;
    }
    byte_view_buffer buffer(m_bytes);
    std::istream in(&buffer);
    img::gdiplus_read_grey(in, grey);
}

bool is_empty(const encoded_image& image)
{
    return image.bytes().empty();
}

std::string to_hex(const std::string& bytes)
{
    std::string text(bytes.size() * 2, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[2 * i] = hex_digits[byte >> 4];
        text[2 * i + 1] = hex_digits[byte & 0x0F];
    }
    return text;
}

std::string from_hex(const std::string& text)
{
    std::string bytes;
    bytes.reserve(text.size() / 2);
    char pair[2];
    int held = 0;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        pair[held++] = c;
        if (held < 2)
            continue;
        held = 0;
        unsigned value = 0;
        std::from_chars(pair, pair + 2, value, 16);
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

xml::stream& operator||(xml::stream& s, encoded_image& image)
{
    if (s.reading) {
        image.assign(from_hex(s.read<std::string>("encoded", std::string())));
    } else if (!is_empty(image)) {
        s.write("encoded", to_hex(image.bytes()));
    }
    return s;
}

void serialize_bit_image(xml::stream& s, img::image<img::bit>& mask)
{
    if (!s.reading) {
        if (mask.data != nullptr) {
            std::ostringstream out(std::ios::out | std::ios::binary);
            img::gdiplus_write_bit(out, mask, img::image_format::png);
            s.write("encoded", to_hex(out.str()));
        }
        return;
    }

    const std::string bytes = from_hex(s.read<std::string>("encoded", std::string()));
    if (bytes.empty()) {
        mask.clear();
        return;
    }
    decode_bit_image(bytes, mask);
}

std::optional<types::extent<unsigned>> read_bit_image(
    xml::stream& s, img::image<img::bit>& mask, types::extent<unsigned> size)
{
    const std::string bytes = from_hex(s.read<std::string>("encoded", std::string()));
    if (bytes.empty()) {
        mask.clear();
        return std::nullopt;
    }
    const types::extent<unsigned> claimed = encoded_size(bytes);
    if (claimed != size)
        return claimed;
    decode_bit_image(bytes, mask);
    return std::nullopt;
}

types::extent<unsigned> encoded_size(const std::string& bytes)
{
    byte_view_buffer buffer(bytes);
    std::istream in(&buffer);
    return img::gdiplus_read_size(in);
}

} // namespace trm
