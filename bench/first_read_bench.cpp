// First read of AVI footage with the default cache settings, beside the codec
// library decoding the same file directly, in the same run.
//
// Ours: in a process of its own, started for each repetition (so that the
// read meets fresh memory, as when a user first plays footage, and nothing of
// an earlier repetition is left to reuse), a fresh library object (every
// cache setting at its default: memory quota a quarter of the machine's
// memory, 128 MiB of disc cache in an empty folder, 10 frames of read-ahead)
// makes footage of the file with `create_footage`, and every frame is asked
// for in order, waiting for each, as the player and the segment worker do.
// Ours decodes these clips on two threads and converts each frame to BGRA on
// a third, into the same pictures as one thread gives.
// Reference: the codec library's demuxer and decoder on one thread in this
// process, each frame converted to BGRA into one buffer. Both are timed from
// opening the file to its last frame (ours from making the library object);
// the start of our process is not timed.
//
// Clips: MPEG-4 part 2 of filmed-like pictures (grain that moves with the
// picture), 768 x 576 with 795 frames and 1920 x 1080 with 600 frames, made
// once in the temporary folder. items_per_second is frames per second;
// `peak_MB` is the peak resident memory of the process that read, `grown_MB`
// how far it rose during the read (the memory cache's quota bounds it, plus
// the frames in flight); `close_ms` is the time the library object takes to
// close after the read, untimed (disc copies still queued are finished
// then); `disc_MB` what the disc cache holds afterwards. Settings and the
// disc cache live in a temporary folder of their own. Run with
// --benchmark_repetitions=3 and compare the best of each.
//
// `fresh_pages`: the floor under a first read, the time a fresh process
// takes to write the memory cache's default quota of fresh memory once (one
// thread, 2 MiB pages asked for). A first read fills the memory cache, so it
// pays this wherever it pays it; on some virtual machines that is seconds per
// GiB, far more than decoding the frames.

#include <benchmark/benchmark.h>

#include "lumvex/dll.h"
#include "lumvex/footage/footage.h"
#include "platform/tests/avi_samples.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace t = platform::testing;

struct clip {
    const char* name;
    unsigned width;
    unsigned height;
    int frames;
    t::encoder_settings settings;
};

const clip sd { "tavelo_first_read_mpeg4_768x576.avi", 768, 576, 795,
    { "mpeg4", platform::mmioFOURCC('D', 'I', 'V', 'X'), 250, 0, 4, true } };
const clip hd { "tavelo_first_read_mpeg4_1920x1080.avi", 1920, 1080, 600,
    { "mpeg4", platform::mmioFOURCC('D', 'X', '5', '0'), 250, 0, 4, true } };

// The clip's file, made once; empty when the encoder is missing.
std::string clip_file(const clip& c)
{
    const std::string path = (fs::temp_directory_path() / c.name).string();
    if (!fs::exists(path)) {
        t::avi_layout layout;
        const auto samples = t::encoded_samples(c.width, c.height, c.frames, c.settings, layout);
        if (samples.empty())
            return {};
        t::write_avi(path + ".part", layout, samples);
        fs::rename(path + ".part", path);
    }
    return path;
}

std::string settings_home()
{
    static const std::string home
        = (fs::temp_directory_path() / ("tavelo_first_read_" + std::to_string(::getpid()))).string();
    return home;
}

// The folder the default disc cache uses under the settings home.
std::string disc_root()
{
    return settings_home() + "/cache/Norvane/lumvex";
}

long status_kb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == field) {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return 0;
}

double folder_megabytes(const std::string& folder)
{
    std::error_code error;
    std::uintmax_t bytes = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code size_error;
        const std::uintmax_t size = it->file_size(size_error);
        if (!size_error)
            bytes += size;
    }
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

double milliseconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// One first read in this process: library object, footage, every frame in
// order. Prints the seconds it took, the peak and growth of resident memory
// in MiB and the milliseconds the library object took to close.
int first_read_child(const std::string& path, int frames)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    const long start = status_kb("VmRSS:");
    const auto began = std::chrono::steady_clock::now();
    auto library = std::make_unique<lumvex::dll>();
    boost::shared_ptr<lumvex::footage> footage = library->create_footage(path);
    if (footage->frame_count() != frames)
        throw std::runtime_error("the clip has another frame count");
    for (int f = 0; f < frames; ++f)
        benchmark::DoNotOptimize(footage->frame(f, lumvex::frame_request::after, true));
    const double seconds = milliseconds_since(began) / 1000.0;
    const double peak = static_cast<double>(status_kb("VmHWM:")) / 1024.0;
    const double grown = peak - static_cast<double>(start) / 1024.0;
    const auto closing = std::chrono::steady_clock::now();
    footage.reset();
    library.reset();
    std::printf("%.6f %.3f %.3f %.3f\n", seconds, peak, grown, milliseconds_since(closing));
    return 0;
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char ch : text)
        out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

// Each repetition runs in a process of its own, started for it: the first
// read meets fresh memory, as it does when a user first plays footage, and
// nothing of an earlier repetition (cache, heap, pages) is left to reuse.
void footage_first_read(benchmark::State& state, const clip& c)
{
    const std::string path = clip_file(c);
    if (path.empty()) {
        state.SkipWithError("encoder missing");
        return;
    }
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    double peak = 0;
    double grown = 0;
    double close = 0;
    double disc = 0;
    for (auto _ : state) {
        fs::remove_all(disc_root());
        const std::string command
            = quoted(self) + " --first-read-child " + quoted(path) + " " + std::to_string(c.frames);
        FILE* child = ::popen(command.c_str(), "r");
        double seconds = 0;
        const int read
            = child != nullptr ? std::fscanf(child, "%lf %lf %lf %lf", &seconds, &peak, &grown, &close) : 0;
        const int status = child != nullptr ? ::pclose(child) : -1;
        if (read != 4 || status != 0) {
            state.SkipWithError("the first read in a process of its own failed");
            return;
        }
        state.SetIterationTime(seconds);
        disc = folder_megabytes(disc_root());
    }
    state.SetItemsProcessed(state.iterations() * c.frames);
    state.counters["peak_MB"] = peak;
    state.counters["grown_MB"] = grown;
    state.counters["close_ms"] = close;
    state.counters["disc_MB"] = disc;
}

// The floor under a first read: in a process of its own, the memory cache's
// default quota (a quarter of the machine's memory, as the library counts
// it) mapped fresh and written once per 4 KiB page on one thread, with 2 MiB
// pages asked for as the frame memory does. Prints the seconds it took.
int fresh_pages_child(std::uint64_t bytes)
{
    const auto began = std::chrono::steady_clock::now();
    void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return 1;
    ::madvise(mapped, bytes, MADV_HUGEPAGE);
    auto* start = static_cast<volatile unsigned char*>(mapped);
    for (std::uint64_t offset = 0; offset < bytes; offset += 4096)
        start[offset] = 1;
    std::printf("%.6f\n", milliseconds_since(began) / 1000.0);
    ::munmap(mapped, bytes);
    return 0;
}

void fresh_pages(benchmark::State& state)
{
    const std::uint64_t ram = std::min<std::uint64_t>(
        std::uint64_t(::sysconf(_SC_PHYS_PAGES)) * std::uint64_t(::sysconf(_SC_PAGESIZE)), 0xFFFFFFFFu);
    const std::uint64_t quota = ram / 4 / 4096 * 4096;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    for (auto _ : state) {
        FILE* child = ::popen((quoted(self) + " --fresh-pages-child " + std::to_string(quota)).c_str(), "r");
        double seconds = 0;
        const int read = child != nullptr ? std::fscanf(child, "%lf", &seconds) : 0;
        const int status = child != nullptr ? ::pclose(child) : -1;
        if (read != 1 || status != 0) {
            state.SkipWithError("the fresh pages could not be written");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * quota));
    state.counters["MB"] = static_cast<double>(quota) / (1024.0 * 1024.0);
}

// The codec library on one thread: demux, decode, convert to BGRA.
int decode_directly(const std::string& path, std::vector<std::uint8_t>& picture)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("the codec library cannot open " + path);
    avformat_find_stream_info(format, nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || codec == nullptr) {
        avformat_close_input(&format);
        throw std::runtime_error("no video decoder for " + path);
    }
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, format->streams[stream]->codecpar);
    context->thread_count = 1;
    if (avcodec_open2(context, codec, nullptr) < 0)
        throw std::runtime_error("the decoder does not open for " + path);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    int count = 0;
    const auto receive = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                static_cast<AVPixelFormat>(frame->format), frame->width, frame->height, AV_PIX_FMT_BGRA,
                SWS_BILINEAR, nullptr, nullptr, nullptr);
            picture.resize(std::size_t(frame->width) * frame->height * 4);
            std::uint8_t* planes[4] = { picture.data(), nullptr, nullptr, nullptr };
            const int strides[4] = { frame->width * 4, 0, 0, 0 };
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            av_frame_unref(frame);
            ++count;
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream) {
            avcodec_send_packet(context, packet);
            receive();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    receive();
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return count;
}

void direct_decode(benchmark::State& state, const clip& c)
{
    const std::string path = clip_file(c);
    if (path.empty()) {
        state.SkipWithError("encoder missing");
        return;
    }
    std::vector<std::uint8_t> picture;
    double peak = 0;
    double grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream("/proc/self/clear_refs") << "5";
        const long start = status_kb("VmRSS:");
        state.ResumeTiming();
        if (decode_directly(path, picture) != c.frames)
            throw std::runtime_error("the clip has another frame count");
        state.PauseTiming();
        peak = static_cast<double>(status_kb("VmHWM:")) / 1024.0;
        grown = peak - static_cast<double>(start) / 1024.0;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * c.frames);
    state.counters["peak_MB"] = peak;
    state.counters["grown_MB"] = grown;
}

BENCHMARK(fresh_pages)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(direct_decode, mpeg4_768x576, sd)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(footage_first_read, mpeg4_768x576, sd)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(direct_decode, mpeg4_1920x1080, hd)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(footage_first_read, mpeg4_1920x1080, hd)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--first-read-child")
        return first_read_child(argv[2], std::atoi(argv[3]));
    if (argc == 3 && std::string(argv[1]) == "--fresh-pages-child")
        return fresh_pages_child(std::strtoull(argv[2], nullptr, 10));
    // Default settings: a settings store and a cache folder of our own,
    // empty at the start.
    fs::create_directories(settings_home());
    ::setenv("XDG_CONFIG_HOME", (settings_home() + "/config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (settings_home() + "/cache").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(settings_home());
    return 0;
}
