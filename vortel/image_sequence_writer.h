#pragma once

// Rendered frames as numbered image files, one per frame, through the codec
// registry. Each file is complete or absent: a failed frame leaves no
// half-written file.

#include "foundation/files/numbered_file_name.h"
#include "vortel/writer.h"

#include <string>

namespace vortel {

class image_sequence_writer final : public writer {
public:
    // `path` is the name pattern (the last run of "#" in the file name is
    // the counter, 3 digits before the extension without one); `extension`
    // (without dot; the path's own when empty) chooses the file format,
    // whatever the names end in.
    image_sequence_writer(const std::string& path, bool alpha, const std::string& extension);
    // Writes the frame to the next numbered file.
    void write(const img::image<img::BGRA<unsigned char>>& frame) override;

private:
    NumberedFileName m_pattern;
    bool m_alpha;
    std::string m_extension;
};

} // namespace vortel
