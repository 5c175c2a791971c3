#pragma once

// Rendered frames into an AVI file through a compressor.

#include "vortel/avi_coder.h"
#include "vortel/avi_file_writer.h"
#include "vortel/writer.h"

#include <string>

namespace vortel {

// The stream parameters of an AVI writer.
struct avi_stream_params {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t rate_numerator = 0;
    std::uint32_t rate_denominator = 0;
    bool alpha = false;
};

class avi_writer final : public writer {
public:
    // Opens the file (see img::avi::file_writer) with a compressor of its
    // own: the same compressor as `coder` (which must be open) with the
    // same state, so that writers made from one settings object at once do
    // not share a compressor.
    avi_writer(const img::avi::coder& coder, const std::string& path, const avi_stream_params& params);
    // Discards a file that finish did not complete.
    ~avi_writer() override;
    void write(const img::image<img::BGRA<unsigned char>>& frame) override;
    void finish() override;
    void discard() noexcept override;

private:
    img::avi::coder_info m_info;
    img::avi::coder m_coder;
    img::avi::file_writer m_file;
};

} // namespace vortel
