#include "platform/tests/avi_reference.h"

#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace platform::testing {

avi_summary reference_summary(const std::string& path, int wanted)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("reference demuxer cannot open " + path);
    avformat_find_stream_info(format, nullptr);
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) {
        avformat_close_input(&format);
        throw std::runtime_error("no video stream in " + path);
    }
    const AVStream* s = format->streams[stream];
    avi_summary out;
    out.width = unsigned(s->codecpar->width);
    out.height = unsigned(s->codecpar->height < 0 ? -s->codecpar->height : s->codecpar->height);
    // The time base is seconds per tick: its inverse is the frame rate.
    out.rate_numerator = s->time_base.den;
    out.rate_denominator = s->time_base.num;
    const AVCodec* codec = avcodec_find_decoder(s->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, s->codecpar);
    context->thread_count = 1;
    if (codec == nullptr || avcodec_open2(context, codec, nullptr) < 0) {
        avcodec_free_context(&context);
        avformat_close_input(&format);
        throw std::runtime_error("no reference decoder for " + path);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int decoded = 0;
    auto receive = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            if (decoded++ == wanted) {
                out.frame.assign(std::size_t(out.width) * out.height * 4, 0);
                SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                    int(out.width), int(out.height), AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr,
                    nullptr);
                std::uint8_t* planes[4] = { out.frame.data(), nullptr, nullptr, nullptr };
                int strides[4] = { int(out.width * 4), 0, 0, 0 };
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, strides);
                sws_freeContext(sws);
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream && packet->size > 0) {
            ++out.packets;
            avcodec_send_packet(context, packet);
            receive();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return out;
}

} // namespace platform::testing
