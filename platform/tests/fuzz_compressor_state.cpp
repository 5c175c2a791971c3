// Compressor state blocks on arbitrary bytes, as a damaged settings store
// would hand them over: a block is either refused, leaving the state as it
// was, or taken and reported back unchanged.

#include "platform/video/video_compressor.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::ICINFO info;
    for (int index = 0; platform::ICInfo(platform::ICTYPE_VIDEO, index, info); ++index) {
        auto compressor = platform::video_compressor::open(info.fccHandler);
        if (!compressor)
            std::abort();
        const std::vector<std::uint8_t> before = compressor->state();
        const int result = compressor->set_state(size == 0 ? nullptr : data, size);
        const std::vector<std::uint8_t> after = compressor->state();
        if (result == platform::ICERR_OK) {
            if (size != 0 && after != std::vector<std::uint8_t>(data, data + size))
                std::abort();
        } else if (result != platform::ICERR_BADPARAM || after != before) {
            std::abort();
        }
    }
    return 0;
}
