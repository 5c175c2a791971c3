#include "platform/video/video_compressor.h"

#include "platform/video/video_decompressor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace platform {

namespace {

// Frames beyond this size in either direction, or of more bytes than a
// 32-bit sample can describe, are refused before any encoder sees them.
constexpr std::int32_t max_side = 32768;
constexpr std::uint64_t max_frame_bytes = 0x7FFFFFFFu;

constexpr std::uint32_t default_quality = 9700;
constexpr std::uint32_t default_key_interval = 12;
constexpr std::uint32_t max_key_interval = 600;
constexpr std::uint32_t state_version = 1;

struct compressor_entry {
    const char* code;
    const char* name;
    const char* description;
    std::uint32_t flags;
    // The codec library's encoder; null for full uncompressed frames.
    const char* encoder;
    AVPixelFormat format_24;
    AVPixelFormat format_32;
    // Preset, tuning and rate factor of the H.264 encoder.
    bool x264;
    // The encoder takes its 4:2:0 chroma only whole: it refuses an odd
    // width or height where others pad the planes to their blocks.
    bool even_sides;
    // The largest width and height the bitstream can describe; 0 when only
    // our own limit applies.
    std::int32_t max_side;
};

// The installed compressors, in the order ICInfo lists them. Encoders the
// installed codec library lacks are left out of the list.
const compressor_entry table[] = {
    { "DIB ", "Full Frames (Uncompressed)", "Full frames, uncompressed RGB", 0, nullptr, AV_PIX_FMT_NONE,
        AV_PIX_FMT_NONE, false, false, 0 },
    { "MJPG", "Motion JPEG", "Motion JPEG, every frame a key frame", VIDCF_QUALITY, "mjpeg",
        AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUVJ420P, false, false, 0 },
    // Its picture header has 13 bits for each side.
    { "FMP4", "MPEG-4 Part 2", "MPEG-4 part 2 (ASP), readable as XviD", VIDCF_QUALITY | VIDCF_TEMPORAL,
        "mpeg4", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, false, false, 8191 },
    { "HFYU", "HuffYUV", "HuffYUV, lossless RGB", 0, "huffyuv", AV_PIX_FMT_RGB24, AV_PIX_FMT_RGB32, false,
        false, 0 },
    { "FFV1", "FFV1", "FFV1, lossless RGB", 0, "ffv1", AV_PIX_FMT_0RGB32, AV_PIX_FMT_RGB32, false, false, 0 },
    { "ULRG", "Ut Video RGB", "Ut Video, lossless RGB", 0, "utvideo", AV_PIX_FMT_GBRP, AV_PIX_FMT_GBRP, false,
        false, 0 },
    { "ULY0", "Ut Video YUV 4:2:0", "Ut Video, YUV 4:2:0", 0, "utvideo", AV_PIX_FMT_YUV420P,
        AV_PIX_FMT_YUV420P, false, true, 0 },
    // Its encoder takes at most 16384 pixels a side.
    { "H264", "H.264", "H.264 (AVC)", VIDCF_QUALITY | VIDCF_TEMPORAL, "libx264", AV_PIX_FMT_YUV420P,
        AV_PIX_FMT_YUV420P, true, true, 16384 },
};

FOURCC code_of(const compressor_entry& e)
{
    return mmioFOURCC(e.code[0], e.code[1], e.code[2], e.code[3]);
}

void quiet_codec_library()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

bool supports_format(const AVCodec* codec, AVPixelFormat format)
{
    if (codec->pix_fmts == nullptr)
        return true;
    for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
        if (*f == format)
            return true;
    return false;
}

// The installed entries: the uncompressed one and every entry whose encoder
// is present and takes the pixel formats we feed it.
const std::vector<std::size_t>& installed()
{
    static const std::vector<std::size_t> list = [] {
        quiet_codec_library();
        std::vector<std::size_t> out;
        for (std::size_t i = 0; i < std::size(table); ++i) {
            const compressor_entry& e = table[i];
            if (e.encoder != nullptr) {
                const AVCodec* c = avcodec_find_encoder_by_name(e.encoder);
                if (c == nullptr || !supports_format(c, e.format_24) || !supports_format(c, e.format_32))
                    continue;
            }
            out.push_back(i);
        }
        return out;
    }();
    return list;
}

std::uint64_t input_stride(const BITMAPINFOHEADER& h)
{
    return (std::uint64_t(std::uint32_t(h.biWidth)) * h.biBitCount + 31) / 32 * 4;
}

std::string size_text(const BITMAPINFOHEADER& h)
{
    return std::to_string(h.biWidth) + " x " + std::to_string(h.biHeight);
}

// Why no compressor of ours takes that input; empty when it is a frame we
// take at all.
std::string plain_refusal(const compressor_entry& e, const BITMAPINFOHEADER& h)
{
    const std::string name = e.name;
    if (h.biCompression != BI_RGB || (h.biBitCount != 24 && h.biBitCount != 32))
        return name + " takes only RGB frames of 24 or 32 bits";
    if (h.biWidth <= 0 || h.biHeight <= 0)
        return name + " takes only bottom-up frames of a positive size (" + size_text(h) + ")";
    if (h.biWidth > max_side || h.biHeight > max_side)
        return name + " takes frames of at most " + std::to_string(max_side) + " x "
            + std::to_string(max_side) + " (" + size_text(h) + ")";
    if (input_stride(h) * std::uint64_t(h.biHeight) > max_frame_bytes)
        return name + " takes frames of at most " + std::to_string(max_frame_bytes) + " bytes ("
            + size_text(h) + " at " + std::to_string(h.biBitCount) + " bits)";
    return {};
}

// Why the entry cannot take that input, as far as we know it before asking
// its encoder: known limits are told first, as the H.264 encoder's refusal
// leaks and the library's texts say less.
std::string input_refusal(const compressor_entry& e, const BITMAPINFOHEADER& h)
{
    if (std::string plain = plain_refusal(e, h); !plain.empty())
        return plain;
    if (e.even_sides && ((h.biWidth | h.biHeight) & 1) != 0)
        return std::string(e.name) + " takes only even frame widths and heights (" + size_text(h) + ")";
    if (e.max_side != 0 && (h.biWidth > e.max_side || h.biHeight > e.max_side))
        return std::string(e.name) + " takes frames of at most " + std::to_string(e.max_side) + " x "
            + std::to_string(e.max_side) + " (" + size_text(h) + ")";
    return {};
}

// The codec library's refusal of that input, with the library's own text.
std::string library_refusal(const compressor_entry& e, const BITMAPINFOHEADER& h, int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return std::string(e.name) + " refuses " + size_text(h) + " frames: " + text;
}

void put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

std::uint32_t get32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

std::vector<std::uint8_t> bitmap_header_bytes(const BITMAPINFOHEADER& h)
{
    std::vector<std::uint8_t> b(40);
    put32(&b[0], 40);
    put32(&b[4], std::uint32_t(h.biWidth));
    put32(&b[8], std::uint32_t(h.biHeight));
    put16(&b[12], h.biPlanes);
    put16(&b[14], h.biBitCount);
    put32(&b[16], h.biCompression);
    put32(&b[20], h.biSizeImage);
    put32(&b[24], std::uint32_t(h.biXPelsPerMeter));
    put32(&b[28], std::uint32_t(h.biYPelsPerMeter));
    put32(&b[32], h.biClrUsed);
    put32(&b[36], h.biClrImportant);
    return b;
}

} // namespace

// One open encoder for one input geometry.
struct video_compressor::engine {
    ~engine()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
        sws_freeContext(scaler);
    }

    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bits = 0;
    std::vector<std::uint8_t> format;
    bool begun = false;
    std::int64_t pts = 0;
};

namespace {

// The encoder for an input that input_refusal lets pass, or null with the
// library's reason in `refusal`.
std::unique_ptr<video_compressor::engine> make_engine(const compressor_entry& e,
    const BITMAPINFOHEADER& input, std::uint32_t quality, std::uint32_t key_interval, std::string& refusal)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(e.encoder);
    if (codec == nullptr) {
        refusal = library_refusal(e, input, AVERROR_ENCODER_NOT_FOUND);
        return nullptr;
    }
    auto engine = std::make_unique<video_compressor::engine>();
    engine->width = input.biWidth;
    engine->height = input.biHeight;
    engine->bits = input.biBitCount;
    engine->context = avcodec_alloc_context3(codec);
    engine->frame = av_frame_alloc();
    engine->packet = av_packet_alloc();
    if (engine->context == nullptr || engine->frame == nullptr || engine->packet == nullptr) {
        refusal = library_refusal(e, input, AVERROR(ENOMEM));
        return nullptr;
    }
    AVCodecContext* c = engine->context;
    c->width = input.biWidth;
    c->height = input.biHeight;
    c->pix_fmt = input.biBitCount == 32 ? e.format_32 : e.format_24;
    c->time_base = { 1, 25 };
    c->framerate = { 25, 1 };
    c->gop_size = int(key_interval);
    c->max_b_frames = 0;
    // One thread: frame threads would hold samples back, and one frame in
    // must give one sample out.
    c->thread_count = 1;
    c->codec_tag = code_of(e);
    if (c->pix_fmt == AV_PIX_FMT_YUVJ420P)
        c->color_range = AVCOL_RANGE_JPEG;
    if (e.x264) {
        av_opt_set(c->priv_data, "preset", "veryfast", 0);
        av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        const double crf = 51.0 * (10000 - quality) / 10000.0;
        av_opt_set_double(c->priv_data, "crf", crf, 0);
    } else if (e.flags & VIDCF_QUALITY) {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        const int q = 2 + int((10000 - quality) * 29 / 10000);
        c->global_quality = FF_QP2LAMBDA * q;
    }
    if (const int error = avcodec_open2(c, codec, nullptr); error < 0) {
        refusal = library_refusal(e, input, error);
        return nullptr;
    }
    engine->frame->format = c->pix_fmt;
    engine->frame->width = c->width;
    engine->frame->height = c->height;
    if (const int error = av_frame_get_buffer(engine->frame, 0); error < 0) {
        refusal = library_refusal(e, input, error);
        return nullptr;
    }
    // The scaler is made by the first frame, for the layout it comes in.
    BITMAPINFOHEADER out;
    out.biSize = 40;
    out.biWidth = input.biWidth;
    out.biHeight = input.biHeight;
    out.biPlanes = 1;
    out.biBitCount = std::uint16_t(c->bits_per_coded_sample > 0 ? c->bits_per_coded_sample : 24);
    out.biCompression = code_of(e);
    out.biSizeImage = std::uint32_t(std::uint64_t(input.biWidth) * std::uint64_t(input.biHeight) * 3);
    engine->format = bitmap_header_bytes(out);
    if (c->extradata_size > 0)
        engine->format.insert(engine->format.end(), c->extradata, c->extradata + c->extradata_size);
    return engine;
}

} // namespace

bool ICInfo(FOURCC type, int index, ICINFO& info)
{
    const auto& list = installed();
    if (type != ICTYPE_VIDEO || index < 0 || std::size_t(index) >= list.size())
        return false;
    const compressor_entry& e = table[list[std::size_t(index)]];
    info.fccType = ICTYPE_VIDEO;
    info.fccHandler = code_of(e);
    info.dwFlags = e.flags;
    info.szName = e.name;
    info.szDescription = e.description;
    return true;
}

std::unique_ptr<video_compressor> video_compressor::open(FOURCC handler)
{
    for (std::size_t i : installed())
        if (code_of(table[i]) == handler)
            return std::unique_ptr<video_compressor>(new video_compressor(i));
    return nullptr;
}

video_compressor::video_compressor(std::size_t table_index)
    : m_index(table_index)
    , m_quality(default_quality)
    , m_key_interval(default_key_interval)
{
}

video_compressor::~video_compressor() = default;

const ICINFO& video_compressor::info() const
{
    static const std::vector<ICINFO> infos = [] {
        std::vector<ICINFO> all(std::size(table));
        for (std::size_t i = 0; i < std::size(table); ++i)
            all[i] = { ICTYPE_VIDEO, code_of(table[i]), table[i].flags, table[i].name, table[i].description };
        return all;
    }();
    return infos[m_index];
}

int video_compressor::query(const BITMAPINFOHEADER& input) const
{
    const compressor_entry& e = table[m_index];
    if (!input_refusal(e, input).empty())
        return ICERR_BADFORMAT;
    if (e.encoder == nullptr)
        return ICERR_OK;
    // Beyond the limits we know, the encoder itself tells which sizes it
    // takes.
    std::string refusal;
    return make_engine(e, input, m_quality, m_key_interval, refusal) ? ICERR_OK : ICERR_BADFORMAT;
}

std::vector<std::uint8_t> video_compressor::state() const
{
    if (table[m_index].encoder == nullptr)
        return {};
    std::vector<std::uint8_t> block(state_size);
    std::memcpy(block.data(), "TVCS", 4);
    put32(&block[4], state_version);
    put32(&block[8], m_quality);
    put32(&block[12], m_key_interval);
    return block;
}

int video_compressor::set_state(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr || size == 0) {
        m_quality = default_quality;
        m_key_interval = default_key_interval;
        return ICERR_OK;
    }
    if (table[m_index].encoder == nullptr || size != state_size || std::memcmp(data, "TVCS", 4) != 0
        || get32(data + 4) != state_version)
        return ICERR_BADPARAM;
    const std::uint32_t quality = get32(data + 8);
    const std::uint32_t key_interval = get32(data + 12);
    if (quality > 10000 || key_interval < 1 || key_interval > max_key_interval)
        return ICERR_BADPARAM;
    m_quality = quality;
    m_key_interval = key_interval;
    return ICERR_OK;
}

const std::string& video_compressor::refusal() const
{
    return m_refusal;
}

int video_compressor::output_format(const BITMAPINFOHEADER& input, std::vector<std::uint8_t>& format)
{
    const compressor_entry& e = table[m_index];
    m_refusal = input_refusal(e, input);
    if (!m_refusal.empty())
        return ICERR_BADFORMAT;
    if (e.encoder == nullptr) {
        BITMAPINFOHEADER out = input;
        out.biSize = 40;
        out.biPlanes = 1;
        out.biSizeImage = std::uint32_t(input_stride(input) * std::uint32_t(input.biHeight));
        format = bitmap_header_bytes(out);
        return ICERR_OK;
    }
    if (m_engine && m_engine->begun) {
        m_refusal = std::string(e.name) + " is compressing already";
        return ICERR_ERROR;
    }
    if (!m_engine || m_engine->width != input.biWidth || m_engine->height != input.biHeight
        || m_engine->bits != input.biBitCount) {
        m_engine = make_engine(e, input, m_quality, m_key_interval, m_refusal);
        if (!m_engine)
            return ICERR_INTERNAL;
    }
    format = m_engine->format;
    return ICERR_OK;
}

std::size_t video_compressor::max_size(const BITMAPINFOHEADER& input) const
{
    m_refusal = plain_refusal(table[m_index], input);
    if (!m_refusal.empty())
        return 0;
    const std::uint64_t raw = input_stride(input) * std::uint32_t(input.biHeight);
    if (table[m_index].encoder == nullptr)
        return std::size_t(raw);
    // Lossless coders may exceed the raw size on noise; the codec library
    // bounds its own packets well below this.
    const std::uint64_t w = std::uint32_t(input.biWidth);
    const std::uint64_t h = std::uint32_t(input.biHeight);
    return std::size_t(std::min<std::uint64_t>(w * h * 8 + 65536, max_frame_bytes));
}

int video_compressor::begin(const BITMAPINFOHEADER& input, const std::vector<std::uint8_t>& format)
{
    // output_format refuses all that query refuses, and tells why.
    std::vector<std::uint8_t> expected;
    if (const int r = output_format(input, expected); r != ICERR_OK)
        return r == ICERR_INTERNAL ? ICERR_BADFORMAT : r;
    if (expected != format) {
        m_refusal = std::string(table[m_index].name) + " takes only the output format it gave for "
            + size_text(input) + " frames";
        return ICERR_BADFORMAT;
    }
    if (table[m_index].encoder == nullptr) {
        m_engine = std::make_unique<engine>();
        m_engine->width = input.biWidth;
        m_engine->height = input.biHeight;
        m_engine->bits = input.biBitCount;
    }
    m_engine->begun = true;
    m_engine->pts = 0;
    return ICERR_OK;
}

int video_compressor::end()
{
    // The encoder cannot be reused after its stream ended; the next begin
    // makes a new one.
    m_engine.reset();
    return ICERR_OK;
}

int video_compressor::compress(const std::uint8_t* pixels, std::uint8_t* out, std::size_t capacity,
    std::size_t& size, std::uint32_t& flags)
{
    if (!m_engine || !m_engine->begun) {
        size = 0;
        flags = 0;
        return ICERR_ERROR;
    }
    BITMAPINFOHEADER h;
    h.biWidth = m_engine->width;
    h.biHeight = m_engine->height;
    h.biBitCount = m_engine->bits;
    const auto stride = std::ptrdiff_t(input_stride(h));
    return compress_rows(
        pixels + stride * (m_engine->height - 1), -stride, m_engine->bits, out, capacity, size, flags);
}

int video_compressor::compress_rows(const std::uint8_t* top_row, std::ptrdiff_t step, unsigned bits,
    std::uint8_t* out, std::size_t capacity, std::size_t& size, std::uint32_t& flags)
{
    size = 0;
    flags = 0;
    if (!m_engine || !m_engine->begun)
        return ICERR_ERROR;
    if (bits != 24 && bits != 32)
        return ICERR_BADFORMAT;
    engine& g = *m_engine;
    const unsigned in_bytes = bits / 8;
    if (g.context == nullptr) {
        // Full frames: the begun input format's bottom-up rows.
        BITMAPINFOHEADER h;
        h.biWidth = g.width;
        h.biHeight = g.height;
        h.biBitCount = g.bits;
        const std::uint64_t stride = input_stride(h);
        const std::uint64_t bytes = stride * std::uint32_t(g.height);
        if (bytes > capacity)
            return ICERR_BADSIZE;
        const unsigned out_bytes = g.bits / 8u;
        const std::size_t w = std::size_t(g.width);
        for (std::int32_t y = 0; y < g.height; ++y) {
            const std::uint8_t* in = top_row + step * y;
            std::uint8_t* row = out + stride * std::uint64_t(g.height - 1 - y);
            if (in_bytes == out_bytes) {
                std::memcpy(row, in, w * out_bytes);
            } else {
                for (std::size_t x = 0; x < w; ++x) {
                    row[out_bytes * x] = in[in_bytes * x];
                    row[out_bytes * x + 1] = in[in_bytes * x + 1];
                    row[out_bytes * x + 2] = in[in_bytes * x + 2];
                    if (out_bytes == 4)
                        row[out_bytes * x + 3] = 0xFF;
                }
            }
            std::memset(row + w * out_bytes, 0, std::size_t(stride) - w * out_bytes);
        }
        size = std::size_t(bytes);
        flags = AVIIF_KEYFRAME;
        return ICERR_OK;
    }
    if (step > INT32_MAX || step < -std::ptrdiff_t(INT32_MAX))
        return ICERR_BADPARAM;
    g.scaler = sws_getCachedContext(g.scaler, g.width, g.height,
        bits == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24, g.width, g.height, g.context->pix_fmt,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
    if (g.scaler == nullptr)
        return ICERR_INTERNAL;
    if (av_frame_make_writable(g.frame) < 0)
        return ICERR_MEMORY;
    const std::uint8_t* planes[4] = { top_row, nullptr, nullptr, nullptr };
    const int strides[4] = { int(step), 0, 0, 0 };
    if (sws_scale(g.scaler, planes, strides, 0, g.height, g.frame->data, g.frame->linesize) <= 0)
        return ICERR_INTERNAL;
    g.frame->pts = g.pts++;
    g.frame->quality = g.context->global_quality;
    g.frame->pict_type = AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(g.context, g.frame) < 0)
        return ICERR_INTERNAL;
    if (avcodec_receive_packet(g.context, g.packet) < 0)
        return ICERR_INTERNAL;
    const std::size_t bytes = std::size_t(g.packet->size);
    const bool key = (g.packet->flags & AV_PKT_FLAG_KEY) != 0;
    if (bytes > capacity) {
        av_packet_unref(g.packet);
        return ICERR_BADSIZE;
    }
    std::memcpy(out, g.packet->data, bytes);
    av_packet_unref(g.packet);
    size = bytes;
    flags = key ? AVIIF_KEYFRAME : 0;
    return ICERR_OK;
}

} // namespace platform
