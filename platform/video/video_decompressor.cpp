#include "platform/video/video_decompressor.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace platform {

namespace {

static_assert(video_decompressor::input_padding >= AV_INPUT_BUFFER_PADDING_SIZE);

FOURCC upper(FOURCC code)
{
    FOURCC result = 0;
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<unsigned char>((code >> (8 * i)) & 0xFF);
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        result |= FOURCC(c) << (8 * i);
    }
    return result;
}

struct codec_tag {
    char fourcc[5];
    AVCodecID id;
};

// FourCCs (upper case) of the compressed formats users meet in AVI files.
const codec_tag codec_tags[] = {
    { "XVID", AV_CODEC_ID_MPEG4 },
    { "DIVX", AV_CODEC_ID_MPEG4 },
    { "DX50", AV_CODEC_ID_MPEG4 },
    { "FMP4", AV_CODEC_ID_MPEG4 },
    { "MP4V", AV_CODEC_ID_MPEG4 },
    { "MP4S", AV_CODEC_ID_MPEG4 },
    { "M4S2", AV_CODEC_ID_MPEG4 },
    { "3IV2", AV_CODEC_ID_MPEG4 },
    { "MPG4", AV_CODEC_ID_MSMPEG4V1 },
    { "MP41", AV_CODEC_ID_MSMPEG4V1 },
    { "MP42", AV_CODEC_ID_MSMPEG4V2 },
    { "DIV2", AV_CODEC_ID_MSMPEG4V2 },
    { "MP43", AV_CODEC_ID_MSMPEG4V3 },
    { "DIV3", AV_CODEC_ID_MSMPEG4V3 },
    { "DIV4", AV_CODEC_ID_MSMPEG4V3 },
    { "DIV5", AV_CODEC_ID_MSMPEG4V3 },
    { "DIV6", AV_CODEC_ID_MSMPEG4V3 },
    { "AP41", AV_CODEC_ID_MSMPEG4V3 },
    { "MJPG", AV_CODEC_ID_MJPEG },
    { "AVDJ", AV_CODEC_ID_MJPEG },
    { "AVRN", AV_CODEC_ID_AVRN },
    { "CVID", AV_CODEC_ID_CINEPAK },
    { "DVSD", AV_CODEC_ID_DVVIDEO },
    { "DV25", AV_CODEC_ID_DVVIDEO },
    { "DV50", AV_CODEC_ID_DVVIDEO },
    { "DVHD", AV_CODEC_ID_DVVIDEO },
    { "HFYU", AV_CODEC_ID_HUFFYUV },
    { "FFVH", AV_CODEC_ID_FFVHUFF },
    { "FFV1", AV_CODEC_ID_FFV1 },
    { "H264", AV_CODEC_ID_H264 },
    { "X264", AV_CODEC_ID_H264 },
    { "AVC1", AV_CODEC_ID_H264 },
    { "DAVC", AV_CODEC_ID_H264 },
    { "ULRG", AV_CODEC_ID_UTVIDEO },
    { "ULRA", AV_CODEC_ID_UTVIDEO },
    { "ULY0", AV_CODEC_ID_UTVIDEO },
    { "ULY2", AV_CODEC_ID_UTVIDEO },
    { "ULY4", AV_CODEC_ID_UTVIDEO },
    { "ULH0", AV_CODEC_ID_UTVIDEO },
    { "ULH2", AV_CODEC_ID_UTVIDEO },
    { "ULH4", AV_CODEC_ID_UTVIDEO },
    { "UQY2", AV_CODEC_ID_UTVIDEO },
    { "UQRG", AV_CODEC_ID_UTVIDEO },
    { "UQRA", AV_CODEC_ID_UTVIDEO },
    { "UMY2", AV_CODEC_ID_UTVIDEO },
    { "UMH2", AV_CODEC_ID_UTVIDEO },
    { "UMY4", AV_CODEC_ID_UTVIDEO },
    { "UMH4", AV_CODEC_ID_UTVIDEO },
    { "UMRG", AV_CODEC_ID_UTVIDEO },
    { "UMRA", AV_CODEC_ID_UTVIDEO },
    { "IV31", AV_CODEC_ID_INDEO3 },
    { "IV32", AV_CODEC_ID_INDEO3 },
    { "IV41", AV_CODEC_ID_INDEO4 },
    { "IV50", AV_CODEC_ID_INDEO5 },
    { "MSVC", AV_CODEC_ID_MSVIDEO1 },
    { "CRAM", AV_CODEC_ID_MSVIDEO1 },
    { "WHAM", AV_CODEC_ID_MSVIDEO1 },
};

AVCodecID codec_of(FOURCC code)
{
    FOURCC u = upper(code);
    for (const auto& tag : codec_tags)
        if (mmioFOURCC(tag.fourcc[0], tag.fourcc[1], tag.fourcc[2], tag.fourcc[3]) == u)
            return tag.id;
    return AV_CODEC_ID_NONE;
}

bool uncompressed(FOURCC compression)
{
    return compression == BI_RGB || compression == BI_BITFIELDS
        || upper(compression) == mmioFOURCC('D', 'I', 'B', ' ')
        || upper(compression) == mmioFOURCC('R', 'G', 'B', ' ');
}

// The bitmap header's fields that every longer header begins with.
constexpr std::size_t core_header_size = 40;

// One channel of a bit-field pixel: its mask's shift and width.
struct channel {
    unsigned shift = 0;
    unsigned bits = 0;

    explicit channel(std::uint32_t mask = 0)
    {
        if (mask == 0)
            return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        while (mask & 1) {
            mask >>= 1;
            ++bits;
        }
        bits = std::min(bits, 8u);
    }

    std::uint8_t value(std::uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        std::uint32_t v = (pixel >> shift) & ((1u << bits) - 1);
        // Widen to 8 bits by repeating the high bits.
        std::uint32_t out = v << (8 - bits);
        for (unsigned have = bits; have < 8; have += bits)
            out |= v << (8 - bits) >> have;
        return static_cast<std::uint8_t>(out);
    }
};

// Uncompressed device-independent bitmaps.
class dib_decompressor final : public video_decompressor {
public:
    dib_decompressor(const BITMAPINFOHEADER& h, const std::vector<std::uint8_t>& format)
        : m_bits(h.biBitCount)
        , m_bottom_up(h.biHeight > 0)
    {
        m_width = static_cast<unsigned>(h.biWidth);
        m_height = static_cast<unsigned>(h.biHeight > 0 ? h.biHeight : -std::int64_t(h.biHeight));
        m_stride = (std::uint64_t(m_width) * m_bits + 31) / 32 * 4;
        const std::uint8_t* extra = format.data() + h.biSize;
        std::size_t extra_size = format.size() - h.biSize;
        if (m_bits == 8) {
            std::size_t entries = h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : h.biClrUsed;
            entries = std::min(entries, extra_size / 4);
            m_palette.assign(256, 0);
            for (std::size_t i = 0; i < entries; ++i)
                std::memcpy(&m_palette[i], extra + 4 * i, 4);
            for (auto& p : m_palette)
                p |= 0xFF000000u;
        }
        std::uint32_t masks[3] = { 0x7C00, 0x03E0, 0x001F };
        if (m_bits == 32) {
            masks[0] = 0xFF0000;
            masks[1] = 0xFF00;
            masks[2] = 0xFF;
        }
        // The masks follow the 40-byte core of the header: after it in a
        // plain header, inside the longer headers, which carry them there.
        if (h.biCompression == BI_BITFIELDS && format.size() >= core_header_size + 12)
            for (int i = 0; i < 3; ++i)
                std::memcpy(&masks[i], format.data() + core_header_size + 4 * i, 4);
        m_red = channel(masks[0]);
        m_green = channel(masks[1]);
        m_blue = channel(masks[2]);
        m_plain32 = m_bits == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
    }

    static bool supported(const BITMAPINFOHEADER& h)
    {
        if (h.biCompression == BI_BITFIELDS)
            return h.biBitCount == 16 || h.biBitCount == 32;
        return h.biBitCount == 8 || h.biBitCount == 16 || h.biBitCount == 24 || h.biBitCount == 32;
    }

    void restart() override { m_ready = false; }

    int decode(const std::uint8_t* data, std::size_t size) override
    {
        m_ready = false;
        if (size < m_stride * m_height)
            return ICERR_BADSIZE;
        m_sample.assign(data, data + m_stride * m_height);
        m_ready = true;
        return ICERR_OK;
    }

    int finish() override { return ICERR_OK; }

    bool next_frame(std::uint8_t* top_row, std::ptrdiff_t step) override
    {
        if (!m_ready)
            return false;
        m_ready = false;
        for (unsigned y = 0; y < m_height; ++y) {
            const std::uint8_t* in = m_sample.data() + (m_bottom_up ? m_height - 1 - y : y) * m_stride;
            std::uint8_t* out = top_row + static_cast<std::ptrdiff_t>(y) * step;
            convert_row(in, out);
        }
        return true;
    }

private:
    void convert_row(const std::uint8_t* in, std::uint8_t* out) const
    {
        switch (m_bits) {
        case 8:
            for (unsigned x = 0; x < m_width; ++x)
                std::memcpy(out + 4 * x, &m_palette[in[x]], 4);
            break;
        case 24:
            for (unsigned x = 0; x < m_width; ++x) {
                out[4 * x] = in[3 * x];
                out[4 * x + 1] = in[3 * x + 1];
                out[4 * x + 2] = in[3 * x + 2];
                out[4 * x + 3] = 0xFF;
            }
            break;
        case 32:
            if (m_plain32) {
                for (unsigned x = 0; x < m_width; ++x) {
                    std::memcpy(out + 4 * x, in + 4 * x, 3);
                    out[4 * x + 3] = 0xFF;
                }
                break;
            }
            [[fallthrough]];
        default:
            for (unsigned x = 0; x < m_width; ++x) {
                std::uint32_t p = m_bits == 16 ? std::uint32_t(in[2 * x] | in[2 * x + 1] << 8)
                                               : std::uint32_t(in[4 * x]) | std::uint32_t(in[4 * x + 1]) << 8
                        | std::uint32_t(in[4 * x + 2]) << 16 | std::uint32_t(in[4 * x + 3]) << 24;
                out[4 * x] = m_blue.value(p);
                out[4 * x + 1] = m_green.value(p);
                out[4 * x + 2] = m_red.value(p);
                out[4 * x + 3] = 0xFF;
            }
            break;
        }
    }

    unsigned m_bits;
    bool m_bottom_up;
    std::uint64_t m_stride = 0;
    std::vector<std::uint32_t> m_palette;
    channel m_red;
    channel m_green;
    channel m_blue;
    bool m_plain32 = false;
    std::vector<std::uint8_t> m_sample;
    bool m_ready = false;
};

// Memory aligned to 64 bytes, as the converter's vector paths want it.
template <class T> struct aligned_allocator {
    using value_type = T;
    aligned_allocator() = default;
    template <class U> aligned_allocator(const aligned_allocator<U>&) { }
    T* allocate(std::size_t n)
    {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(64)));
    }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t(64)); }
    template <class U> bool operator==(const aligned_allocator<U>&) const { return true; }
};

int error_code(int av_error)
{
    if (av_error == AVERROR(ENOMEM))
        return ICERR_MEMORY;
    if (av_error == AVERROR_PATCHWELCOME || av_error == AVERROR(ENOSYS))
        return ICERR_UNSUPPORTED;
    return ICERR_ERROR;
}

// Threads that decode frames side by side. Frame after frame, the two
// common families of delta codecs decode faster on two threads, into the
// same pictures as on one; their results (and errors) come one sample later.
// Others decode on the caller's thread: those coded frame by frame are read
// out of order as often as in it, and would pay the later result each time.
int decoding_threads(AVCodecID id)
{
    return id == AV_CODEC_ID_MPEG4 || id == AV_CODEC_ID_H264 ? 2 : 1;
}

// Compressed formats through the codec library; frames converted to BGRA.
class codec_decompressor final : public video_decompressor {
public:
    ~codec_decompressor() override
    {
        wait_frame_quietly();
        if (m_converter.joinable()) {
            {
                std::lock_guard guard(m_job_lock);
                m_stopping = true;
            }
            m_job_posted.notify_one();
            m_converter.join();
        }
        clear_frames();
        for (AVFrame* f : m_spare)
            av_frame_free(&f);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_context);
        sws_freeContext(m_scaler);
    }

    static std::unique_ptr<video_decompressor> open(
        AVCodecID id, FOURCC tag, const BITMAPINFOHEADER& h, const std::vector<std::uint8_t>& format)
    {
        const AVCodec* codec = avcodec_find_decoder(id);
        if (codec == nullptr)
            return nullptr;
        std::unique_ptr<codec_decompressor> d(new codec_decompressor);
        d->m_width = static_cast<unsigned>(h.biWidth);
        d->m_height = static_cast<unsigned>(h.biHeight > 0 ? h.biHeight : -std::int64_t(h.biHeight));
        d->m_context = avcodec_alloc_context3(codec);
        d->m_frame = av_frame_alloc();
        d->m_packet = av_packet_alloc();
        if (d->m_context == nullptr || d->m_frame == nullptr || d->m_packet == nullptr)
            return nullptr;
        AVCodecContext* c = d->m_context;
        c->codec_tag = tag;
        c->width = static_cast<int>(d->m_width);
        c->height = static_cast<int>(d->m_height);
        c->bits_per_coded_sample = h.biBitCount;
        c->thread_count = decoding_threads(id);
        c->thread_type = FF_THREAD_FRAME;
        std::size_t extra = format.size() - h.biSize;
        if (extra > 0) {
            c->extradata = static_cast<std::uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
            if (c->extradata == nullptr)
                return nullptr;
            std::memcpy(c->extradata, format.data() + h.biSize, extra);
            c->extradata_size = static_cast<int>(extra);
        }
        if (avcodec_open2(c, codec, nullptr) < 0)
            return nullptr;
        if (c->active_thread_type == FF_THREAD_FRAME && c->thread_count > 1)
            d->m_lag = c->thread_count - 1;
        return d;
    }

    int lag() const override { return m_lag; }

    void restart() override
    {
        wait_frame_quietly();
        avcodec_flush_buffers(m_context);
        clear_frames();
        m_finished = false;
    }

    int decode(const std::uint8_t* data, std::size_t size) override
    {
        if (m_finished)
            restart();
        // An empty packet would end the stream; a sample without bytes
        // carries no picture.
        if (size == 0)
            return ICERR_OK;
        m_packet->data = const_cast<std::uint8_t*>(data);
        m_packet->size = static_cast<int>(size);
        int r = avcodec_send_packet(m_context, m_packet);
        if (r == AVERROR(EAGAIN)) {
            receive();
            r = avcodec_send_packet(m_context, m_packet);
        }
        m_packet->data = nullptr;
        m_packet->size = 0;
        int received = receive();
        if (r < 0)
            return error_code(r);
        return received;
    }

    int finish() override
    {
        if (m_finished)
            return ICERR_OK;
        m_finished = true;
        int r = avcodec_send_packet(m_context, nullptr);
        int received = receive();
        return r < 0 && r != AVERROR_EOF ? error_code(r) : received;
    }

    bool next_frame(std::uint8_t* top_row, std::ptrdiff_t step) override
    {
        wait_frame();
        if (m_ready.empty())
            return false;
        AVFrame* f = m_ready.front();
        m_ready.pop_front();
        try {
            write_frame(f, top_row, step);
        } catch (...) {
            recycle(f);
            throw;
        }
        recycle(f);
        return true;
    }

    // The conversion to BGRA (a fifth of a frame's time for the common
    // codecs, and the only part that writes the caller's memory) runs on a
    // thread of its own while the caller decodes on. The result is the
    // same as next_frame's: only where the work runs differs.
    bool start_frame(std::uint8_t* top_row, std::ptrdiff_t step) override
    {
        wait_frame();
        if (m_ready.empty())
            return false;
        if (!m_converter.joinable()) {
            try {
                m_converter = std::thread([this] { convert_posted(); });
            } catch (const std::system_error&) {
                return next_frame(top_row, step);
            }
        }
        AVFrame* f = m_ready.front();
        m_ready.pop_front();
        {
            std::lock_guard guard(m_job_lock);
            m_job = { f, top_row, step };
            m_job_pending = true;
        }
        m_job_posted.notify_one();
        return true;
    }

    void wait_frame() override
    {
        if (m_job.frame == nullptr)
            return;
        std::exception_ptr failure;
        {
            std::unique_lock lock(m_job_lock);
            m_job_done.wait(lock, [&] { return !m_job_pending; });
            failure = std::exchange(m_job_failure, nullptr);
        }
        recycle(std::exchange(m_job.frame, nullptr));
        if (failure)
            std::rethrow_exception(failure);
    }

private:
    codec_decompressor() = default;

    // A frame started and not yet waited for: `frame` belongs to the
    // conversion thread while `m_job_pending` is set.
    struct conversion_job {
        AVFrame* frame = nullptr;
        std::uint8_t* top_row = nullptr;
        std::ptrdiff_t step = 0;
    };

    void wait_frame_quietly() noexcept
    {
        try {
            wait_frame();
        } catch (...) {
        }
    }

    // Converts the frame into the rows; one that cannot be converted is
    // black.
    void write_frame(const AVFrame* f, std::uint8_t* top_row, std::ptrdiff_t step)
    {
        if (!convert(f, top_row, step))
            for (unsigned y = 0; y < m_height; ++y)
                std::memset(top_row + static_cast<std::ptrdiff_t>(y) * step, 0, std::size_t(m_width) * 4);
    }

    // The conversion thread: converts each posted frame until the
    // decompressor goes.
    void convert_posted()
    {
        std::unique_lock lock(m_job_lock);
        for (;;) {
            m_job_posted.wait(lock, [&] { return m_job_pending || m_stopping; });
            if (!m_job_pending)
                return;
            const conversion_job job = m_job;
            lock.unlock();
            std::exception_ptr failure;
            try {
                write_frame(job.frame, job.top_row, job.step);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            m_job_failure = failure;
            m_job_pending = false;
            m_job_done.notify_one();
        }
    }

    int receive()
    {
        for (;;) {
            int r = avcodec_receive_frame(m_context, m_frame);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return ICERR_OK;
            if (r < 0)
                return error_code(r);
            AVFrame* kept = nullptr;
            if (!m_spare.empty()) {
                kept = m_spare.back();
                m_spare.pop_back();
            } else {
                kept = av_frame_alloc();
            }
            if (kept == nullptr) {
                av_frame_unref(m_frame);
                return ICERR_MEMORY;
            }
            av_frame_move_ref(kept, m_frame);
            m_ready.push_back(kept);
        }
    }

    bool convert(const AVFrame* f, std::uint8_t* top_row, std::ptrdiff_t step)
    {
        if (f->width <= 0 || f->height <= 0)
            return false;
        m_scaler = sws_getCachedContext(m_scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format),
            static_cast<int>(m_width), static_cast<int>(m_height), AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr,
            nullptr, nullptr);
        if (m_scaler == nullptr)
            return false;
        // The converter writes whole vector units, past the end of a row
        // whose width is not a multiple of them. Rows written straight into
        // the caller's rows spill only into the next row, which is written
        // afterwards; the last rows (all rows, unless the caller's rows are
        // aligned to 16 bytes as the scratch rows are, so that the converter
        // takes the same path for both) go through a buffer with room after
        // every row and are copied from there.
        const std::size_t row = std::size_t(m_width) * 4;
        const std::size_t padded = (row + scratch_slack + 63) / 64 * 64;
        if (m_scratch.size() < padded * m_height + scratch_slack)
            m_scratch.resize(padded * m_height + scratch_slack);
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
        const bool sliceable = desc != nullptr
            && !(desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL))
            && f->height == static_cast<int>(m_height) && m_height > 64
            && step >= static_cast<std::ptrdiff_t>(row) && step <= INT32_MAX && step % 16 == 0
            && reinterpret_cast<std::uintptr_t>(top_row) % 16 == 0;
        int split = 0;
        int done = 0;
        if (sliceable) {
            split = static_cast<int>((m_height - 32) & ~31u);
            std::uint8_t* planes[4] = { top_row, nullptr, nullptr, nullptr };
            int strides[4] = { static_cast<int>(step), 0, 0, 0 };
            done = sws_scale(m_scaler, f->data, f->linesize, 0, split, planes, strides);
            if (done < 0 || done >= static_cast<int>(m_height))
                return false;
        }
        const std::uint8_t* slice[4] = { nullptr, nullptr, nullptr, nullptr };
        for (int i = 0; i < 4; ++i) {
            const int shift = (i == 1 || i == 2) && desc != nullptr ? desc->log2_chroma_h : 0;
            if (f->data[i] != nullptr)
                slice[i] = f->data[i] + std::ptrdiff_t(split >> shift) * f->linesize[i];
        }
        std::uint8_t* planes[4] = { m_scratch.data(), nullptr, nullptr, nullptr };
        int strides[4] = { static_cast<int>(padded), 0, 0, 0 };
        if (sws_scale(m_scaler, slice, f->linesize, split, f->height - split, planes, strides) <= 0)
            return false;
        for (unsigned y = static_cast<unsigned>(done); y < m_height; ++y)
            std::memcpy(top_row + static_cast<std::ptrdiff_t>(y) * step, m_scratch.data() + padded * y, row);
        return true;
    }

    static constexpr std::size_t scratch_slack = 256;

    void clear_frames()
    {
        for (AVFrame* f : m_ready)
            recycle(f);
        m_ready.clear();
    }

    // Empties a frame record and keeps it for a later frame.
    void recycle(AVFrame* f) noexcept
    {
        av_frame_unref(f);
        try {
            m_spare.push_back(f);
        } catch (...) {
            av_frame_free(&f);
        }
    }

    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    SwsContext* m_scaler = nullptr;
    std::deque<AVFrame*> m_ready;
    // Emptied frame records, reused for the next decoded frames.
    std::vector<AVFrame*> m_spare;
    // Rows aligned as the converter likes them (see convert).
    std::vector<std::uint8_t, aligned_allocator<std::uint8_t>> m_scratch;
    bool m_finished = false;
    int m_lag = 0;
    // The conversion thread and the frame it works on.
    std::thread m_converter;
    std::mutex m_job_lock;
    std::condition_variable m_job_posted;
    std::condition_variable m_job_done;
    conversion_job m_job;
    bool m_job_pending = false;
    bool m_stopping = false;
    std::exception_ptr m_job_failure;
};

} // namespace

bool intra_only(FOURCC handler, FOURCC compression)
{
    AVCodecID id = codec_of(compression);
    if (id == AV_CODEC_ID_NONE)
        id = codec_of(handler);
    const AVCodecDescriptor* d = id == AV_CODEC_ID_NONE ? nullptr : avcodec_descriptor_get(id);
    return d != nullptr && (d->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
}

std::unique_ptr<video_decompressor> video_decompressor::locate(
    FOURCC handler, const std::vector<std::uint8_t>& format)
{
    // Damaged frames are reported through the result codes; the codec
    // library's own messages would only reach the terminal.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    BITMAPINFOHEADER h;
    if (!read_bitmap_header(format, h) || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
        return nullptr;
    if (uncompressed(h.biCompression)) {
        if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)
            h.biCompression = BI_RGB;
        if (!dib_decompressor::supported(h))
            return nullptr;
        return std::make_unique<dib_decompressor>(h, format);
    }
    for (FOURCC tag : { h.biCompression, handler }) {
        AVCodecID id = codec_of(tag);
        if (id == AV_CODEC_ID_NONE)
            continue;
        if (auto d = codec_decompressor::open(id, tag, h, format))
            return d;
    }
    return nullptr;
}

} // namespace platform
