#pragma once

// The compressor side of the video compression manager: a fixed table of
// installed compressors, each known by a FourCC handler code, opened for
// compression, queried for the input it takes, and fed one frame at a time.
//
// Input frames are device-independent bitmaps: BI_RGB at 24 or 32 bits per
// pixel, a positive height (rows bottom-up), rows padded to 4 bytes. Every
// call yields exactly one sample per frame (the encoders are set up without
// delay), so frame n of a stream is sample n.
//
// Each compressor keeps a state block of our own format (see state()); a
// block from elsewhere is validated before it is taken. Compressors without
// settings report an empty state.
//
// Threads: a compressor object is used by one thread at a time; separate
// objects may work at once.

#include "platform/video/avi_file.h"
// The result codes (ICERR_...).
#include "platform/video/video_decompressor.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

inline constexpr FOURCC ICTYPE_VIDEO = mmioFOURCC('v', 'i', 'd', 'c');

// Capability flags of ICINFO::dwFlags.
inline constexpr std::uint32_t VIDCF_QUALITY = 0x0001;
inline constexpr std::uint32_t VIDCF_CRUNCH = 0x0002;
inline constexpr std::uint32_t VIDCF_TEMPORAL = 0x0004;

// Sample flag of a key frame (AVIIF_KEYFRAME).
inline constexpr std::uint32_t AVIIF_KEYFRAME = 0x0010;

// The description of one installed compressor.
struct ICINFO {
    FOURCC fccType = 0;
    FOURCC fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::string szName;
    std::string szDescription;
};

// The installed compressor number `index` (0, 1, 2, ...) of `type`
// (ICTYPE_VIDEO); false past the last one or for another type.
bool ICInfo(FOURCC type, int index, ICINFO& info);

class video_compressor {
public:
    // Size of the state block: "TVCS", format version 1, quality 0 to 10000,
    // key-frame interval 1 to 600 (all 32-bit little-endian).
    static constexpr std::size_t state_size = 16;

    // The installed compressor of that handler code (exact comparison);
    // null when none is installed under it.
    static std::unique_ptr<video_compressor> open(FOURCC handler);

    ~video_compressor();
    video_compressor(const video_compressor&) = delete;
    video_compressor& operator=(const video_compressor&) = delete;

    const ICINFO& info() const;

    // ICM_COMPRESS_QUERY: ICERR_OK when the compressor takes this input,
    // else ICERR_BADFORMAT.
    int query(const BITMAPINFOHEADER& input) const;

    // ICM_GETSTATE: the current state block (empty for a compressor without
    // settings).
    std::vector<std::uint8_t> state() const;
    // ICM_SETSTATE: takes a block made by state(); an empty block (or null)
    // restores the defaults. ICERR_BADPARAM, and nothing changes, for a block
    // of another size, version or with values out of range.
    int set_state(const std::uint8_t* data, std::size_t size);

    // ICM_COMPRESS_GET_FORMAT: the output format block for that input (a
    // bitmap header, then the codec's set-up data). ICERR_BADFORMAT when the
    // input is refused, ICERR_INTERNAL when the encoder cannot be set up.
    int output_format(const BITMAPINFOHEADER& input, std::vector<std::uint8_t>& format);
    // ICM_COMPRESS_GET_SIZE: the largest sample one input frame can give;
    // 0 when the input is refused.
    std::size_t max_size(const BITMAPINFOHEADER& input) const;

    // ICM_COMPRESS_BEGIN and ICM_COMPRESS_END. Begin refuses
    // (ICERR_BADFORMAT) an input that query refuses or an output format
    // other than output_format's.
    int begin(const BITMAPINFOHEADER& input, const std::vector<std::uint8_t>& format);
    int end();

    // Why the last output_format, max_size or begin refused: a sentence
    // naming the compressor (by its ICINFO name) and the frame size ("H.264
    // takes only even frame widths and heights (321 x 239)"), ending in the
    // codec library's own reason where the library refused. Empty when that
    // call succeeded or none was made.
    const std::string& refusal() const;

    // Compresses one input frame (stride x height bytes, bottom-up rows) into
    // `out`, of `capacity` bytes; `size` gets the sample's size and `flags`
    // AVIIF_KEYFRAME for a key frame. ICERR_BADSIZE when the sample would not
    // fit, ICERR_ERROR when the compressor is not begun, ICERR_INTERNAL when
    // the encoder fails.
    int compress(const std::uint8_t* pixels, std::uint8_t* out, std::size_t capacity, std::size_t& size,
        std::uint32_t& flags);
    // The same for a frame given by its rows in another layout: the top row
    // at `top_row`, row y at top_row + y x `step` (negative for bottom-up
    // storage), each of width pixels of `bits` (32: blue, green, red, alpha;
    // 24: blue, green, red). The frame is compressed as if it had been
    // converted to the begun input format first, without that copy.
    // ICERR_BADFORMAT for other depths.
    int compress_rows(const std::uint8_t* top_row, std::ptrdiff_t step, unsigned bits, std::uint8_t* out,
        std::size_t capacity, std::size_t& size, std::uint32_t& flags);

    struct engine;

private:
    explicit video_compressor(std::size_t table_index);

    std::size_t m_index;
    std::uint32_t m_quality;
    std::uint32_t m_key_interval;
    std::unique_ptr<engine> m_engine;
    // Set by max_size too, which is a question and const.
    mutable std::string m_refusal;
};

} // namespace platform
