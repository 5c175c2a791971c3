#pragma once

// What the codec library's own demuxer and decoders make of an AVI file,
// for tests of files we write: the stream's figures and one decoded frame,
// without holding every frame in memory (for files past 1 GiB).

#include <cstdint>
#include <string>
#include <vector>

namespace platform::testing {

struct avi_summary {
    int packets = 0;
    unsigned width = 0;
    unsigned height = 0;
    // The stream's time base: seconds per frame = rate_denominator /
    // rate_numerator.
    int rate_numerator = 0;
    int rate_denominator = 0;
    // Frame `frame` (display order) as width x height BGRA pixels, top row
    // first; empty when the file has no such frame.
    std::vector<std::uint8_t> frame;
};

// Throws std::runtime_error when the demuxer cannot open the file.
avi_summary reference_summary(const std::string& path, int frame);

} // namespace platform::testing
