#pragma once

// The render library's frame sink. A rendering job receives one from the
// render settings (settings::silent_open_writer), hands it each rendered
// 32-bit frame in order, finishes it and deletes it. A writer is created on
// the UI thread and then used by one rendering thread at a time. Errors of
// writing and finishing pass on as exceptions (img::avi::exception,
// img::io_error, stream failures). A render that fails discards its writer
// instead of finishing it. Nothing a writer makes takes the place of a file
// before finish: a file it was to replace stays as it was until then.

#include "foundation/image/image.h"
#include "vortel/export.h"

namespace vortel {

class VORTEL_API writer {
public:
    writer() = default;
    writer(const writer&) = delete;
    writer& operator=(const writer&) = delete;
    // Each writer discards an output that finish did not complete (see
    // discard): nothing unfinished is put in place by accident.
    virtual ~writer();
    // Writes one frame.
    virtual void write(const img::image<img::BGRA<unsigned char>>& frame) = 0;
    // Completes the output, puts it in place and tells when it cannot: an
    // AVI file that cannot be completed throws img::avi::exception and
    // leaves the file it would have replaced as it was; an image sequence
    // names the frame that could not take its place. No frame follows. The
    // default has nothing to complete.
    virtual void finish();
    // Drops an output that failed: no frame follows, the files it would
    // have replaced stay as they were and nothing it made is left. After
    // finish it changes nothing.
    virtual void discard() noexcept;
};

} // namespace vortel
