#pragma once

// Video decompressors located by FourCC, as the video compression manager
// offers them: uncompressed device-independent bitmaps (8-bit palettised,
// 16, 24 and 32 bits, bottom-up and top-down) are decoded here; compressed
// formats go to the decoder that handles their FourCC. Output is always
// 32-bit BGRA (alpha 255) of the size the format block states.
//
// Samples go in in file order; frames come out in display order, possibly
// some samples later (codecs with reordered frames). Threads: a
// decompressor is used by one thread at a time (it may write a started
// frame on a thread of its own).

#include "platform/video/avi_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// Result codes of the decompressor operations.
inline constexpr int ICERR_OK = 0;
inline constexpr int ICERR_DONTDRAW = 1;
inline constexpr int ICERR_NEWPALETTE = 2;
inline constexpr int ICERR_GOTOKEYFRAME = 3;
inline constexpr int ICERR_STOPDRAWING = 4;
inline constexpr int ICERR_UNSUPPORTED = -1;
inline constexpr int ICERR_BADFORMAT = -2;
inline constexpr int ICERR_MEMORY = -3;
inline constexpr int ICERR_INTERNAL = -4;
inline constexpr int ICERR_BADFLAGS = -5;
inline constexpr int ICERR_BADPARAM = -6;
inline constexpr int ICERR_BADSIZE = -7;
inline constexpr int ICERR_BADHANDLE = -8;
inline constexpr int ICERR_CANTUPDATE = -9;
inline constexpr int ICERR_ABORT = -10;
inline constexpr int ICERR_ERROR = -100;
inline constexpr int ICERR_BADBITDEPTH = -200;
inline constexpr int ICERR_BADIMAGESIZE = -201;
inline constexpr int ICERR_CUSTOM = -400;

// Whether the decoder of these FourCCs decodes every frame alone (an
// index rebuilt from the chunks may then treat every frame as a key frame).
bool intra_only(FOURCC handler, FOURCC compression);

class video_decompressor {
public:
    // Zero bytes that must follow every sample given to `decode`.
    static constexpr std::size_t input_padding = 64;

    // The decompressor for a stream: by the format block's compression,
    // then by the stream header's handler, FourCC case ignored. Null when
    // none handles them or the format block is not a bitmap header of a
    // positive width and a non-zero height.
    static std::unique_ptr<video_decompressor> locate(
        FOURCC handler, const std::vector<std::uint8_t>& format);

    virtual ~video_decompressor() = default;

    // Output size: biWidth and |biHeight| of the format block.
    unsigned width() const { return m_width; }
    unsigned height() const { return m_height; }

    // Forgets frames under way, before decoding restarts at a key frame.
    virtual void restart() = 0;
    // Feeds one sample (its `size` bytes followed by `input_padding` zero
    // bytes). Returns ICERR_OK or the error caused by the sample fed lag()
    // calls before (this one when the lag is 0); `finish` returns those of
    // the samples still unreported.
    virtual int decode(const std::uint8_t* data, std::size_t size) = 0;
    // No more samples follow: frames held back come out. Returns ICERR_OK
    // or an error.
    virtual int finish() = 0;
    // How many samples later than its own `decode` a sample's error is
    // reported (decoders working on several samples at once).
    virtual int lag() const { return 0; }
    // Writes the next decoded frame into rows of width() BGRA pixels
    // (row 0 at `top_row`, row y at top_row + y x `step`); false when no
    // frame is ready.
    virtual bool next_frame(std::uint8_t* top_row, std::ptrdiff_t step) = 0;
    // As next_frame, but the frame may be written on another thread while
    // the caller goes on (feeding the next sample, say): the rows belong to
    // the decompressor until `wait_frame` returns, which also passes on
    // what failed meanwhile. Any other operation waits for the frame first.
    virtual bool start_frame(std::uint8_t* top_row, std::ptrdiff_t step) { return next_frame(top_row, step); }
    virtual void wait_frame() { }

protected:
    unsigned m_width = 0;
    unsigned m_height = 0;
};

} // namespace platform
