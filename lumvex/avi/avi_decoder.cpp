#include "lumvex/avi/avi_decoder.h"

#include "foundation/files/image_error.h"
#include "foundation/files/size_check.h"
#include "lumvex/cache/frame_memory.h"
#include "platform/video/avi_file.h"
#include "platform/video/video_decompressor.h"

#include <cstring>

namespace img::avi {

namespace {

std::string quoted_fourcc(platform::FOURCC code)
{
    return '"' + platform::fourcc_text(code) + '"';
}

} // namespace

decoder::decoder(file& f, int start, lumvex::frame_memory* memory)
    : m_file(f)
    , m_memory(memory)
{
    const platform::avi_file& stream = f.stream();
    m_key_start = m_file.key_frame_before(start);
    m_position = m_key_start;
    m_next_key = m_file.key_frame_from(start + 1);
    m_next_sample = m_key_start;

    const platform::AVISTREAMINFO& info = stream.stream_info();
    m_rate = info.dwRate;
    m_scale = info.dwScale;
    if (stream.format().empty())
        throw exception("error getting AVI stream format's size");
    platform::BITMAPINFOHEADER header;
    if (!platform::read_bitmap_header(stream.format(), header))
        throw exception("error getting AVI stream format");
    std::uint64_t width = header.biWidth < 0 ? 0 : std::uint64_t(header.biWidth);
    std::uint64_t height = header.biHeight < 0 ? std::uint64_t(-std::int64_t(header.biHeight))
                                               : std::uint64_t(header.biHeight);
    try {
        img::check_image_size(
            width, height, img::stored_pixels {}, 0, "bad frame size of AVI stream", f.path());
    } catch (const img::io_error& e) {
        throw exception(e.what());
    }
    m_decompressor = platform::video_decompressor::locate(info.fccHandler, stream.format());
    if (!m_decompressor) {
        if (header.biCompression == platform::BI_RGB || header.biCompression == platform::BI_BITFIELDS)
            throw exception("unsupported bit count of AVI stream: " + std::to_string(header.biBitCount));
        platform::FOURCC shown = info.fccHandler != 0 ? info.fccHandler : header.biCompression;
        throw exception("AVI decompressor " + quoted_fourcc(shown) + " not found in the system");
    }
    m_width = m_decompressor->width();
    m_height = m_decompressor->height();
    if (m_memory != nullptr)
        m_memory->expect(std::size_t(m_width) * m_height * 4);
    m_image.resize(m_width, m_height, 4);
    m_image.fill({ 0, 0, 0, 0xFF });
}

decoder::~decoder() = default;

void decoder::restart()
{
    m_decompressor->restart();
    m_outcomes.clear();
    m_unreported.clear();
    m_next_sample = m_position;
    m_finished = false;
}

void decoder::seek(int n)
{
    if (n >= m_position && (n < m_next_key || m_next_key == -1))
        return;
    m_key_start = n == m_next_key ? n : m_file.key_frame_before(n);
    m_position = m_key_start;
    m_next_key = m_file.key_frame_from(n + 1);
    restart();
}

void decoder::feed(int sample)
{
    const platform::avi_file& stream = m_file.stream();
    std::uint32_t size = stream.sample_size(sample);
    if (size == 0) {
        m_outcomes[sample] = { outcome::repeat, 0, {} };
        return;
    }
    try {
        stream.read_sample(sample, m_sample, platform::video_decompressor::input_padding);
    } catch (const platform::avi_error& e) {
        m_outcomes[sample] = { outcome::unreadable, 0, e.what() };
        return;
    }
    const int code = m_decompressor->decode(m_sample.data(), size);
    // A decompressor with a lag reports each sample's error that many
    // samples later.
    m_unreported.push_back(sample);
    int culprit = sample;
    if (m_unreported.size() > static_cast<std::size_t>(m_decompressor->lag())) {
        culprit = m_unreported.front();
        m_unreported.pop_front();
    }
    if (code < 0)
        m_outcomes[culprit] = { outcome::refused, code, {} };
}

img::image<img::BGRA<unsigned char>> decoder::release_image(std::shared_ptr<unsigned char>& storage)
{
    storage.reset();
    if (m_position < m_file.length() && m_file.stream().sample_size(m_position) == 0)
        return m_image;
    img::image<img::BGRA<unsigned char>> out(std::move(m_image));
    storage = std::move(m_storage);
    m_shown = -1;
    return out;
}

void decoder::ensure_image()
{
    if (m_image.width == m_width && m_image.height == m_height && m_image.data != nullptr)
        return;
    m_image.top_down = true;
    if (m_memory != nullptr) {
        // The frame goes into the cache as it is: a buffer already in place
        // spares the reader the system's first-touch cost of every page.
        m_storage = m_memory->acquire(std::size_t(m_width) * m_height * 4);
        m_image.attach(m_storage.get(), m_width, m_height, 4);
    } else {
        m_image.resize(m_width, m_height, 4);
    }
}

void decoder::fill_black()
{
    ensure_image();
    for (unsigned y = 0; y < m_height; ++y)
        std::memset(m_image.rows[y], 0, std::size_t(m_width) * 4);
}

int decoder::decode_next(bool tolerate_errors)
{
    const int frame = m_position;
    const int length = m_file.length();
    if (frame < 0 || frame >= length)
        throw exception("error reading from AVI stream sample size: 0");
    // One frame comes out per sample, in display order; samples that give
    // no picture are answered from their outcome.
    outcome result { outcome::repeat, 0, {} };
    bool pictured = false;
    // Reading on from the frame before: the next frame is wanted too, so
    // its sample is decoded while this frame is written into the image.
    const bool reading_on = m_last_decoded == frame - 1;
    for (;;) {
        auto it = m_outcomes.find(frame);
        if (it != m_outcomes.end()) {
            result = std::move(it->second);
            m_outcomes.erase(it);
            break;
        }
        if (m_next_sample <= frame) {
            feed(m_next_sample++);
            continue;
        }
        ensure_image();
        std::uint8_t* top = m_image.rows[0];
        std::ptrdiff_t step = m_height > 1 ? m_image.rows[1] - m_image.rows[0] : 0;
        if (m_decompressor->start_frame(top, step)) {
            try {
                if (reading_on && m_next_sample < length)
                    feed(m_next_sample++);
            } catch (...) {
                m_decompressor->wait_frame();
                throw;
            }
            m_decompressor->wait_frame();
            pictured = true;
            break;
        }
        if (m_next_sample < length) {
            feed(m_next_sample++);
            continue;
        }
        if (!m_finished) {
            m_finished = true;
            const int code = m_decompressor->finish();
            if (code < 0 && !m_unreported.empty())
                m_outcomes.try_emplace(m_unreported.front(), outcome { outcome::refused, code, {} });
            m_unreported.clear();
            continue;
        }
        result = { outcome::refused, platform::ICERR_ERROR, {} };
        break;
    }

    const int previous_shown = m_shown;
    m_shown = frame;
    m_last_decoded = frame;
    m_position += 1;
    if (m_position == m_next_key) {
        m_key_start = m_next_key;
        m_next_key = m_file.key_frame_from(m_next_key + 1);
    }
    if (pictured)
        return frame;
    switch (result.what) {
    case outcome::repeat:
        // A dropped frame shows the frame before it.
        if (previous_shown != frame - 1)
            fill_black();
        return frame;
    case outcome::unreadable:
        m_shown = -1;
        throw exception("error reading sample from AVI stream: " + m_file.path() + ", frame #"
            + std::to_string(frame) + " (" + result.text + ")");
    case outcome::refused:
        if (!tolerate_errors) {
            m_shown = -1;
            throw exception("error decompressing sample from AVI stream: " + error_text(result.code));
        }
        fill_black();
        return frame;
    }
    return frame;
}

} // namespace img::avi
