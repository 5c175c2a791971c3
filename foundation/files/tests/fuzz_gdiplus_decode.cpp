// Fuzz target: decoding of encoded images (BMP, JPEG, GIF, TIFF, PNG) through
// the platform's decoders, into colour and grey images, as the program reads
// encoded masks and the file codecs read files.
// Inputs claiming more than a few megapixels are skipped.
#include "foundation/files/gdiplus_codec.h"
#include "foundation/files/tests/fuzzed_size.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (test_support::claims_too_many_pixels(bytes))
        return 0;
    try {
        std::istringstream in(bytes);
        img::image<img::BGRA<unsigned char>> colour;
        bool has_alpha = false;
        img::gdiplus_read_bgra(in, colour, &has_alpha);
    } catch (const std::exception&) {
    }
    try {
        std::istringstream in(bytes);
        img::image<unsigned char> grey;
        grey.top_down = false;
        img::gdiplus_read_grey(in, grey);
    } catch (const std::exception&) {
    }
    return 0;
}
