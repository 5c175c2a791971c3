// Refinement, matting and smoothing on the tracked 720 x 576 frame pair of
// the engine benchmarks (engine/tests/tracked_pair.h) with default
// parameters. Without optic flow the tracked frame starts from the reference
// mask unmoved, as the calculation propagates it; the soft-mask stages start
// from the target's own outline.

#include <benchmark/benchmark.h>

#include <ostream>

#include "engine/matting/matting.h"
#include "engine/matting/smoothing.h"
#include "engine/param.h"
#include "engine/refine/refine.h"
#include "engine/tests/tracked_pair.h"

namespace {

using trm::testing::tracked_frames;
using trm::testing::tracked_pair;

// What the calculation fills for "refining" from default parameters.
refine::options refine_options()
{
    const trm::param p;
    refine::options o;
    o.window_half_size = p.refine_window_half_size;
    o.auto_threshold = p.refine_auto;
    o.enough_statistics = p.refine_enough_statistics;
    o.preference = p.refine_preference;
    return o;
}

// Pixels of the mask that differ from the target's true object.
double wrong_pixels(const refine::mask& m)
{
    const refine::mask& truth = tracked_frames().target.object;
    std::uint64_t wrong = 0;
    for (unsigned y = 0; y < m.height; ++y)
        for (unsigned x = 0; x < m.width; ++x)
            wrong += static_cast<bool>(m.at(x, y)) != static_cast<bool>(truth.at(x, y));
    return static_cast<double>(wrong);
}

void BM_refine_frame(benchmark::State& state)
{
    const tracked_pair& f = tracked_frames();
    const trm::param p;
    const refine::options o = refine_options();
    std::ostream quiet(nullptr);
    refine::mask m;
    for (auto _ : state) {
        m = f.reference.object;
        refine::refine_frame(f.reference.frame, f.reference.object, f.target.frame, m,
            p.refine_information_source, {}, o, quiet);
    }
    state.counters["wrong_before"] = wrong_pixels(f.reference.object);
    state.counters["wrong_after"] = wrong_pixels(m);
}
BENCHMARK(BM_refine_frame)->Unit(benchmark::kMillisecond);

void BM_refine_adjust(benchmark::State& state)
{
    const tracked_pair& f = tracked_frames();
    const refine::options o = refine_options();
    std::ostream quiet(nullptr);
    refine::mask m;
    for (auto _ : state) {
        m = f.reference.object;
        refine::adjust(f.target.frame, m, o, quiet);
    }
    state.counters["wrong_after"] = wrong_pixels(m);
}
BENCHMARK(BM_refine_adjust)->Unit(benchmark::kMillisecond);

void BM_refine2(benchmark::State& state)
{
    const tracked_pair& f = tracked_frames();
    const trm::param p;
    refine::refine2_options o;
    o.max_motion = p.refine2_max_motion;
    o.max_level = p.refine2_max_level;
    std::ostream quiet(nullptr);
    refine::mask m;
    for (auto _ : state) {
        m = f.reference.object;
        refine::refine2(f.reference.frame, f.reference.object, f.target.frame, m, o, quiet);
    }
    state.counters["wrong_after"] = wrong_pixels(m);
}
BENCHMARK(BM_refine2)->Unit(benchmark::kMillisecond);

void BM_diffuse_matting(benchmark::State& state)
{
    const tracked_pair& f = tracked_frames();
    const trm::param p;
    trm::matting_options o;
    o.erode_steps = o.dilate_steps = o.window_half_size = p.smooth_window_half_size;
    o.passes = p.smooth_passes_num;
    o.max_condition_number = static_cast<float>(p.smooth_max_condition_number);
    std::ostream quiet(nullptr);
    img::image<unsigned char> matte;
    for (auto _ : state)
        trm::spatial_matting(f.target.frame, f.target.object, matte, o, quiet);
}
BENCHMARK(BM_diffuse_matting)->Unit(benchmark::kMillisecond);

// The copy the calculation hands to the method: the frame with the crisp
// mask in its alpha. Making it is part of each timed call (about 0.3 ms).
void run_smoothing(benchmark::State& state,
    void (*method)(img::image<img::BGRA<unsigned char>>&, const trm::smoothing_options&, std::ostream&))
{
    const tracked_pair& f = tracked_frames();
    const trm::param p;
    trm::smoothing_options o;
    o.window_half_size = p.smooth_window_half_size;
    o.passes = p.smooth_passes_num;
    o.max_condition_number = static_cast<float>(p.smooth_max_condition_number);
    img::image<img::BGRA<unsigned char>> crisp = f.target.frame;
    for (unsigned y = 0; y < crisp.height; ++y)
        for (unsigned x = 0; x < crisp.width; ++x)
            crisp.row(y)[x].a = f.target.object.at(x, y) ? 255 : 0;
    std::ostream quiet(nullptr);
    img::image<img::BGRA<unsigned char>> working;
    for (auto _ : state) {
        working = crisp;
        method(working, o, quiet);
    }
}

void BM_smooth_simple(benchmark::State& state)
{
    run_smoothing(state, trm::smooth_spheres);
}
BENCHMARK(BM_smooth_simple)->Unit(benchmark::kMillisecond);

void BM_smooth_complex(benchmark::State& state)
{
    run_smoothing(state, trm::smooth_ellipses);
}
BENCHMARK(BM_smooth_complex)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
