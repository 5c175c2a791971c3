#pragma once

// Decoding of an AVI file's video stream, one frame at a time, into a
// 32-bit colour image. The decoder positions on key frames: `seek` makes
// decoding forward reach a frame, `decode_next` decodes the frame at the
// position and advances.
//
// A sample without bytes (a dropped frame) repeats the frame before it. A
// sample that cannot be read fails its frame only; one the decompressor
// refuses arrives black when errors are tolerated.
//
// Threads: a decoder (and its file) is used by one thread at a time.

#include "foundation/image/image.h"
#include "lumvex/avi/avi_file.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class video_decompressor;
}

namespace lumvex {
class frame_memory;
}

namespace img::avi {

class decoder {
public:
    // Positions on the key frame at or before `start` and locates the
    // stream's decompressor. `f` (open, not owned) must outlive the decoder.
    // Throws img::avi::exception: no key frame, no format block, a frame
    // size out of bounds, no decompressor ("AVI decompressor \"XVID\" not
    // found in the system"), an unsupported bit count. Frames are decoded
    // into buffers of `memory` when one is given (it must outlive the
    // decoder), else into buffers of their own.
    decoder(file& f, int start, lumvex::frame_memory* memory = nullptr);
    ~decoder();
    decoder(const decoder&) = delete;
    decoder& operator=(const decoder&) = delete;

    // Positions so that decoding forward reaches frame n, restarting at the
    // key frame at or before n unless n lies ahead within the current run.
    void seek(int n);
    // Decodes the frame at the position and advances; returns its number.
    // Throws "error reading sample from AVI stream" (naming the file and
    // frame) when the sample cannot be read, and, without
    // `tolerate_errors`, "error decompressing sample from AVI stream: " +
    // the code's text when it cannot be decoded (with it, the frame is
    // black).
    int decode_next(bool tolerate_errors);
    // The last decoded frame (top-down rows); empty after release_image.
    const img::image<img::BGRA<unsigned char>>& image() const { return m_image; }
    // Hands the last decoded frame over without copying it; the next frame
    // is decoded into a new buffer. (When the next sample repeats this
    // frame, a copy is handed over instead.) A frame in a buffer of the
    // frame memory comes lent, and `storage` keeps its buffer: the image
    // must not be used after the last copy of `storage` is dropped. Otherwise
    // the image owns its buffer and `storage` is left empty.
    img::image<img::BGRA<unsigned char>> release_image(std::shared_ptr<unsigned char>& storage);

    int position() const { return m_position; }
    int key_start() const { return m_key_start; }
    // The next key frame after the position; -1 when there is none.
    int next_key() const { return m_next_key; }
    unsigned width() const { return m_width; }
    unsigned height() const { return m_height; }
    unsigned rate() const { return m_rate; }
    unsigned scale() const { return m_scale; }

private:
    // What a sample gave instead of a picture.
    struct outcome {
        enum kind { repeat, unreadable, refused } what;
        int code = 0;
        std::string text;
    };

    void restart();
    void feed(int sample);
    void fill_black();
    // Gives the image its buffer again after a release.
    void ensure_image();

    file& m_file;
    std::unique_ptr<platform::video_decompressor> m_decompressor;
    int m_key_start = -1;
    int m_position = 0;
    int m_next_key = -1;
    // The next sample to give the decompressor (it may run ahead of the
    // position for codecs that reorder frames).
    int m_next_sample = 0;
    bool m_finished = false;
    // The frame the image holds; -1 when none.
    int m_shown = -1;
    // The frame decode_next gave last; -1 before the first.
    int m_last_decoded = -1;
    std::map<int, outcome> m_outcomes;
    // Samples given to the decompressor whose errors it may still report.
    std::deque<int> m_unreported;
    unsigned m_width = 0;
    unsigned m_height = 0;
    unsigned m_rate = 0;
    unsigned m_scale = 0;
    std::vector<std::uint8_t> m_sample;
    img::image<img::BGRA<unsigned char>> m_image;
    lumvex::frame_memory* m_memory = nullptr;
    // The frame memory's buffer m_image is lent, when it is.
    std::shared_ptr<unsigned char> m_storage;
};

} // namespace img::avi
