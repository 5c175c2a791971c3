// Contour fitting of one 720 x 576 frame at the engine's default settings
// (7 smooth nodes, 50 iterations, sampling ratio 2/3, motion bound 5): the
// fit and the fill-back, for a new contour and for the refit of the previous
// frame's contour with the default tractions (nodes 0, handles 0.2).

#include "contours/crack_outline.h"
#include "contours/fit_contour_to_mask.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A wobbly blob: radius 250 (1 + 0.12 sin 5a) around the centre, squeezed
// vertically; its crack outline has about 2,000 steps.
img::image<img::bit> blob(double cx, double cy, double turn)
{
    img::image<img::bit> mask(720, 576, 4);
    mask.fill(false);
    for (unsigned y = 0; y < mask.height; ++y)
        for (unsigned x = 0; x < mask.width; ++x) {
            const double dx = x + 0.5 - cx;
            const double dy = (y + 0.5 - cy) / 0.75;
            const double radius = 250.0 * (1.0 + 0.12 * std::sin(5.0 * (std::atan2(dy, dx) + turn)));
            mask.at(x, y) = dx * dx + dy * dy <= radius * radius;
        }
    return mask;
}

const contours::contour_fit_params defaults { 50, 0.001f, 2.0f / 3.0f, 5 };

void new_fit(benchmark::State& state)
{
    const img::image<img::bit> frame = blob(360.0, 288.0, 0.0);
    contours::crack_outline outline;
    contours::longest_outline(frame, outline);
    state.counters["outline_steps"] = double(outline.size() - 1);
    for (auto _ : state) {
        img::image<img::bit> mask = frame;
        std::vector<pointf> contour;
        contours::fit_contour_to_mask(mask, 7, true, defaults, contour, nullptr, nullptr);
        benchmark::DoNotOptimize(mask.data);
    }
}

void refit(benchmark::State& state)
{
    img::image<img::bit> previous = blob(360.0, 288.0, 0.0);
    std::vector<pointf> reference;
    contours::fit_contour_to_mask(previous, 7, true, defaults, reference, nullptr, nullptr);
    std::vector<float> traction(reference.size());
    for (std::size_t i = 0; i < traction.size(); ++i)
        traction[i] = i % 3 == 0 ? 0.0f : 0.2f;
    const img::image<img::bit> frame = blob(363.0, 286.0, 0.02);
    for (auto _ : state) {
        img::image<img::bit> mask = frame;
        std::vector<pointf> contour = reference;
        contours::fit_contour_to_mask(mask, 7, true, defaults, contour, &reference, &traction);
        benchmark::DoNotOptimize(mask.data);
    }
}

} // namespace

BENCHMARK(new_fit)->Unit(benchmark::kMillisecond);
BENCHMARK(refit)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
