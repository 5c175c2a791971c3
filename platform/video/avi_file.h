#pragma once

// Reading AVI files: the RIFF structure, the main video stream's header and
// format block, and a sample index built from the OpenDML super-index, the
// AVI 1.0 `idx1` chunk or, when neither is usable, a walk over the `movi`
// chunks. Every size the file states is checked against its chunk and the
// file's length before it is used; a damaged file is refused with
// avi_error or read as far as it is sound.
//
// Threads: an avi_file is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

using FOURCC = std::uint32_t;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8
        | std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

// The four characters of a FourCC as they stand in the file.
std::string fourcc_text(FOURCC code);

inline constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');

// The stream header fields the system uses.
struct AVISTREAMINFO {
    FOURCC fccType = 0;
    FOURCC fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwSampleSize = 0;
};

// The bitmap header at the start of a video format block.
struct BITMAPINFOHEADER {
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    // Positive: rows stored bottom-up; negative: top-down.
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    FOURCC biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_BITFIELDS = 3;

// Reads the bitmap header from a format block; false when the block is
// shorter than a header or its biSize lies outside the block.
bool read_bitmap_header(const std::vector<std::uint8_t>& format, BITMAPINFOHEADER& header);

// Flags of avi_file::find_sample.
inline constexpr int FIND_NEXT = 0x0001;
inline constexpr int FIND_PREV = 0x0004;
inline constexpr int FIND_KEY = 0x0010;

// An AVI file that cannot be read, with the reason.
class [[gnu::visibility("default")]] avi_error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A RIFF AVI file without a video stream.
class [[gnu::visibility("default")]] avi_no_video_stream : public avi_error
{
public:
    using avi_error::avi_error;
};

class avi_file {
public:
    // Where the sample index came from.
    enum class index_source { none, super_index, idx1, scan };

    avi_file() = default;
    ~avi_file();
    avi_file(const avi_file&) = delete;
    avi_file& operator=(const avi_file&) = delete;

    // Closes what is open, then opens the file, finds the first video
    // stream and indexes its samples. Throws avi_error when the file cannot
    // be opened or is not an AVI file, avi_no_video_stream when it has no
    // video stream (the file is then closed).
    void open(const std::string& path);
    void close();
    bool is_open() const { return m_fd >= 0; }

    // The first video stream was found; its header and format block.
    const AVISTREAMINFO& stream_info() const { return m_info; }
    const std::vector<std::uint8_t>& format() const { return m_format; }
    index_source source() const { return m_source; }

    // Number of samples (frames) in the index.
    int length() const { return static_cast<int>(m_samples.size()); }
    // The key sample at or before (FIND_PREV) or at or after (FIND_NEXT)
    // `n`; -1 when there is none or n lies outside the stream.
    int find_sample(int n, int flags) const;
    bool is_key(int n) const;
    // The byte size of sample n (0 for a dropped frame); 0 outside.
    std::uint32_t sample_size(int n) const;
    // Reads sample n into `buffer`, sized to the sample plus `padding`
    // zero bytes. Throws avi_error when n lies outside the stream or the
    // bytes cannot be read.
    void read_sample(int n, std::vector<std::uint8_t>& buffer, std::size_t padding = 0) const;

private:
    struct sample {
        std::uint64_t offset;
        std::uint32_t size;
        bool key;
    };
    struct chunk;
    class parser;
    friend class parser;

    int m_fd = -1;
    std::uint64_t m_file_size = 0;
    AVISTREAMINFO m_info;
    std::vector<std::uint8_t> m_format;
    std::vector<sample> m_samples;
    std::vector<int> m_keys;
    index_source m_source = index_source::none;
};

} // namespace platform
