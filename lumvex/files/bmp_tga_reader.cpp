#include "lumvex/files/bmp_tga_reader.h"

#include "foundation/files/bmp_reader.h"
#include "foundation/files/byte_stream.h"
#include "foundation/files/image_error.h"
#include "foundation/files/size_check.h"

#include <array>
#include <cstring>
#include <functional>

namespace img {

namespace {

const char* const bmp_failure = "could not open BMP image for reading or read error";
const char* const tga_failure = "could not open TGA image for reading or read error";

using bgra = BGRA<unsigned char>;

enum class kind { bmp, tga, unknown };

kind kind_of(const std::string& path)
{
    if (path.size() < 4)
        return kind::unknown;
    const std::string tail = path.substr(path.size() - 4);
    if (equal_ignoring_case(tail, ".BMP"))
        return kind::bmp;
    if (equal_ignoring_case(tail, ".TGA"))
        return kind::tga;
    return kind::unknown;
}

// Runs `body` on the file opened to throw on failure. The reader's own
// errors get the path as subject; anything else (the file does not open, is
// too short) becomes `failure` with the path.
void with_file(const std::string& path, const char* failure, const std::function<void(std::istream&)>& body)
{
    try {
        xtd::bistream in(path);
        in.exceptions(std::ios::failbit | std::ios::badbit);
        body(in);
    } catch (io_error& error) {
        if (error.subject().empty())
            error.set_subject(path);
        throw;
    } catch (const std::exception&) {
        throw io_error(failure, path);
    }
}

// An info reader (read_bmp_info, read_tga_info) on the file opened to throw
// on failure.
using info_reader = void (*)(std::istream&, image_info&);

image_info info_of(const std::string& path, info_reader body)
{
    xtd::bistream in(path);
    in.exceptions(std::ios::failbit | std::ios::badbit);
    image_info info;
    body(in, info);
    info.path = path;
    return info;
}

bool probe(const std::string& path, info_reader body, image_info* out)
{
    try {
        const image_info info = info_of(path, body);
        if (out)
            *out = info;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The size refusal the info reader meets in the file's headers.
std::string refusal_of(const std::string& path, info_reader body)
{
    try {
        info_of(path, body);
    } catch (const too_large& error) {
        return error.message();
    } catch (const std::exception&) {
        // Not this kind of file, or refused for another reason.
    }
    return {};
}

// Rows of the file are kept in their order: the image takes the file's row
// order, so buffer row i is file row i.
void prepare(image<bgra>& out, unsigned width, unsigned height, bool top_down, unsigned alignment)
{
    out.top_down = top_down;
    out.update_rows();
    out.resize(width, height, alignment);
}

// Storage row i of the image (row i of its buffer, whatever the row order).
bgra* storage_row(image<bgra>& out, unsigned i)
{
    return reinterpret_cast<bgra*>(out.data + std::size_t(out.stride) * i);
}

// ---- BMP ----

void read_bmp_rows(bmp_reader& reader, image<bgra>& out)
{
    const bmp_headers& h = reader.headers();
    const unsigned width = static_cast<unsigned>(h.width);
    const unsigned height = static_cast<unsigned>(reader.top_down() ? -std::int64_t(h.height) : h.height);
    const unsigned bits = h.bit_count;
    if (bits != 1 && bits != 8 && bits != 24 && bits != 32)
        throw unsupported(2, bits);
    std::array<unsigned char, 1024> palette {};
    std::uint32_t colours = 0;
    if (bits == 1) {
        colours = 2;
    } else if (bits == 8) {
        // An index byte cannot reach beyond 256 entries.
        colours = h.colours_used == 0 || h.colours_used > 256 ? 256 : h.colours_used;
    }
    if (colours > 0)
        reader.read_colour_table(palette.data(), colours);
    const std::uint64_t bytes = reader.check_rows(bits);
    prepare(out, width, height, reader.top_down(), 4);
    if (bits == 32) {
        reader.read_rows(out.data, bytes);
        return;
    }
    // Converted a row at a time: the image is all the memory a file takes.
    const std::size_t stride = bytes / height;
    std::vector<unsigned char> stored(stride);
    for (unsigned i = 0; i < height; ++i) {
        reader.read_rows(stored.data(), stride, std::uint64_t(stride) * i);
        const unsigned char* in = stored.data();
        bgra* row = storage_row(out, i);
        for (unsigned x = 0; x < width; ++x) {
            if (bits == 24) {
                row[x] = { in[x * 3], in[x * 3 + 1], in[x * 3 + 2], 0 };
                continue;
            }
            const unsigned index = bits == 1 ? (in[x >> 3] >> (7 - (x & 7))) & 1 : in[x];
            if (index >= colours)
                throw corrupt(1, static_cast<std::int32_t>(index));
            std::memcpy(&row[x], &palette[index * 4], 4);
        }
    }
}

// ---- TGA ----

struct tga_header {
    unsigned id_length = 0;
    unsigned map_type = 0;
    unsigned type = 0;
    unsigned map_first = 0;
    unsigned map_length = 0;
    unsigned map_entry_size = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    unsigned descriptor = 0;
};

struct tga_file {
    tga_header header;
    std::vector<bgra> map;
};

unsigned u16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

bgra colour15(unsigned v)
{
    auto scale = [](unsigned c) { return static_cast<unsigned char>((c & 31) * 255 / 31); };
    return { scale(v), scale(v >> 5), scale(v >> 10), 0 };
}

// How far a header is held to the format. TGA has no signature, so a file
// of another kind is told apart only by values that no TGA holds. A file
// named .tga is read with more latitude (a colour-map type past 1 taken as
// "mapped", image types 4 to 8 as uncompressed), so that whatever such a
// file can be decoded into opens.
enum class tga_ranges { as_read, as_defined };

bool mapped_type(unsigned type)
{
    return type == 1 || type == 9;
}

bool defined_pixel_depth(unsigned depth)
{
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

bool defined_map_entry_size(unsigned size)
{
    return size == 15 || size == 16 || size == 24 || size == 32;
}

// The values the format defines for the header fields. A PPM's "P6\n" reads
// as ID length 80, colour-map type '6' and image type 10: the colour-map
// type, and with it the whole file, is no TGA's.
void check_tga_ranges(const tga_header& h)
{
    if (h.map_type > 1)
        throw unsupported(1, static_cast<std::int32_t>(h.map_type));
    if (h.type > 3 && h.type < 9)
        throw unsupported(0, static_cast<std::int32_t>(h.type));
    if (!defined_pixel_depth(h.depth))
        throw unsupported(6, static_cast<std::int32_t>(h.depth));
    const bool mapped = h.map_type == 1;
    if (mapped && !defined_map_entry_size(h.map_entry_size))
        throw unsupported(2, static_cast<std::int32_t>(h.map_entry_size));
    // Sixteen-bit pixels are read either way: as colours without a map, as
    // indices with one.
    if (mapped != mapped_type(h.type) && h.depth != 15 && h.depth != 16)
        throw unsupported(4, static_cast<std::int32_t>(h.type));
}

// Reads and checks the header, skips the ID, reads the colour map.
tga_file read_tga_head(std::istream& in, tga_ranges ranges)
{
    std::array<unsigned char, 18> raw {};
    in.read(reinterpret_cast<char*>(raw.data()), raw.size());
    tga_file file;
    tga_header& h = file.header;
    h.id_length = raw[0];
    h.map_type = raw[1];
    h.type = raw[2];
    h.map_first = u16(&raw[3]);
    h.map_length = u16(&raw[5]);
    h.map_entry_size = raw[7];
    h.width = u16(&raw[12]);
    h.height = u16(&raw[14]);
    h.depth = raw[16];
    h.descriptor = raw[17];
    if (h.type < 1 || h.type > 11)
        throw unsupported(0, static_cast<std::int32_t>(h.type));
    if (h.descriptor >= 64)
        throw unsupported(3, static_cast<std::int32_t>(h.descriptor));
    const bool mapped = h.map_type != 0;
    if ((h.depth == 24 || h.depth == 32) && mapped)
        throw corrupt(0, static_cast<std::int32_t>(h.depth));
    if (h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32 && !mapped)
        throw unsupported(6, static_cast<std::int32_t>(h.depth));
    // Before the ID and the map, so that no file of another kind is taken
    // far enough to be called short.
    if (ranges == tga_ranges::as_defined)
        check_tga_ranges(h);
    in.ignore(h.id_length);
    if (in.gcount() != std::streamsize(h.id_length))
        throw io_error(tga_failure, {});
    if (!mapped)
        return file;
    const unsigned entry = h.map_entry_size == 15 || h.map_entry_size == 16 ? 2
        : h.map_entry_size == 24                                            ? 3
        : h.map_entry_size == 32                                            ? 4
                                                                            : 1;
    const std::uint64_t bytes = std::uint64_t(entry) * h.map_length;
    if (bytes > xtd::remaining_bytes(in))
        throw io_error(tga_failure, {});
    std::vector<unsigned char> raw_map(bytes);
    in.read(reinterpret_cast<char*>(raw_map.data()), static_cast<std::streamsize>(bytes));
    file.map.resize(h.map_length);
    for (unsigned i = 0; i < h.map_length; ++i) {
        const unsigned char* p = &raw_map[std::size_t(i) * entry];
        if (entry == 2)
            file.map[i] = colour15(u16(p));
        else if (entry == 1)
            file.map[i] = { p[0], p[0], p[0], 0 };
        else
            file.map[i] = { p[0], p[1], p[2], 0 };
    }
    return file;
}

// Turns the stored value of one pixel (its `size` bytes) into a colour.
class tga_pixels {
public:
    explicit tga_pixels(const tga_file& file)
        : m_file(file)
        , m_depth(file.header.depth)
        , m_mapped(file.header.map_type != 0)
        , m_size(m_depth == 15 || m_depth == 16 ? 2
                  : m_depth == 24               ? 3
                  : m_depth == 32               ? 4
                                                : 1)
    {
    }

    unsigned size() const { return m_size; }

    bgra operator()(const unsigned char* p) const
    {
        if (m_size == 4)
            return { p[0], p[1], p[2], p[3] };
        if (m_size == 3)
            return { p[0], p[1], p[2], 0 };
        if (m_size == 2 && !m_mapped)
            return colour15(u16(p));
        // The map's entries stand for the indices from its first index on.
        const unsigned index = m_size == 2 ? u16(p) : p[0];
        const unsigned first = m_file.header.map_first;
        if (index < first || index - first >= m_file.map.size())
            throw corrupt(1, static_cast<std::int32_t>(index));
        return m_file.map[index - first];
    }

private:
    const tga_file& m_file;
    unsigned m_depth;
    bool m_mapped;
    unsigned m_size;
};

// Checks the size the header claims against the limits and the data that
// follows (the stream stands where the pixels start); returns the bytes of
// uncompressed pixels.
std::uint64_t check_tga_size(std::istream& in, const tga_file& file)
{
    const tga_header& h = file.header;
    // A run-length packet of two bytes or more yields at most 128 pixels.
    const stored_pixels storage
        = h.type >= 9 ? stored_pixels { 0, 1, 64 } : stored_pixels { tga_pixels(file).size() * 8, 1, 0 };
    return check_image_size(h.width, h.height, storage, xtd::remaining_bytes(in), tga_failure);
}

void read_tga_pixels(std::istream& in, const tga_file& file, image<bgra>& out)
{
    const tga_header& h = file.header;
    const tga_pixels pixel(file);
    const bool top_down = (h.descriptor & 0x20) != 0;
    const bool run_length = h.type >= 9;
    const std::uint64_t bytes = check_tga_size(in, file);
    prepare(out, h.width, h.height, top_down, 1);
    const std::uint64_t count = std::uint64_t(h.width) * h.height;
    bgra* pixels = reinterpret_cast<bgra*>(out.data);
    if (!run_length) {
        if (pixel.size() == 4) {
            in.read(reinterpret_cast<char*>(out.data), static_cast<std::streamsize>(bytes));
            return;
        }
        // Converted a row at a time: the image is all the memory a file takes.
        std::vector<unsigned char> row(std::size_t(h.width) * pixel.size());
        for (std::uint64_t y = 0; y < h.height; ++y) {
            in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()));
            for (std::uint64_t x = 0; x < h.width; ++x)
                pixels[y * h.width + x] = pixel(&row[x * pixel.size()]);
        }
        return;
    }
    // Packets may run across rows; one that runs past the last pixel is cut.
    std::uint64_t done = 0;
    unsigned char value[4] = {};
    while (done < count) {
        const int header = in.get();
        const std::uint64_t run = std::min<std::uint64_t>((header & 127) + 1, count - done);
        if (header & 128) {
            in.read(reinterpret_cast<char*>(value), pixel.size());
            const bgra colour = pixel(value);
            std::fill(pixels + done, pixels + done + run, colour);
        } else {
            for (std::uint64_t i = 0; i < run; ++i) {
                in.read(reinterpret_cast<char*>(value), pixel.size());
                pixels[done + i] = pixel(value);
            }
        }
        done += run;
    }
    // The decoded picture is marked top-down, its rows turned when the file
    // stored them bottom-up.
    if (!top_down) {
        for (unsigned i = 0, j = h.height - 1; i < j; ++i, --j)
            std::swap_ranges(storage_row(out, i), storage_row(out, i) + h.width, storage_row(out, j));
        out.top_down = true;
        out.update_rows();
    }
}

void read_tga_as(std::istream& in, image<bgra>& out, tga_ranges ranges)
{
    const tga_file file = read_tga_head(in, ranges);
    read_tga_pixels(in, file, out);
}

} // namespace

void read_bmp_info(std::istream& in, image_info& out)
{
    bmp_reader reader(in);
    const bmp_headers& h = reader.headers();
    if (h.bit_count != 1 && h.bit_count != 8 && h.bit_count != 24 && h.bit_count != 32)
        throw unsupported(2, h.bit_count);
    // What `read` would refuse is no BMP this reader takes.
    reader.check_rows(h.bit_count);
    out.format = "BMP";
    out.width = static_cast<unsigned>(h.width);
    // A top-down file stores its height negated; the height is its magnitude.
    out.height = static_cast<unsigned>(reader.top_down() ? -std::int64_t(h.height) : h.height);
    out.bits_per_pixel = h.bit_count;
    out.fourth = 1;
}

void read_bmp(std::istream& in, image<bgra>& out)
{
    bmp_reader reader(in);
    read_bmp_rows(reader, out);
}

void read_tga_info(std::istream& in, image_info& out)
{
    // Only a header within the format's ranges comes as far as its size: a
    // file of another kind is never refused for a size it does not claim.
    const tga_file file = read_tga_head(in, tga_ranges::as_defined);
    // What `read` would refuse is no TGA this reader takes.
    check_tga_size(in, file);
    out.format = "TGA";
    out.width = file.header.width;
    out.height = file.header.height;
    out.bits_per_pixel = file.header.depth;
    out.fourth = file.header.type <= 8 ? 1 : 0;
}

void read_tga(std::istream& in, image<bgra>& out)
{
    read_tga_as(in, out, tga_ranges::as_read);
}

void bmp_tga_reader::extensions(std::vector<std::string>& out) const
{
    out.emplace_back("BMP");
    out.emplace_back("TGA");
}

bool bmp_tga_reader::info(const std::string& path, const std::string& format, image_info* out) const
{
    if (equal_ignoring_case(format, "BMP"))
        return probe(path, read_bmp_info, out);
    if (equal_ignoring_case(format, "TGA"))
        return probe(path, read_tga_info, out);
    return false;
}

bool bmp_tga_reader::info(const std::string& path, image_info* out) const
{
    switch (kind_of(path)) {
    case kind::bmp:
        return probe(path, read_bmp_info, out);
    case kind::tga:
        return probe(path, read_tga_info, out);
    case kind::unknown:
        break;
    }
    return probe(path, read_bmp_info, out) || probe(path, read_tga_info, out);
}

void bmp_tga_reader::read(const std::string& path, const std::string& format, image<bgra>& out) const
{
    if (equal_ignoring_case(format, "BMP"))
        with_file(path, bmp_failure, [&](std::istream& in) { read_bmp(in, out); });
    else if (equal_ignoring_case(format, "TGA"))
        with_file(path, tga_failure, [&](std::istream& in) { read_tga(in, out); });
    else
        throw unsupported(0, 0, path);
}

void bmp_tga_reader::read(const std::string& path, image<bgra>& out) const
{
    const kind file_kind = kind_of(path);
    if (file_kind == kind::tga) {
        with_file(path, tga_failure, [&](std::istream& in) { read_tga(in, out); });
        return;
    }
    try {
        with_file(path, bmp_failure, [&](std::istream& in) { read_bmp(in, out); });
    } catch (const io_error&) {
        if (file_kind == kind::bmp)
            throw;
        // Unnamed, a file is a TGA only as far as the probe would take it.
        with_file(path, tga_failure, [&](std::istream& in) { read_tga_as(in, out, tga_ranges::as_defined); });
    }
}

std::string bmp_tga_reader::size_refusal(const std::string& path) const
{
    switch (kind_of(path)) {
    case kind::bmp:
        return refusal_of(path, read_bmp_info);
    case kind::tga:
        return refusal_of(path, read_tga_info);
    case kind::unknown:
        break;
    }
    std::string refusal = refusal_of(path, read_bmp_info);
    return refusal.empty() ? refusal_of(path, read_tga_info) : refusal;
}

} // namespace img
