#pragma once

// An AVI file opened for its main video stream: the frame count and the
// key-frame search the decoder positions with. Errors are
// img::avi::exception with the texts the user reads.
//
// Threads: a file object is used by one thread at a time.

#include "foundation/system/exception.h"
#include "lumvex/export.h"

#include <memory>
#include <string>

namespace platform {
class avi_file;
}

namespace img::avi {

// The errors of AVI reading and decoding.
class LUMVEX_API exception : public xtd::exception {
public:
    explicit exception(std::string message);
};

// The text of a decompressor result code ("ok (no error)", "don't draw",
// ..., "custom codec error" below -400, "unknown error" otherwise).
std::string error_text(int code);

class file {
public:
    file();
    ~file();
    file(const file&) = delete;
    file& operator=(const file&) = delete;

    // Closes what is open and opens `path`. Throws "error opening AVI
    // (possibly it's not a valid AVI file): " + path, or "error getting main
    // video stream of AVI: " + path.
    void open(const std::string& path);
    void close();
    bool is_open() const;

    const std::string& path() const { return m_path; }
    // Number of frames of the video stream.
    int length() const;
    // The key frame at or before n. Throws "can't find in AVI stream start
    // position to read frame #" + n when there is none.
    int key_frame_before(int n) const;
    // The first key frame at or after n; -1 when there is none.
    int key_frame_from(int n) const;

    // The stream, for the decoder.
    platform::avi_file& stream() { return *m_stream; }
    const platform::avi_file& stream() const { return *m_stream; }

private:
    std::unique_ptr<platform::avi_file> m_stream;
    std::string m_path;
};

} // namespace img::avi
