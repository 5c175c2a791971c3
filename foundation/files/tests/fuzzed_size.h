#pragma once

// The fuzz targets that decode pictures skip inputs whose header claims more
// than a few megapixels: a few hundred bytes may claim a picture of the full
// 1 GiB decode limit, whose decoding takes seconds and teaches the search
// nothing of the decoders' or the loaders' logic. The limit itself is
// covered by the unit tests.

#include "foundation/files/gdiplus_codec.h"

#include <cstdint>
#include <exception>
#include <sstream>
#include <string>

namespace test_support {

inline constexpr std::uint64_t max_fuzzed_pixels = std::uint64_t(1) << 22;

// Whether the encoded picture's header claims more than max_fuzzed_pixels;
// false for data with no header, which the decoders refuse as quickly.
inline bool claims_too_many_pixels(const std::string& encoded)
{
    try {
        std::istringstream in(encoded);
        const auto claimed = img::gdiplus_read_size(in);
        return std::uint64_t(claimed.width) * claimed.height > max_fuzzed_pixels;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace test_support
