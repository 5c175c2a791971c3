// Fuzz target: the BMP readers (the library's colour reader and the
// program's 1-bit mask reader) on arbitrary bytes. Every input must end in
// an image or an image error, never a crash, hang or huge allocation.
#include "foundation/files/bmp_reader.h"
#include "lumvex/files/bmp_tga_reader.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

template <class Body> void guarded(const std::uint8_t* data, std::size_t size, Body body)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    in.exceptions(std::ios::failbit | std::ios::badbit);
    try {
        body(in);
    } catch (const std::exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    guarded(data, size, [](std::istream& in) {
        img::image_info info;
        img::read_bmp_info(in, info);
    });
    guarded(data, size, [](std::istream& in) {
        img::image<img::BGRA<unsigned char>> out;
        img::read_bmp(in, out);
    });
    guarded(data, size, [](std::istream& in) {
        img::bmp_reader reader(in);
        unsigned char table[8];
        reader.read_colour_table(table, 2);
        img::image<img::bit> mask;
        reader.read_bits(mask);
    });
    return 0;
}
