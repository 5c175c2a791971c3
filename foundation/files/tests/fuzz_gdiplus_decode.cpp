// Fuzz target: decoding of encoded images (BMP, JPEG, GIF, TIFF, PNG) through
// the platform's decoders, into colour and grey images, as the program reads
// encoded masks and the file codecs read files.
//
// Inputs whose header claims more than a few megapixels are skipped: a few
// hundred bytes may claim a picture of the full 1 GiB limit, whose decoding
// takes seconds and teaches the search nothing of the decoders' logic. The
// limit itself is covered by the unit tests.
#include "foundation/files/gdiplus_codec.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

constexpr std::uint64_t max_fuzzed_pixels = std::uint64_t(1) << 22;

bool claims_too_much(const std::string& bytes)
{
    try {
        std::istringstream in(bytes);
        const auto claimed = img::gdiplus_read_size(in);
        return std::uint64_t(claimed.width) * claimed.height > max_fuzzed_pixels;
    } catch (const std::exception&) {
        // No header: the decoders refuse it as quickly again below.
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (claims_too_much(bytes))
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
