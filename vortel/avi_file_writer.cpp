#include "vortel/avi_file_writer.h"

#include "lumvex/avi/avi_file.h"
#include "platform/video/video_compressor.h"
#include "vortel/avi_coder.h"

#include <cstring>
#include <string>
#include <system_error>

namespace img::avi {

namespace {

// Larger frames are refused before anything is made.
constexpr std::uint32_t max_side = 32768;
// Output formats and samples beyond these are compressor faults.
constexpr std::size_t max_format_size = 1 << 20;
constexpr std::size_t max_sample_size = 0x7FFFFFF0u;

// A failure of the file: the text, the system's reason and the file.
exception file_error(const char* text, int error, const std::string& path)
{
    return exception(std::string(text) + ": " + std::system_category().message(error) + ": " + path);
}

// A compressor that will not begin: the text and the compressor's reason,
// when it gives one.
exception begin_error(const platform::video_compressor& compressor)
{
    const std::string text = "video compression begin error";
    const std::string& reason = compressor.refusal();
    return exception(reason.empty() ? text : text + ": " + reason);
}

} // namespace

file_writer::file_writer(coder& coder, const std::string& path, std::uint32_t width, std::uint32_t height,
    std::uint32_t rate_numerator, std::uint32_t rate_denominator, bool alpha)
    : m_coder(coder)
    , m_path(path)
    , m_width(width)
    , m_height(height)
{
    if (rate_numerator == 0 || rate_denominator == 0)
        throw exception("invalid AVI frame rate");
    if (width == 0 || height == 0 || width > max_side || height > max_side)
        throw exception("invalid AVI frame size");
    if (!coder.is_open())
        throw exception("error opening video compressor");
    const coder_info& info = *coder.info();
    m_use_32 = alpha;
    if (!alpha && !info.accepts_24)
        m_use_32 = true;
    if (alpha && !info.accepts_32)
        m_use_32 = false;

    platform::BITMAPINFOHEADER input;
    input.biSize = 40;
    input.biWidth = std::int32_t(width);
    input.biHeight = std::int32_t(height);
    input.biPlanes = 1;
    input.biBitCount = m_use_32 ? 32 : 24;
    input.biCompression = platform::BI_RGB;

    platform::video_compressor& compressor = coder.compressor();
    if (compressor.output_format(input, m_output_format) != platform::ICERR_OK || m_output_format.size() < 40
        || m_output_format.size() > max_format_size)
        throw begin_error(compressor);
    const std::size_t max_size = compressor.max_size(input);
    if (max_size == 0 || max_size > max_sample_size)
        throw begin_error(compressor);
    m_output.resize(max_size);

    if (const int error = m_file.open(path))
        throw file_error("AVI file open error", error, path);
    try {
        platform::AVISTREAMINFO stream;
        stream.fccType = platform::streamtypeVIDEO;
        stream.fccHandler = info.handler();
        stream.dwScale = rate_denominator;
        stream.dwRate = rate_numerator;
        stream.dwSuggestedBufferSize = std::uint32_t(max_size);
        if (m_file.create_stream(stream, std::int32_t(width), std::int32_t(height)) != 0)
            throw exception("AVI stream in file create error");
        if (const int error = m_file.set_format(m_output_format))
            throw file_error("AVI stream set format error", error, path);
        if (compressor.begin(input, m_output_format) != platform::ICERR_OK)
            throw begin_error(compressor);
        m_begun = true;
    } catch (...) {
        m_file.discard();
        throw;
    }
}

file_writer::~file_writer()
{
    discard();
}

void file_writer::end_compression() noexcept
{
    if (m_begun)
        m_coder.compressor().end();
    m_begun = false;
}

void file_writer::finish()
{
    end_compression();
    if (const int error = m_file.close())
        throw file_error("AVI file close error", error, m_path);
}

void file_writer::discard() noexcept
{
    end_compression();
    m_file.discard();
}

void file_writer::write(const image<BGRA<unsigned char>>& frame)
{
    if (frame.width != m_width || frame.height != m_height || frame.rows.size() < m_height)
        throw exception("frame size differs from AVI stream size: frame " + std::to_string(m_frames) + " is "
            + std::to_string(frame.width) + " x " + std::to_string(frame.height) + " pixels, the stream "
            + std::to_string(m_width) + " x " + std::to_string(m_height));
    // A finished or discarded file takes no more frames.
    if (!m_file.is_open())
        throw exception("AVI stream write error");
    // The compressor takes the rows where they are: a frame in any row order
    // or alignment reaches it without a copy.
    const std::ptrdiff_t step = frame.top_down ? std::ptrdiff_t(frame.stride) : -std::ptrdiff_t(frame.stride);
    std::size_t size = 0;
    std::uint32_t flags = 0;
    if (m_coder.compressor().compress_rows(
            frame.rows[0], step, 32, m_output.data(), m_output.size(), size, flags)
            != platform::ICERR_OK
        || size > m_output.size())
        throw exception("video compression error");
    if (const int error = m_file.write(m_output.data(), std::uint32_t(size), flags))
        throw file_error("AVI stream write error", error, m_path);
    ++m_frames;
}

} // namespace img::avi
