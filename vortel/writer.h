#pragma once

// The render library's frame sink. A rendering job receives one from the
// render settings (settings::silent_open_writer), hands it each rendered
// 32-bit frame in order and deletes it when the job ends, which finishes
// the output. A writer is created on the UI thread and then used by one
// rendering thread at a time. Errors of writing pass on as exceptions
// (img::avi::exception, img::io_error, stream failures).

#include "foundation/image/image.h"
#include "vortel/export.h"

namespace vortel {

class VORTEL_API writer {
public:
    writer() = default;
    writer(const writer&) = delete;
    writer& operator=(const writer&) = delete;
    // Finishes the output.
    virtual ~writer();
    // Writes one frame.
    virtual void write(const img::image<img::BGRA<unsigned char>>& frame) = 0;
};

} // namespace vortel
