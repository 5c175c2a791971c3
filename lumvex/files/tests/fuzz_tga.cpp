// Fuzz target: the TGA reader on arbitrary bytes (uncompressed, run-length
// and colour-mapped data); every input ends in an image or an image error.
#include "lumvex/files/bmp_tga_reader.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        std::istringstream in(bytes);
        in.exceptions(std::ios::failbit | std::ios::badbit);
        img::image_info info;
        img::read_tga_info(in, info);
    } catch (const std::exception&) {
    }
    try {
        std::istringstream in(bytes);
        in.exceptions(std::ios::failbit | std::ios::badbit);
        img::image<img::BGRA<unsigned char>> out;
        img::read_tga(in, out);
    } catch (const std::exception&) {
    }
    return 0;
}
