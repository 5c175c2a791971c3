#pragma once

// The render library's frame sink. A rendering job receives one from the
// render settings (settings::silent_open_writer), hands it each rendered
// 32-bit frame in order, finishes it and deletes it. A writer is created on
// the UI thread and then used by one rendering thread at a time. Errors of
// writing and finishing pass on as exceptions (img::avi::exception,
// img::io_error, stream failures). A render that fails discards its writer
// instead of finishing it.

#include "foundation/image/image.h"
#include "vortel/export.h"

namespace vortel {

class VORTEL_API writer {
public:
    writer() = default;
    writer(const writer&) = delete;
    writer& operator=(const writer&) = delete;
    // Finishes an output that finish did not, as well as it can; a failure
    // is not told (an AVI file that cannot be completed then leaves the
    // file it would have replaced as it was).
    virtual ~writer();
    // Writes one frame.
    virtual void write(const img::image<img::BGRA<unsigned char>>& frame) = 0;
    // Completes the output and tells when it cannot: an AVI file that cannot
    // be completed throws img::avi::exception and leaves the file it would
    // have replaced as it was. No frame follows. The default has nothing to
    // complete (each image file is complete once written).
    virtual void finish();
    // Drops an output that failed: no frame follows, a file it would have
    // replaced stays as it was and nothing temporary is left. Files already
    // complete (the images of a sequence) stay. After finish it changes
    // nothing.
    virtual void discard() noexcept;
};

} // namespace vortel
