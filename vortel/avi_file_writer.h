#pragma once

// An AVI file with one video stream, compressed frame by frame by an open
// coder. Construction creates the file, finish completes it: headers and
// index for the frames written, also after a failed write. Destruction
// without finish discards it.
//
// Errors are img::avi::exception: "AVI file open error", "AVI stream in
// file create error", "AVI stream set format error", "video compression
// begin error", "video compression error", "AVI stream write error", "AVI
// file close error", and "invalid AVI frame rate" or "invalid AVI frame
// size" for parameters refused before the file is created. A failure of
// the file itself names the system's reason and the path after the text
// ("AVI stream write error: No space left on device: /out/clip.avi"); a
// compressor that refuses the stream gives its reason, naming itself and
// the frame size ("video compression begin error: H.264 takes only even
// frame widths and heights (321 x 239)"). The file is written beside its
// path and replaces what is there once it is complete; a construction or a
// completion that fails, or a writer discarded or destroyed unfinished,
// leaves the path as it was. One thread at a time uses a writer.

#include "foundation/image/image.h"
#include "platform/video/avi_writer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace img::avi {

class coder;

class file_writer {
public:
    // The coder must be open and outlive the writer. Frames are stored at
    // 32 bits when `alpha` is on and the compressor takes 32 bits, or when
    // it takes no 24 bits; else at 24 bits.
    file_writer(coder& coder, const std::string& path, std::uint32_t width, std::uint32_t height,
        std::uint32_t rate_numerator, std::uint32_t rate_denominator, bool alpha);
    // Discards a file that finish did not complete.
    ~file_writer();
    file_writer(const file_writer&) = delete;
    file_writer& operator=(const file_writer&) = delete;

    // Ends the compression, completes the file and puts it in place. Throws
    // "AVI file close error: <reason>: <path>" when the file cannot be
    // completed; the path then keeps what it held. Frames written afterwards
    // are refused ("AVI stream write error").
    void finish();
    // Ends the compression and removes the unfinished file: the path keeps
    // what it held. Nothing after finish; frames written afterwards are
    // refused.
    void discard() noexcept;

    // Compresses and appends one frame of the stream's size (else "frame
    // size differs from AVI stream size: frame 2 is 16 x 9 pixels, the
    // stream 16 x 8", the frame counted in the stream from 0).
    void write(const image<BGRA<unsigned char>>& frame);

    bool uses_32_bits() const { return m_use_32; }
    std::uint32_t frames() const { return m_frames; }

private:
    void end_compression() noexcept;

    coder& m_coder;
    std::string m_path;
    std::uint32_t m_width;
    std::uint32_t m_height;
    bool m_use_32 = false;
    std::uint32_t m_frames = 0;
    bool m_begun = false;
    platform::avi_writer m_file;
    std::vector<std::uint8_t> m_output_format;
    std::vector<std::uint8_t> m_output;
};

} // namespace img::avi
