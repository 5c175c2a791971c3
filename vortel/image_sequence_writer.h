#pragma once

// Rendered frames as numbered image files, one per frame, through the codec
// registry. The frames are written under temporary names beside their
// files (see platform/kernel/pending_files.h) and take their places only at
// finish, so that a render that fails or is discarded leaves every file it
// was to replace as it was and none of its own.

#include "foundation/files/numbered_file_name.h"
#include "platform/kernel/pending_files.h"
#include "vortel/writer.h"

#include <string>

namespace vortel {

class image_sequence_writer final : public writer {
public:
    // `path` is the name pattern (the last run of "#" in the file name is
    // the counter, 3 digits before the extension without one); `extension`
    // (without dot; the path's own when empty) chooses the file format,
    // whatever the names end in. Nothing is made before the first frame.
    image_sequence_writer(const std::string& path, bool alpha, const std::string& extension);
    // Discards the frames that finish did not put in place.
    ~image_sequence_writer() override;
    // Writes the frame for the next numbered file. Throws img::io_error
    // naming that file ("could not open image file for writing or write
    // error" with the system's reason, or the codec's error); a folder at
    // its name is refused now. The frames before stay pending.
    void write(const img::image<img::BGRA<unsigned char>>& frame) override;
    // Puts the frames in place in their order. A frame that cannot take its
    // place throws img::io_error "could not open image file for writing or
    // write error" with the reason, naming its file; the files put in place
    // before it give way again to the ones they replaced and nothing of the
    // render is left.
    void finish() override;
    void discard() noexcept override;

private:
    std::string m_path;
    NumberedFileName m_pattern;
    bool m_alpha;
    std::string m_extension;
    platform::pending_files m_files;
    bool m_ended = false;
};

} // namespace vortel
