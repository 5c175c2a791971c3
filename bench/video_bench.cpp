// AVI footage against the codec library decoding the same packets directly,
// in the same run: sequential decode of every frame through the footage API
// (frames arriving through the cache coordinator, read ahead by the reader
// thread) and random access to the frame in the middle of a 250-frame group,
// for 720 x 576 MPEG-4 part 2 and 1920 x 1080 H.264. The files are made
// once in the temporary folder.
//
// items_per_second is frames per second; the random-access runs report the
// latency of one frame as their time. Cached frames take their buffers from
// the image block pool, which keeps the buffers of frames released by an
// earlier iteration (as a full memory cache does when it evicts); direct
// decoding reuses one buffer.

#include <benchmark/benchmark.h>

#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/avi/avi_reader.h"
#include "lumvex/cache/coordinator.h"
#include "lumvex/cache/disc_cache.h"
#include "lumvex/cache/mem_cache.h"
#include "platform/tests/avi_samples.h"

#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace t = platform::testing;

constexpr int frames = 250;

struct clip {
    const char* name;
    unsigned width;
    unsigned height;
    t::encoder_settings settings;
};

// Filmed footage has grain for the codec to code; a clip without any
// decodes several times faster than real footage would.
const clip mpeg4_sd { "tavelo_bench_mpeg4_720x576_grain.avi", 720, 576,
    { "mpeg4", platform::mmioFOURCC('X', 'V', 'I', 'D'), frames, 0, 4, true } };
const clip mpeg4_sd_smooth { "tavelo_bench_mpeg4_720x576.avi", 720, 576,
    { "mpeg4", platform::mmioFOURCC('X', 'V', 'I', 'D'), frames, 0, 3, false } };
const clip h264_hd { "tavelo_bench_h264_1920x1080_grain.avi", 1920, 1080,
    { "libx264", platform::mmioFOURCC('H', '2', '6', '4'), frames, 0, 0, true } };

std::string make(const clip& c)
{
    std::string path = (std::filesystem::temp_directory_path() / c.name).string();
    if (!std::filesystem::exists(path)) {
        t::avi_layout layout;
        auto samples = t::encoded_samples(c.width, c.height, frames, c.settings, layout);
        if (samples.empty())
            return {};
        t::write_avi(path + ".part", layout, samples);
        std::filesystem::rename(path + ".part", path);
    }
    return path;
}

// A fresh cache (memory only, or memory and disc) and footage per run, so
// that no frame is found from an earlier one.
struct footage_run {
    footage_run(const std::string& path, bool disc, std::uint32_t quota = 0xC0000000u)
        : memory(quota)
    {
        if (disc) {
            root = (std::filesystem::temp_directory_path() / "tavelo_bench_disc_cache").string() + "/";
            std::filesystem::remove_all(root);
            disc_level = std::make_unique<lumvex::disc_cache>(root, 64ull << 30, &deserializer);
        }
        coordinator = std::make_unique<lumvex::coordinator>(&memory, disc_level.get());
        footage = std::make_unique<lumvex::avi_reader>(path, coordinator.get(), 10);
    }
    ~footage_run()
    {
        footage.reset();
        coordinator.reset();
        disc_level.reset();
        if (!root.empty())
            std::filesystem::remove_all(root);
    }

    lumvex::mem_cache memory;
    lumvex::avi_frame_id_deserializer deserializer;
    std::string root;
    std::unique_ptr<lumvex::disc_cache> disc_level;
    std::unique_ptr<lumvex::coordinator> coordinator;
    std::unique_ptr<lumvex::avi_reader> footage;
};

// The clip's file, made once; empty, with the benchmark marked as skipped,
// when the encoder is missing.
std::string clip_file(benchmark::State& state, const clip& c)
{
    std::string path = make(c);
    if (path.empty())
        state.SkipWithError("encoder missing");
    return path;
}

// Times `read` on footage opened afresh for each iteration; the opening
// (with its key-frame inspection) and the closing stay out of the time.
template <class Read>
void time_fresh_footage(
    benchmark::State& state, const std::string& path, bool disc, std::uint32_t quota, Read read)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto run = std::make_unique<footage_run>(path, disc, quota);
        run->footage->all_key_frames();
        state.ResumeTiming();
        read(*run->footage);
        state.PauseTiming();
        run.reset();
        state.ResumeTiming();
    }
}

void footage_sequential(benchmark::State& state, const clip& c, bool disc, std::uint32_t quota = 0xC0000000u)
{
    const std::string path = clip_file(state, c);
    if (path.empty())
        return;
    time_fresh_footage(state, path, disc, quota, [](lumvex::avi_reader& footage) {
        for (int f = 0; f < frames; ++f)
            benchmark::DoNotOptimize(footage.frame(f, lumvex::frame_request::after, true));
    });
    state.SetItemsProcessed(state.iterations() * frames);
}

void direct_sequential(benchmark::State& state, const clip& c)
{
    const std::string path = clip_file(state, c);
    if (path.empty())
        return;
    t::direct_decoder decoder(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(decoder.decode_all());
    state.SetItemsProcessed(state.iterations() * frames);
}

void footage_random(benchmark::State& state, const clip& c)
{
    const std::string path = clip_file(state, c);
    if (path.empty())
        return;
    time_fresh_footage(state, path, false, 0xC0000000u,
        [](lumvex::avi_reader& footage) { benchmark::DoNotOptimize(footage.frame(frames / 2, 0, true)); });
}

void direct_random(benchmark::State& state, const clip& c)
{
    const std::string path = clip_file(state, c);
    if (path.empty())
        return;
    t::direct_decoder decoder(path);
    for (auto _ : state)
        decoder.decode_frame(frames / 2);
}

BENCHMARK_CAPTURE(direct_sequential, mpeg4_720x576, mpeg4_sd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(footage_sequential, mpeg4_720x576_memory, mpeg4_sd, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(direct_sequential, mpeg4_720x576_smooth, mpeg4_sd_smooth)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(footage_sequential, mpeg4_720x576_smooth_memory, mpeg4_sd_smooth, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(footage_sequential, mpeg4_720x576_memory_and_disc, mpeg4_sd, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK_CAPTURE(direct_random, mpeg4_720x576_mid_gop, mpeg4_sd)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(footage_random, mpeg4_720x576_mid_gop, mpeg4_sd)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(direct_sequential, h264_1920x1080, h264_hd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(footage_sequential, h264_1920x1080_memory, h264_hd, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(direct_random, h264_1920x1080_mid_gop, h264_hd)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(footage_random, h264_1920x1080_mid_gop, h264_hd)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
