#pragma once

// AVI files for tests and benchmarks: synthetic pictures, samples made by
// the codec library's encoders or stored uncompressed, a writer of AVI
// files with a choice of index (idx1, OpenDML super-index split over
// several RIFF lists, or none), and the reference decode of a file by the
// codec library's own demuxer and decoders.

#include "platform/video/avi_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::testing {

// Frame `index` of a moving synthetic picture: width x height BGRA pixels,
// top row first, alpha 255.
// With `textured`, fine grain that moves with the picture is added, so
// that a codec has detail to code as in filmed footage.
std::vector<std::uint8_t> test_picture(unsigned width, unsigned height, int index, bool textured = false);

// Frame `index` of a moving picture without hard colour edges, which
// subsampled chroma keeps well: the measure of lossy compressors. BGRA,
// top row first, alpha 255.
std::vector<std::uint8_t> smooth_picture(unsigned width, unsigned height, int index);

struct avi_sample {
    std::vector<std::uint8_t> data;
    bool key = true;
};

struct avi_layout {
    enum class index_kind { idx1, none, opendml };

    FOURCC handler = 0;
    // The format block: a bitmap header and what follows it (palette or
    // codec set-up data).
    std::vector<std::uint8_t> format;
    bool compressed = true;
    std::uint32_t rate = 25;
    std::uint32_t scale = 1;
    index_kind index = index_kind::idx1;
    // OpenDML: the frames per RIFF list (the first is "AVI ", the rest
    // "AVIX"), each with its own standard index.
    int frames_per_riff = 0;
};

// The format block of a bitmap header with `extra` bytes after it.
std::vector<std::uint8_t> bitmap_format(std::int32_t width, std::int32_t height, std::uint16_t bits,
    FOURCC compression, const std::vector<std::uint8_t>& extra = {});

// Uncompressed frames of test pictures at 8 (grey palette), 16, 24 or 32
// bits, rows bottom-up or top-down; fills the layout's format.
std::vector<avi_sample> uncompressed_samples(
    unsigned width, unsigned height, int frames, int bits, bool top_down, avi_layout& layout);
// The picture an uncompressed sample of that depth reproduces (the 8-bit
// palette is grey, 16 bits keep 5 bits per channel).
std::vector<std::uint8_t> uncompressed_picture(unsigned width, unsigned height, int index, int bits);

struct encoder_settings {
    // The codec library's encoder name ("mpeg4", "msmpeg4", "mjpeg",
    // "huffyuv", "ffv1", "libx264", ...).
    std::string encoder;
    FOURCC fourcc = 0;
    int gop = 12;
    int b_frames = 0;
    // Quality: a fixed quantiser (0 leaves the encoder's default).
    int quantiser = 3;
    // Pictures with grain (see test_picture).
    bool textured = false;
};

// Encodes test pictures; samples in file (decoding) order. Fills the
// layout's handler and format. Empty when the encoder is missing.
std::vector<avi_sample> encoded_samples(
    unsigned width, unsigned height, int frames, const encoder_settings& settings, avi_layout& layout);

// Writes the AVI file.
void write_avi(const std::string& path, const avi_layout& layout, const std::vector<avi_sample>& samples);

// Every frame of the file in display order, width x height BGRA pixels top
// row first, as the codec library's demuxer and decoder give them (samples
// without bytes are skipped).
std::vector<std::vector<std::uint8_t>> reference_decode(
    const std::string& path, unsigned* width = nullptr, unsigned* height = nullptr);

// Peak signal-to-noise ratio over blue, green and red of two BGRA pictures
// (infinity when equal).
double psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t pixels);

// Decodes the video packets of a file straight through the codec library
// (demuxed once, up front), converting each frame to BGRA: the reference
// the footage's speed is measured against.
class direct_decoder {
public:
    explicit direct_decoder(const std::string& path);
    ~direct_decoder();
    // Decodes every packet once; returns the number of frames.
    int decode_all();
    // Decodes from the key frame at or before `frame` up to it.
    void decode_frame(int frame);

private:
    friend std::vector<std::vector<std::uint8_t>> reference_decode(const std::string&, unsigned*, unsigned*);
    struct state;
    std::unique_ptr<state> m_state;
};

} // namespace platform::testing
