// Motion estimate of a tracked 720 x 576 frame with the engine's fixed stage
// parameters: block segmentation of the reference mask, profiles, coherent
// motion and the three together, for a textured object that is shifted, and
// one that is turned, zoomed and shifted. Counters give the recovered
// motion's error against the true one.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ostream>

#include "engine/motion/coherent_motion.h"
#include "engine/motion/motion_segmentation.h"
#include "engine/motion/profiles.h"
#include "engine/param.h"
#include "engine/tests/synthetic_scene.h"

namespace {

using trm::affine_motion;
using trm::testing::synthetic_scene;

constexpr unsigned width = 720;
constexpr unsigned height = 576;

// A turn by `angle` and a zoom by `scale` about the frame centre, then a
// shift.
affine_motion turn_zoom_and_shift(double angle, double scale, double dx, double dy)
{
    const affine_motion t = trm::testing::turn_and_shift(width, height, angle, 0.0, 0.0);
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    // Zoom about the centre after the turn (which keeps the centre).
    return { scale * (t.x - cx) + cx + dx, scale * (t.y - cy) + cy + dy, scale * t.xx, scale * t.xy,
        scale * t.yx, scale * t.yy };
}

struct motion_case {
    affine_motion truth;
    synthetic_scene reference = trm::testing::make_scene(width, height);
    synthetic_scene target;
    trm::float_image reference_colour;
    trm::float_image target_colour;

    explicit motion_case(const affine_motion& m)
        : truth(m)
        , target(trm::testing::make_scene(width, height, m))
    {
        reference_colour.assign(reference.frame);
        target_colour.assign(target.frame);
    }
};

const motion_case& shifted()
{
    static const motion_case c({ 3.0, -2.0, 1.0, 0.0, 0.0, 1.0 });
    return c;
}

const motion_case& turned()
{
    static const motion_case c(turn_zoom_and_shift(0.02, 1.02, 2.0, 1.0));
    return c;
}

const motion_case& pick(const benchmark::State& state)
{
    return state.range(0) == 0 ? shifted() : turned();
}

// The block passed by the calculation for default parameters.
trm::profile_param profile_options()
{
    const trm::param p;
    return { 0, 2, 1, p.max_motion, 2, 10.0f, 2.0f, -1.0f };
}

const trm::coherent_motion_param motion_options { 1.0f, 30, 0.01f, 2, 1000.0f, 0.8f,
    trm::motion_model::affine, 2, true };

void build(const motion_case& c, trm::motion_segmentation& s)
{
    s.build(c.reference.object, static_cast<unsigned>(trm::param().tracker_size), 0);
    s.reference_images = &c.reference_colour;
    s.statistics_current = false;
}

// The largest distance between where the estimate and the truth put an
// object pixel, and the error of the translation at the object's centre.
void report_error(benchmark::State& state, const motion_case& c, const affine_motion& m)
{
    double worst = 0.0;
    for (unsigned y = 0; y < height; y += 4)
        for (unsigned x = 0; x < width; x += 4)
            if (c.reference.object.at(x, y)) {
                const affine_motion::point got = m.apply(x, y);
                const affine_motion::point want = c.truth.apply(x, y);
                worst = std::max(worst, std::hypot(got.x - want.x, got.y - want.y));
            }
    const affine_motion::point got = m.apply(width / 2.0, height / 2.0);
    const affine_motion::point want = c.truth.apply(width / 2.0, height / 2.0);
    state.counters["max_err_px"] = worst;
    state.counters["centre_err_px"] = std::hypot(got.x - want.x, got.y - want.y);
}

void BM_block_segmentation(benchmark::State& state)
{
    const motion_case& c = shifted();
    trm::motion_segmentation s;
    for (auto _ : state)
        build(c, s);
    state.counters["segments"] = static_cast<double>(s.segment_count());
}
BENCHMARK(BM_block_segmentation)->Unit(benchmark::kMillisecond);

void BM_profiles(benchmark::State& state)
{
    const motion_case& c = pick(state);
    trm::motion_segmentation s;
    build(c, s);
    std::ostream quiet(nullptr);
    for (auto _ : state) {
        // The colour statistics count: a new reference each frame.
        s.statistics_current = false;
        trm::build_profiles(s, c.target_colour, profile_options(), quiet);
    }
}
BENCHMARK(BM_profiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_coherent_motion(benchmark::State& state)
{
    const motion_case& c = pick(state);
    trm::motion_segmentation profiled;
    build(c, profiled);
    std::ostream quiet(nullptr);
    trm::build_profiles(profiled, c.target_colour, profile_options(), quiet);
    affine_motion m;
    for (auto _ : state) {
        state.PauseTiming();
        trm::motion_segmentation s = profiled;
        trm::random15 random;
        state.ResumeTiming();
        trm::find_coherent_motion(s, m, motion_options, random, quiet);
    }
    report_error(state, c, m);
}
BENCHMARK(BM_coherent_motion)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Everything one tracked frame costs when its reference is new.
void BM_whole_estimate(benchmark::State& state)
{
    const motion_case& c = pick(state);
    std::ostream quiet(nullptr);
    affine_motion m;
    for (auto _ : state) {
        trm::motion_segmentation s;
        build(c, s);
        trm::build_profiles(s, c.target_colour, profile_options(), quiet);
        trm::random15 random;
        trm::find_coherent_motion(s, m, motion_options, random, quiet);
    }
    report_error(state, c, m);
    state.counters["x"] = m.x;
    state.counters["y"] = m.y;
}
BENCHMARK(BM_whole_estimate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
