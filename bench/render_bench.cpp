// Render output: 300 frames of 720 x 576 written as BMP, TGA, PNG and JPEG
// sequences and as AVI files with MJPEG and FFV1, through the render
// settings' writers; beside each, the same encoder called directly with the
// same settings, writing the same bytes (or, for the AVI codecs, the same
// samples without the container) to files, plainly and (for the sequences)
// saved as durably as ours. The "fps" counter is frames written per second.
#include "foundation/image/image.h"
#include "vortel/settings.h"

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr unsigned width = 720;
constexpr unsigned height = 576;
constexpr int frames = 300;

using frame_image = img::image<img::BGRA<unsigned char>>;

// Frames with smooth shading, edges and a little noise, like video; a few
// distinct ones, cycled.
const std::vector<frame_image>& source_frames()
{
    static const std::vector<frame_image> list = [] {
        std::vector<frame_image> out;
        for (int k = 0; k < 8; ++k) {
            frame_image f(width, height, 4);
            unsigned noise = 12345u + unsigned(k);
            for (unsigned y = 0; y < height; ++y)
                for (unsigned x = 0; x < width; ++x) {
                    noise = noise * 1103515245 + 12345;
                    const int n = int((noise >> 16) & 7) - 4;
                    const bool inside = ((x + 7 * unsigned(k)) / 90 + y / 72) % 2 == 0;
                    auto clamp
                        = [](int v) { return static_cast<unsigned char>(std::min(255, std::max(0, v))); };
                    f.at(x, y) = img::BGRA<unsigned char> { clamp(int(x * 255 / width) + n),
                        clamp(int(y * 200 / height) + (inside ? 40 : 0) + n),
                        clamp(128 + int(60 * std::sin(x * 0.02 + k * 0.1)) + n), 255 };
                }
            out.push_back(std::move(f));
        }
        return out;
    }();
    return list;
}

// A folder of the benchmark's own, emptied after each run.
struct scratch {
    scratch()
        : root(fs::temp_directory_path() / ("tavelo_render_bench_" + std::to_string(::getpid())))
    {
        fs::create_directories(root);
    }
    ~scratch() { fs::remove_all(root); }
    // Empties the folder between iterations, outside the timing.
    void empty(benchmark::State& state)
    {
        state.PauseTiming();
        fs::remove_all(root);
        fs::create_directories(root);
        state.ResumeTiming();
    }
    std::string file(const std::string& name) const { return (root / name).string(); }
    fs::path root;
};

void count(benchmark::State& state)
{
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
}

// ---- ours: the render settings' writers ----

// Writes the frames through the writer `settings` open on `file_name` (in
// a scratch folder), once per iteration; `over_earlier`: each iteration
// replaces the files of the one before.
void render_ours(benchmark::State& state, vortel::settings& settings, const std::string& file_name,
    bool over_earlier = false)
{
    const auto& source = source_frames();
    scratch folder;
    for (auto _ : state) {
        auto writer = settings.silent_open_writer({ width, height }, fraction(25, 1), folder.file(file_name));
        for (int i = 0; i < frames; ++i)
            writer->write(source[std::size_t(i) % source.size()]);
        writer->finish();
        if (!over_earlier)
            folder.empty(state);
    }
    count(state);
}

void sequence_ours(benchmark::State& state, const char* format, bool over_earlier = false)
{
    vortel::settings settings;
    settings.format = format;
    render_ours(state, settings, std::string("f_[###].") + format, over_earlier);
}

void avi_ours(benchmark::State& state, const char* code)
{
    vortel::settings settings;
    settings.format = "avi";
    settings.encoder.open_code(settings.encoder_info,
        std::uint32_t(code[0]) | std::uint32_t(code[1]) << 8 | std::uint32_t(code[2]) << 16
            | std::uint32_t(code[3]) << 24);
    render_ours(state, settings, "f.avi");
}

// ---- the encoders called directly ----

std::string numbered(const scratch& folder, int i, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "f_%03d.%s", i, extension);
    return folder.file(name);
}

// One row of BGRA pixels as the BGR bytes of BMP and TGA files.
void bgr_row(const unsigned char* in, unsigned char* out)
{
    for (unsigned x = 0; x < width; ++x) {
        out[3 * x] = in[4 * x];
        out[3 * x + 1] = in[4 * x + 1];
        out[3 * x + 2] = in[4 * x + 2];
    }
}

void write_bmp(const std::string& path, const frame_image& f)
{
    const std::uint32_t stride = (width * 3 + 3) / 4 * 4;
    std::vector<unsigned char> bytes(54 + std::size_t(stride) * height, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + std::size_t(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, std::uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    for (unsigned y = 0; y < height; ++y)
        bgr_row(f.rows[y], &bytes[54 + std::size_t(stride) * (height - 1 - y)]);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void write_tga(const std::string& path, const frame_image& f)
{
    std::vector<unsigned char> bytes(18 + std::size_t(width) * height * 3, 0);
    bytes[2] = 2;
    bytes[12] = width & 0xFF;
    bytes[13] = width >> 8;
    bytes[14] = height & 0xFF;
    bytes[15] = height >> 8;
    bytes[16] = 24;
    bytes[17] = 0x20;
    for (unsigned y = 0; y < height; ++y)
        bgr_row(f.rows[y], &bytes[18 + std::size_t(width) * 3 * y]);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void write_png(const std::string& path, const frame_image& f)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    std::vector<png_bytep> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(f.rows[y]);
    png_write_rows(png, rows.data(), height);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void write_jpeg(const std::string& path, const frame_image& f)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 75, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(f.rows[info.next_scanline]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// Our image files are saved as every file of the system is: complete and
// flushed to the disc before they replace the target, the folder flushed
// after. The durable variants of the direct writers do the same steps, so
// that the comparison separates the encoder's cost from the disc's.
void save_durably(const std::string& temporary, const std::string& target, const fs::path& folder)
{
    const int file = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    ::fsync(file);
    ::close(file);
    std::rename(temporary.c_str(), target.c_str());
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::fsync(dir);
    ::close(dir);
}

template <class Write>
void sequence_direct(benchmark::State& state, const char* extension, Write write, bool durable = false)
{
    const auto& source = source_frames();
    scratch folder;
    for (auto _ : state) {
        for (int i = 0; i < frames; ++i) {
            const std::string name = numbered(folder, i, extension);
            if (!durable) {
                write(name, source[std::size_t(i) % source.size()]);
                continue;
            }
            write(name + ".tmp", source[std::size_t(i) % source.size()]);
            save_durably(name + ".tmp", name, folder.root);
        }
        folder.empty(state);
    }
    count(state);
}

// The codec library's encoder with the settings our compressor uses by
// default (one thread, no B-frames, MJPEG at quantiser 2), fed BGRA frames;
// the samples go to one file.
void avi_direct(benchmark::State& state, const char* encoder, AVPixelFormat format)
{
    const auto& source = source_frames();
    scratch folder;
    for (auto _ : state) {
        const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
        AVCodecContext* c = avcodec_alloc_context3(codec);
        c->width = width;
        c->height = height;
        c->pix_fmt = format;
        c->time_base = { 1, 25 };
        c->framerate = { 25, 1 };
        c->gop_size = 12;
        c->max_b_frames = 0;
        c->thread_count = 1;
        if (format == AV_PIX_FMT_YUVJ420P) {
            c->color_range = AVCOL_RANGE_JPEG;
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = FF_QP2LAMBDA * 2;
        }
        if (avcodec_open2(c, codec, nullptr) < 0) {
            state.SkipWithError("encoder does not open");
            return;
        }
        AVFrame* picture = av_frame_alloc();
        picture->format = format;
        picture->width = width;
        picture->height = height;
        av_frame_get_buffer(picture, 0);
        SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, format,
            SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
        AVPacket* packet = av_packet_alloc();
        FILE* out = std::fopen(folder.file("f.raw").c_str(), "wb");
        for (int i = 0; i < frames; ++i) {
            const frame_image& f = source[std::size_t(i) % source.size()];
            av_frame_make_writable(picture);
            const std::uint8_t* planes[4] = { f.rows[0], nullptr, nullptr, nullptr };
            const int strides[4] = { int(f.stride), 0, 0, 0 };
            sws_scale(sws, planes, strides, 0, height, picture->data, picture->linesize);
            picture->pts = i;
            picture->quality = c->global_quality;
            avcodec_send_frame(c, picture);
            while (avcodec_receive_packet(c, packet) == 0) {
                std::fwrite(packet->data, 1, std::size_t(packet->size), out);
                av_packet_unref(packet);
            }
        }
        std::fclose(out);
        av_packet_free(&packet);
        sws_freeContext(sws);
        av_frame_free(&picture);
        avcodec_free_context(&c);
        folder.empty(state);
    }
    count(state);
}

} // namespace

// Registered by hand so that each case keeps its plain name.
int main(int argc, char** argv)
{
    const auto add = [](const char* name, auto run) {
        benchmark::RegisterBenchmark(name, run)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    add("BmpSequence_Ours", [](benchmark::State& s) { sequence_ours(s, "bmp"); });
    add("BmpSequenceOverEarlier_Ours", [](benchmark::State& s) { sequence_ours(s, "bmp", true); });
    add("BmpSequence_Direct", [](benchmark::State& s) { sequence_direct(s, "bmp", write_bmp); });
    add("BmpSequence_DirectDurable", [](benchmark::State& s) { sequence_direct(s, "bmp", write_bmp, true); });
    add("TgaSequence_Ours", [](benchmark::State& s) { sequence_ours(s, "tga"); });
    add("TgaSequence_Direct", [](benchmark::State& s) { sequence_direct(s, "tga", write_tga); });
    add("TgaSequence_DirectDurable", [](benchmark::State& s) { sequence_direct(s, "tga", write_tga, true); });
    add("PngSequence_Ours", [](benchmark::State& s) { sequence_ours(s, "png"); });
    add("PngSequence_Direct", [](benchmark::State& s) { sequence_direct(s, "png", write_png); });
    add("JpegSequence_Ours", [](benchmark::State& s) { sequence_ours(s, "jpeg"); });
    add("JpegSequence_Direct", [](benchmark::State& s) { sequence_direct(s, "jpeg", write_jpeg); });
    add("JpegSequence_DirectDurable",
        [](benchmark::State& s) { sequence_direct(s, "jpeg", write_jpeg, true); });
    add("MjpegAvi_Ours", [](benchmark::State& s) { avi_ours(s, "MJPG"); });
    add("MjpegAvi_Direct", [](benchmark::State& s) { avi_direct(s, "mjpeg", AV_PIX_FMT_YUVJ420P); });
    add("Ffv1Avi_Ours", [](benchmark::State& s) { avi_ours(s, "FFV1"); });
    add("Ffv1Avi_Direct", [](benchmark::State& s) { avi_direct(s, "ffv1", AV_PIX_FMT_0RGB32); });

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
