#include "platform/tests/avi_samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace platform::testing {

namespace {

void put16(std::vector<std::uint8_t>& b, std::uint32_t v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void put64(std::vector<std::uint8_t>& b, std::uint64_t v)
{
    put32(b, std::uint32_t(v));
    put32(b, std::uint32_t(v >> 32));
}

void patch32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(v >> (8 * i));
}

void put_fourcc(std::vector<std::uint8_t>& b, const char* id)
{
    b.insert(b.end(), id, id + 4);
}

// Starts a chunk (or a list with its type); returns where its size goes.
std::size_t begin_chunk(std::vector<std::uint8_t>& b, const char* id, const char* type = nullptr)
{
    put_fourcc(b, id);
    std::size_t at = b.size();
    put32(b, 0);
    if (type != nullptr)
        put_fourcc(b, type);
    return at;
}

void end_chunk(std::vector<std::uint8_t>& b, std::size_t at)
{
    patch32(b, at, std::uint32_t(b.size() - at - 4));
    if (b.size() & 1)
        b.push_back(0);
}

class frame_converter {
public:
    ~frame_converter() { sws_freeContext(m_scaler); }

    void to_bgra(const AVFrame* f, unsigned width, unsigned height, std::vector<std::uint8_t>& out)
    {
        // The converter may write whole vector units past a row's end: it
        // writes into rows with room after them.
        const std::size_t row = std::size_t(width) * 4;
        const std::size_t padded = (row + 256 + 63) / 64 * 64;
        m_scratch.resize(padded * height + 256);
        m_scaler = sws_getCachedContext(m_scaler, f->width, f->height, AVPixelFormat(f->format), int(width),
            int(height), AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        std::uint8_t* planes[4] = { m_scratch.data(), nullptr, nullptr, nullptr };
        int strides[4] = { int(padded), 0, 0, 0 };
        sws_scale(m_scaler, f->data, f->linesize, 0, f->height, planes, strides);
        out.resize(row * height);
        for (unsigned y = 0; y < height; ++y)
            std::memcpy(out.data() + row * y, m_scratch.data() + padded * y, row);
    }

private:
    SwsContext* m_scaler = nullptr;
    std::vector<std::uint8_t> m_scratch;
};

} // namespace

std::vector<std::uint8_t> test_picture(unsigned width, unsigned height, int index, bool textured)
{
    std::vector<std::uint8_t> p(std::size_t(width) * height * 4);
    unsigned bx = unsigned(index * 5) % (width > 16 ? width - 16 : 1);
    unsigned by = unsigned(index * 3) % (height > 16 ? height - 16 : 1);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            std::uint8_t* q = &p[(std::size_t(y) * width + x) * 4];
            q[0] = std::uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            q[1] = std::uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            q[2] = std::uint8_t(128 + 90 * std::sin((x + 2.0 * index) / 23.0) * std::cos((y - index) / 31.0));
            q[3] = 255;
            if (textured) {
                std::uint32_t h
                    = (x + 2 * std::uint32_t(index)) * 0x9E3779B1u ^ (y + std::uint32_t(index)) * 0x85EBCA77u;
                h ^= h >> 15;
                h *= 0x2C1B3C6Du;
                h ^= h >> 12;
                int grain = int(h & 31) - 16;
                for (int c = 0; c < 3; ++c)
                    q[c] = std::uint8_t(std::clamp(int(q[c]) + grain, 0, 255));
            }
            if (x >= bx && x < bx + 16 && y >= by && y < by + 16) {
                q[0] = 40;
                q[1] = 200;
                q[2] = 230;
            }
        }
    return p;
}

std::vector<std::uint8_t> smooth_picture(unsigned width, unsigned height, int index)
{
    std::vector<std::uint8_t> p(std::size_t(width) * height * 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            std::uint8_t* q = &p[(std::size_t(y) * width + x) * 4];
            q[0] = std::uint8_t(128 + 90 * std::sin((x + 2.0 * index) / 23.0));
            q[1] = std::uint8_t(128 + 90 * std::cos((y - 1.0 * index) / 19.0));
            q[2] = std::uint8_t(128 + 80 * std::sin((x + y + 3.0 * index) / 29.0));
            q[3] = 255;
        }
    return p;
}

std::vector<std::uint8_t> bitmap_format(std::int32_t width, std::int32_t height, std::uint16_t bits,
    FOURCC compression, const std::vector<std::uint8_t>& extra)
{
    std::vector<std::uint8_t> f;
    put32(f, 40);
    put32(f, std::uint32_t(width));
    put32(f, std::uint32_t(height));
    put16(f, 1);
    put16(f, bits);
    put32(f, compression);
    std::uint64_t h = height < 0 ? -std::int64_t(height) : height;
    put32(f, std::uint32_t(std::uint64_t(width) * h * (bits ? bits : 24) / 8));
    put32(f, 0);
    put32(f, 0);
    put32(f, bits == 8 ? 256 : 0);
    put32(f, 0);
    f.insert(f.end(), extra.begin(), extra.end());
    return f;
}

std::vector<std::uint8_t> uncompressed_picture(unsigned width, unsigned height, int index, int bits)
{
    auto p = test_picture(width, height, index);
    for (std::size_t i = 0; i < p.size(); i += 4) {
        if (bits == 8) {
            std::uint8_t g = std::uint8_t((p[i] + p[i + 1] + p[i + 2]) / 3);
            p[i] = p[i + 1] = p[i + 2] = g;
        } else if (bits == 16) {
            for (int c = 0; c < 3; ++c) {
                unsigned v = p[i + c] >> 3;
                p[i + c] = std::uint8_t(v << 3 | v >> 2);
            }
        }
    }
    return p;
}

std::vector<avi_sample> uncompressed_samples(
    unsigned width, unsigned height, int frames, int bits, bool top_down, avi_layout& layout)
{
    std::vector<std::uint8_t> palette;
    if (bits == 8)
        for (int i = 0; i < 256; ++i) {
            palette.insert(palette.end(), { std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0 });
        }
    layout.handler = mmioFOURCC('D', 'I', 'B', ' ');
    layout.compressed = false;
    layout.format = bitmap_format(std::int32_t(width),
        top_down ? -std::int32_t(height) : std::int32_t(height), std::uint16_t(bits), BI_RGB, palette);
    std::size_t stride = (std::size_t(width) * unsigned(bits) + 31) / 32 * 4;
    std::vector<avi_sample> samples;
    for (int i = 0; i < frames; ++i) {
        auto p = uncompressed_picture(width, height, i, bits);
        avi_sample s;
        s.data.assign(stride * height, 0);
        for (unsigned y = 0; y < height; ++y) {
            std::uint8_t* row = &s.data[(top_down ? y : height - 1 - y) * stride];
            for (unsigned x = 0; x < width; ++x) {
                const std::uint8_t* q = &p[(std::size_t(y) * width + x) * 4];
                switch (bits) {
                case 8:
                    row[x] = q[0];
                    break;
                case 16: {
                    unsigned v = unsigned(q[2] >> 3) << 10 | unsigned(q[1] >> 3) << 5 | unsigned(q[0] >> 3);
                    row[2 * x] = std::uint8_t(v);
                    row[2 * x + 1] = std::uint8_t(v >> 8);
                    break;
                }
                case 24:
                    std::memcpy(row + 3 * x, q, 3);
                    break;
                default:
                    std::memcpy(row + 4 * x, q, 3);
                    row[4 * x + 3] = 0;
                    break;
                }
            }
        }
        samples.push_back(std::move(s));
    }
    return samples;
}

std::vector<avi_sample> encoded_samples(
    unsigned width, unsigned height, int frames, const encoder_settings& settings, avi_layout& layout)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(settings.encoder.c_str());
    if (codec == nullptr)
        return {};
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->width = int(width);
    c->height = int(height);
    c->time_base = { 1, 25 };
    c->framerate = { 25, 1 };
    c->gop_size = settings.gop;
    c->max_b_frames = settings.b_frames;
    c->thread_count = 1;
    c->pix_fmt = codec->pix_fmts != nullptr ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (codec->pix_fmts != nullptr)
        for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
            if (*f == AV_PIX_FMT_YUV420P || *f == AV_PIX_FMT_YUVJ420P) {
                c->pix_fmt = *f;
                break;
            }
    if (settings.encoder == "huffyuv")
        c->pix_fmt = AV_PIX_FMT_RGB24;
    if (settings.encoder == "mjpeg")
        c->color_range = AVCOL_RANGE_JPEG;
    // Key frames only where the group size puts them; groups closed, so
    // that decoding from a key frame gives every frame of its group.
    if (settings.encoder == "libx264") {
        av_opt_set(c->priv_data, "x264-params", "scenecut=0", 0);
    } else {
        av_opt_set_int(c, "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
        if (settings.b_frames > 0)
            c->flags |= AV_CODEC_FLAG_CLOSED_GOP;
    }
    if (settings.encoder == "libx264") {
        av_opt_set(c->priv_data, "preset", "veryfast", 0);
        av_opt_set(c->priv_data, "crf", "12", 0);
    } else if (settings.quantiser > 0) {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * settings.quantiser;
    }
    if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return {};
    }
    std::vector<std::uint8_t> extra;
    if (c->extradata_size > 0)
        extra.assign(c->extradata, c->extradata + c->extradata_size);
    std::uint16_t bits = settings.encoder == "huffyuv" ? 24 : 24;
    layout.handler = settings.fourcc;
    layout.compressed = true;
    layout.format = bitmap_format(int(width), int(height), bits, settings.fourcc, extra);

    AVFrame* frame = av_frame_alloc();
    frame->format = c->pix_fmt;
    frame->width = c->width;
    frame->height = c->height;
    av_frame_get_buffer(frame, 0);
    SwsContext* sws = sws_getContext(int(width), int(height), AV_PIX_FMT_BGRA, int(width), int(height),
        c->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
    AVPacket* packet = av_packet_alloc();
    std::vector<avi_sample> samples;
    auto drain = [&] {
        while (avcodec_receive_packet(c, packet) == 0) {
            avi_sample s;
            s.data.assign(packet->data, packet->data + packet->size);
            s.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            samples.push_back(std::move(s));
            av_packet_unref(packet);
        }
    };
    for (int i = 0; i < frames; ++i) {
        auto p = test_picture(width, height, i, settings.textured);
        av_frame_make_writable(frame);
        const std::uint8_t* src[4] = { p.data(), nullptr, nullptr, nullptr };
        int src_stride[4] = { int(width * 4), 0, 0, 0 };
        sws_scale(sws, src, src_stride, 0, int(height), frame->data, frame->linesize);
        frame->pts = i;
        if (settings.quantiser > 0)
            frame->quality = c->global_quality;
        avcodec_send_frame(c, frame);
        drain();
    }
    avcodec_send_frame(c, nullptr);
    drain();
    av_packet_free(&packet);
    sws_freeContext(sws);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    return samples;
}

void write_avi(const std::string& path, const avi_layout& layout, const std::vector<avi_sample>& samples)
{
    const bool odml = layout.index == avi_layout::index_kind::opendml;
    const int per_riff = odml && layout.frames_per_riff > 0 ? layout.frames_per_riff : int(samples.size());
    const int riffs
        = samples.empty() ? 1 : int((samples.size() + std::size_t(per_riff) - 1) / std::size_t(per_riff));
    const char* chunk_id = layout.compressed ? "00dc" : "00db";
    BITMAPINFOHEADER bh;
    read_bitmap_header(layout.format, bh);
    std::uint32_t height = std::uint32_t(bh.biHeight < 0 ? -bh.biHeight : bh.biHeight);

    std::vector<std::uint8_t> b;
    std::size_t riff = begin_chunk(b, "RIFF", "AVI ");
    std::size_t hdrl = begin_chunk(b, "LIST", "hdrl");
    std::size_t avih = begin_chunk(b, "avih");
    put32(b, std::uint32_t(1000000ull * layout.scale / (layout.rate ? layout.rate : 1)));
    put32(b, 0);
    put32(b, 0);
    put32(b, layout.index == avi_layout::index_kind::idx1 ? 0x10 : 0);
    put32(b, std::uint32_t(samples.size()));
    put32(b, 0);
    put32(b, 1);
    put32(b, 0);
    put32(b, std::uint32_t(bh.biWidth));
    put32(b, height);
    for (int i = 0; i < 4; ++i)
        put32(b, 0);
    end_chunk(b, avih);
    std::size_t strl = begin_chunk(b, "LIST", "strl");
    std::size_t strh = begin_chunk(b, "strh");
    put_fourcc(b, "vids");
    put32(b, layout.handler);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, layout.scale);
    put32(b, layout.rate);
    put32(b, 0);
    put32(b, std::uint32_t(samples.size()));
    put32(b, 0);
    put32(b, 0xFFFFFFFFu);
    put32(b, 0);
    put16(b, 0);
    put16(b, 0);
    put16(b, std::uint16_t(bh.biWidth));
    put16(b, std::uint16_t(height));
    end_chunk(b, strh);
    std::size_t strf = begin_chunk(b, "strf");
    b.insert(b.end(), layout.format.begin(), layout.format.end());
    end_chunk(b, strf);
    std::size_t super_entries = 0;
    if (odml) {
        std::size_t indx = begin_chunk(b, "indx");
        put16(b, 4);
        b.push_back(0);
        b.push_back(0);
        put32(b, std::uint32_t(riffs));
        put_fourcc(b, chunk_id);
        put32(b, 0);
        put32(b, 0);
        put32(b, 0);
        super_entries = b.size();
        for (int i = 0; i < riffs; ++i) {
            put64(b, 0);
            put32(b, 0);
            put32(b, 0);
        }
        end_chunk(b, indx);
    }
    end_chunk(b, strl);
    end_chunk(b, hdrl);

    struct placed {
        std::size_t header;
        std::size_t data;
    };
    std::vector<placed> where;
    std::size_t sample = 0;
    std::size_t first_movi = 0;
    for (int r = 0; r < riffs; ++r) {
        std::size_t this_riff = riff;
        if (r > 0)
            this_riff = begin_chunk(b, "RIFF", "AVIX");
        std::size_t movi = begin_chunk(b, "LIST", "movi");
        std::size_t movi_type = movi + 4;
        if (r == 0)
            first_movi = movi_type;
        std::size_t begin = sample;
        for (int k = 0; k < per_riff && sample < samples.size(); ++k, ++sample) {
            std::size_t head = begin_chunk(b, chunk_id);
            where.push_back({ head - 4, b.size() });
            b.insert(b.end(), samples[sample].data.begin(), samples[sample].data.end());
            end_chunk(b, head);
        }
        if (odml) {
            std::size_t ix_head = b.size();
            std::size_t ix = begin_chunk(b, "ix00");
            put16(b, 2);
            b.push_back(0);
            b.push_back(1);
            put32(b, std::uint32_t(sample - begin));
            put_fourcc(b, chunk_id);
            put64(b, movi_type);
            put32(b, 0);
            for (std::size_t i = begin; i < sample; ++i) {
                put32(b, std::uint32_t(where[i].data - movi_type));
                put32(b, std::uint32_t(samples[i].data.size()) | (samples[i].key ? 0 : 0x80000000u));
            }
            end_chunk(b, ix);
            std::size_t e = super_entries + 16 * std::size_t(r);
            patch32(b, e, std::uint32_t(ix_head));
            patch32(b, e + 4, std::uint32_t(std::uint64_t(ix_head) >> 32));
            patch32(b, e + 8, std::uint32_t(b.size() - ix_head));
            patch32(b, e + 12, std::uint32_t(sample - begin));
        }
        end_chunk(b, movi);
        if (r == 0 && layout.index == avi_layout::index_kind::idx1) {
            std::size_t idx1 = begin_chunk(b, "idx1");
            for (std::size_t i = 0; i < samples.size(); ++i) {
                put_fourcc(b, chunk_id);
                put32(b, samples[i].key ? 0x10 : 0);
                put32(b, std::uint32_t(where[i].header - first_movi));
                put32(b, std::uint32_t(samples[i].data.size()));
            }
            end_chunk(b, idx1);
        }
        end_chunk(b, this_riff);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

struct direct_decoder::state {
    AVCodecContext* context = nullptr;
    std::vector<AVPacket*> packets;
    AVFrame* frame = nullptr;
    frame_converter converter;
    std::vector<std::uint8_t> picture;
    unsigned width = 0;
    unsigned height = 0;

    ~state()
    {
        for (AVPacket* p : packets)
            av_packet_free(&p);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }

    // Receives every ready frame; `until`, when not negative, stops after
    // that many frames in all.
    int receive(int count, std::vector<std::vector<std::uint8_t>>* out)
    {
        while (avcodec_receive_frame(context, frame) == 0) {
            converter.to_bgra(frame, width, height, picture);
            if (out != nullptr)
                out->push_back(picture);
            av_frame_unref(frame);
            ++count;
        }
        return count;
    }
};

direct_decoder::direct_decoder(const std::string& path)
    : m_state(new state)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("reference demuxer cannot open " + path);
    avformat_find_stream_info(format, nullptr);
    int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) {
        avformat_close_input(&format);
        throw std::runtime_error("no video stream in " + path);
    }
    const AVCodecParameters* par = format->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    m_state->context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(m_state->context, par);
    m_state->context->thread_count = 1;
    m_state->width = unsigned(par->width);
    m_state->height = unsigned(par->height < 0 ? -par->height : par->height);
    if (codec == nullptr || avcodec_open2(m_state->context, codec, nullptr) < 0) {
        avformat_close_input(&format);
        throw std::runtime_error("no reference decoder for " + path);
    }
    AVPacket* p = av_packet_alloc();
    while (av_read_frame(format, p) >= 0) {
        if (p->stream_index == stream && p->size > 0) {
            m_state->packets.push_back(p);
            p = av_packet_alloc();
        } else {
            av_packet_unref(p);
        }
    }
    av_packet_free(&p);
    avformat_close_input(&format);
    m_state->frame = av_frame_alloc();
}

direct_decoder::~direct_decoder() = default;

int direct_decoder::decode_all()
{
    avcodec_flush_buffers(m_state->context);
    int count = 0;
    for (AVPacket* p : m_state->packets) {
        avcodec_send_packet(m_state->context, p);
        count = m_state->receive(count, nullptr);
    }
    avcodec_send_packet(m_state->context, nullptr);
    count = m_state->receive(count, nullptr);
    avcodec_flush_buffers(m_state->context);
    return count;
}

void direct_decoder::decode_frame(int frame)
{
    int key = frame;
    while (key > 0 && !(m_state->packets[std::size_t(key)]->flags & AV_PKT_FLAG_KEY))
        --key;
    avcodec_flush_buffers(m_state->context);
    int count = key;
    for (std::size_t i = std::size_t(key); i < m_state->packets.size() && count <= frame; ++i) {
        avcodec_send_packet(m_state->context, m_state->packets[i]);
        count = m_state->receive(count, nullptr);
    }
    if (count <= frame) {
        avcodec_send_packet(m_state->context, nullptr);
        m_state->receive(count, nullptr);
    }
    avcodec_flush_buffers(m_state->context);
}

std::vector<std::vector<std::uint8_t>> reference_decode(
    const std::string& path, unsigned* width, unsigned* height)
{
    direct_decoder d(path);
    std::vector<std::vector<std::uint8_t>> frames;
    auto& s = *d.m_state;
    for (AVPacket* p : s.packets) {
        avcodec_send_packet(s.context, p);
        s.receive(0, &frames);
    }
    avcodec_send_packet(s.context, nullptr);
    s.receive(0, &frames);
    if (width != nullptr)
        *width = s.width;
    if (height != nullptr)
        *height = s.height;
    return frames;
}

double psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t pixels)
{
    double sum = 0;
    for (std::size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) {
            double d = double(a[4 * i + c]) - double(b[4 * i + c]);
            sum += d * d;
        }
    if (sum == 0)
        return std::numeric_limits<double>::infinity();
    double mse = sum / (3.0 * double(pixels));
    return 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace platform::testing
