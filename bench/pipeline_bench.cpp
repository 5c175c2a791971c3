// The whole calculation of a segment: the key frame and tracked frames of an object that turns and moves
// over a textured background, at 720 x 576 and 1920 x 1080, with default parameters, with motion
// estimation on, and with every kind of stage on, each with 1, 2, 4 and 8 of the engine's threads. Reports
// frames per second and, from the segment's profiler, the milliseconds per tracked frame of each stage.

#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>

#include <map>
#include <string>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/segment.h"
#include "engine/tests/memory_footage.h"
#include "engine/tests/synthetic_scene.h"
#include "platform/kernel/clock.h"

namespace {

constexpr int tracked = 30;
// Fewer frames at HD keep a run of every thread count within minutes.
constexpr int tracked_hd = 10;

struct clip {
    boost::shared_ptr<trm::testing::memory_footage> footage;
    img::image<img::bit> key;
};

clip make_clip(unsigned width, unsigned height, int count)
{
    clip out;
    std::vector<img::image<img::BGRA<unsigned char>>> images;
    for (int k = 0; k <= count; ++k) {
        // 0.3 degrees and (1.5, -0.75) pixels per frame.
        trm::testing::synthetic_scene scene = trm::testing::make_scene(
            width, height, trm::testing::turn_and_shift(width, height, k * 0.005236, k * 1.5, k * -0.75));
        if (k == 0)
            out.key = scene.object;
        images.push_back(std::move(scene.frame));
    }
    out.footage = boost::make_shared<trm::testing::memory_footage>(std::move(images));
    return out;
}

const clip& frames(bool hd)
{
    static const clip sd = make_clip(720, 576, tracked);
    static const clip full_hd = make_clip(1920, 1080, tracked_hd);
    return hd ? full_hd : sd;
}

// Adds the wall-clock ticks of every node below `node` to `ticks`, keyed by
// the stage's path below "calculating".
void collect(const profiler::node& node, const std::string& prefix, std::map<std::string, double>& ticks)
{
    for (const auto& [name, child] : node.children) {
        const std::string path = prefix.empty() ? name : prefix + "/" + name;
        ticks[path] += double(child->subtree_count);
        collect(*child, path, ticks);
    }
}

// Argument 0: default parameters. 1: every kind of stage on as well:
// motion estimate on halved images, graph cut and Simple smoothing. 2:
// default parameters with motion estimation on. Argument 1: 0 for 720 x 576,
// 1 for 1920 x 1080. Argument 2: the engine's threads.
void whole_calculation(benchmark::State& state)
{
    const bool hd = state.range(1) == 1;
    const int frames_tracked = hd ? tracked_hd : tracked;
    const clip& c = frames(hd);
    trm::thread_pool::set_threads(static_cast<unsigned>(state.range(2)));
    trm::param p;
    if (state.range(0) == 2)
        p.optic_flow = true;
    if (state.range(0) == 1) {
        p.optic_flow = true;
        p.downsample = 2;
        p.mincut = true;
        p.smooth_mask = trm::smooth_mask_method::equal_spheres;
    }
    std::map<std::string, double> ticks;
    double total_ticks = 0;
    for (auto _ : state) {
        trm::segment segment(0, c.footage);
        segment.set_range({ 0, frames_tracked + 1 });
        segment.set_keymask(c.key);
        segment.set_param(p);
        segment.calculate(false, { 0, frames_tracked + 1 });
        const profiler::node& root = segment.timing().root();
        const auto calculating = root.children.find("calculating");
        if (calculating == root.children.end() || segment.segmented().last != frames_tracked + 1) {
            state.SkipWithError("the calculation did not finish");
            break;
        }
        total_ticks += double(calculating->second->subtree_count);
        collect(*calculating->second, "", ticks);
    }
    const double per_frame_ms
        = 1000.0 / double(platform::performance_frequency()) / double(state.iterations()) / frames_tracked;
    state.counters["fps"] = 1000.0 / (total_ticks * per_frame_ms);
    state.counters["ms_per_frame"] = total_ticks * per_frame_ms;
    for (const auto& [path, t] : ticks)
        state.counters[path] = t * per_frame_ms;
}

} // namespace

void arguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({ "params", "hd", "threads" });
    for (int hd : { 0, 1 })
        for (int params : { 0, 2, 1 })
            for (int threads : { 1, 2, 4, 8 })
                b->Args({ params, hd, threads });
}

BENCHMARK(whole_calculation)->Apply(arguments)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
