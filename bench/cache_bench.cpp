// The image cache: hits in the memory cache from 1 to 8 threads
// (items_per_second counts the hits of all threads together, so it grows
// with the threads while hits run side by side), puts that evict under quota
// pressure, and the disc cache's write and read back of one 720 x 576 colour
// frame with the size of its PNG.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

#include "lumvex/avi/avi_frame_id.h"
#include "lumvex/cache/disc_cache.h"
#include "lumvex/cache/mem_cache.h"

namespace {

using bgra = img::BGRA<unsigned char>;

boost::shared_ptr<lumvex::item_id> frame_key(int frame)
{
    return boost::shared_ptr<lumvex::item_id>(
        new lumvex::avi_frame_id(frame, "/clips/interview.avi", 9000, true));
}

// A memory cache holding `count` frame keys with small images (a hit does
// not depend on the image's size), shared by every thread of a run.
struct filled_cache {
    explicit filled_cache(int count)
        : cache(0xFFFFFFFFu)
    {
        for (int frame = 0; frame < count; ++frame) {
            keys.push_back(frame_key(frame));
            cache.put(boost::shared_ptr<lumvex::cached_image>(
                          new lumvex::cached_image(keys.back(), img::image<bgra>(8, 8, 4))),
                lumvex::placement::back);
        }
    }
    lumvex::mem_cache cache;
    std::vector<boost::shared_ptr<lumvex::item_id>> keys;
};

filled_cache& cache_of(int count)
{
    static filled_cache small(100);
    static filled_cache large(400);
    return count == 100 ? small : large;
}

// range(0): entries in the cache. Every thread looks up all keys in its own
// shuffled order, moving each to the back as the footage does.
void BM_MemoryHit(benchmark::State& state)
{
    filled_cache& filled = cache_of(static_cast<int>(state.range(0)));
    std::vector<boost::shared_ptr<lumvex::item_id>> order = filled.keys;
    std::shuffle(order.begin(), order.end(), std::mt19937(static_cast<unsigned>(state.thread_index())));
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(filled.cache.find(order[next], lumvex::placement::back));
        if (++next == order.size())
            next = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemoryHit)->Arg(100)->Arg(400)->ThreadRange(1, 8)->UseRealTime();

// Puts of full frames into a cache whose quota holds 32 of them: from the
// 33rd on, every put evicts the oldest entry.
void BM_MemoryPutEvict(benchmark::State& state)
{
    constexpr unsigned width = 720;
    constexpr unsigned height = 576;
    constexpr std::uint32_t frame_bytes = width * 4 * height;
    lumvex::mem_cache cache(32 * frame_bytes);
    std::vector<boost::shared_ptr<lumvex::cached_image>> frames;
    for (int frame = 0; frame < 64; ++frame)
        frames.emplace_back(new lumvex::cached_image(frame_key(frame), img::image<bgra>(width, height, 4)));
    std::size_t next = 0;
    for (auto _ : state) {
        cache.put(frames[next], lumvex::placement::back);
        if (++next == frames.size())
            next = 0;
    }
    state.counters["entries"] = static_cast<double>(cache.count());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemoryPutEvict);

// A 720 x 576 frame of smooth shading; `noise` adds that much uniform
// noise to every channel (decoded video is rarely cleaner than +-1).
img::image<bgra> video_frame(int noise)
{
    img::image<bgra> frame(720, 576, 4);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> grain(-noise, noise);
    for (unsigned y = 0; y < frame.height; ++y) {
        bgra* row = frame.row(y);
        for (unsigned x = 0; x < frame.width; ++x) {
            auto channel = [&](unsigned base) {
                return static_cast<unsigned char>(std::clamp(static_cast<int>(base) + grain(random), 0, 255));
            };
            row[x] = bgra { channel(x * 255 / 720), channel(y * 255 / 576), channel((x + y) % 256), 255 };
        }
    }
    return frame;
}

struct scratch_root {
    scratch_root()
    {
        std::string name = (std::filesystem::temp_directory_path() / "cache_bench_XXXXXX").string();
        if (mkdtemp(name.data()) != nullptr)
            path = name;
    }
    ~scratch_root()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

// range(0): noise amplitude of the frame. Each iteration writes a new frame
// (put: PNG and description) and reads it back (find); the counters give the
// two halves in milliseconds and the PNG's size.
void BM_DiscRoundTrip(benchmark::State& state)
{
    scratch_root root;
    if (root.path.empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    lumvex::disc_cache cache(root.path + "/", std::uint64_t(1) << 32, nullptr);
    const img::image<bgra> frame = video_frame(static_cast<int>(state.range(0)));
    using clock = std::chrono::steady_clock;
    clock::duration writing {};
    clock::duration reading {};
    int number = 0;
    for (auto _ : state) {
        const boost::shared_ptr<lumvex::item_id> key = frame_key(number++);
        const boost::shared_ptr<lumvex::cached_image> entry(new lumvex::cached_image(key, frame));
        const clock::time_point start = clock::now();
        cache.put(entry, lumvex::placement::back);
        const clock::time_point written = clock::now();
        benchmark::DoNotOptimize(cache.find(key, lumvex::placement::back));
        reading += clock::now() - written;
        writing += written - start;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["write_ms"] = std::chrono::duration<double, std::milli>(writing).count() / runs;
    state.counters["read_ms"] = std::chrono::duration<double, std::milli>(reading).count() / runs;
    state.counters["png_bytes"] = static_cast<double>(cache.used()) / static_cast<double>(cache.count());
}
BENCHMARK(BM_DiscRoundTrip)->Arg(0)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
