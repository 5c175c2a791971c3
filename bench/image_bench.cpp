// Image record throughput on 4096 x 4096 images. Blits, count and invert
// report bytes of destination bitmap per second; copies and conversions the
// bytes written, beside a memcpy of the same size for comparison.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "foundation/image/blit.h"
#include "foundation/image/image.h"

namespace {

constexpr unsigned side = 4096;

img::image<img::bit> random_mask(unsigned seed)
{
    img::image<img::bit> mask(side, side, 4);
    std::mt19937 random(seed);
    for (std::uint32_t i = 0; i < mask.size; ++i)
        mask.data[i] = static_cast<unsigned char>(random());
    return mask;
}

using blit_function
    = void (*)(img::image<img::bit>&, int, int, int, int, const img::image<img::bit>&, int, int) noexcept;

// range(0): destination x, range(1): source x. The rectangle is the largest
// that fits both; its bytes of destination bitmap are counted.
template <blit_function blit> void BM_Blit(benchmark::State& state)
{
    img::image<img::bit> destination = random_mask(1);
    const img::image<img::bit> source = random_mask(2);
    const int x = static_cast<int>(state.range(0));
    const int source_x = static_cast<int>(state.range(1));
    const int width = static_cast<int>(side) - std::max(x, source_x);
    for (auto _ : state) {
        blit(destination, x, 0, width, side, source, source_x, 0);
        benchmark::DoNotOptimize(destination.data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { width / 8 } * side);
}

#define TAVELO_BLIT_BENCHMARK(f)                                                                             \
    BENCHMARK(BM_Blit<img::f>)                                                                               \
        ->Name(#f)                                                                                           \
        ->Args({ 0, 0 })                                                                                     \
        ->Args({ 3, 3 })                                                                                     \
        ->Args({ 0, 5 })                                                                                     \
        ->Args({ 5, 2 })                                                                                     \
        ->Args({ 13, 0 })

TAVELO_BLIT_BENCHMARK(blit_or);
TAVELO_BLIT_BENCHMARK(blit_or_not);
TAVELO_BLIT_BENCHMARK(blit_and);
TAVELO_BLIT_BENCHMARK(blit_and_not);
TAVELO_BLIT_BENCHMARK(blit_xor);
TAVELO_BLIT_BENCHMARK(blit_xnor);

void BM_CopyRect(benchmark::State& state)
{
    img::image<img::bit> destination = random_mask(1);
    const img::image<img::bit> source = random_mask(2);
    const int x = static_cast<int>(state.range(0));
    for (auto _ : state) {
        img::copy_rect(
            destination, { x, 0, static_cast<int>(side), static_cast<int>(side) }, source, { 0, 0 });
        benchmark::DoNotOptimize(destination.data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { (side - x) / 8 } * side);
}
BENCHMARK(BM_CopyRect)->Arg(0)->Arg(3);

void BM_Count(benchmark::State& state)
{
    img::image<img::bit> mask = random_mask(3);
    mask.resize(side - static_cast<unsigned>(state.range(0)), side, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(mask.count());
    state.SetBytesProcessed(state.iterations() * std::int64_t { mask.size });
}
BENCHMARK(BM_Count)->Arg(0)->Arg(3);

void BM_Invert(benchmark::State& state)
{
    img::image<img::bit> mask = random_mask(4);
    for (auto _ : state) {
        mask.invert();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { mask.size });
}
BENCHMARK(BM_Invert);

void BM_Memcpy(benchmark::State& state)
{
    const std::size_t bytes = static_cast<std::size_t>(state.range(0));
    std::vector<unsigned char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}
BENCHMARK(BM_Memcpy)->Arg(side* side / 8)->Arg(side* side)->Arg(side* side * 4);

void BM_CopyMask(benchmark::State& state)
{
    const img::image<img::bit> source = random_mask(5);
    img::image<img::bit> target(side, side, 4);
    for (auto _ : state) {
        target = source;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { target.size });
}
BENCHMARK(BM_CopyMask);

// range(0): 1 when the target is bottom-up (copied row by row).
void BM_CopyColour(benchmark::State& state)
{
    img::image<img::BGRA<unsigned char>> source(side, side, 4);
    source.fill({ 1, 2, 3, 4 });
    img::image<img::BGRA<unsigned char>> target(side, side, 4);
    target.top_down = state.range(0) == 0;
    target.update_rows();
    for (auto _ : state) {
        target = source;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { target.size });
}
BENCHMARK(BM_CopyColour)->Arg(0)->Arg(1);

void BM_GreyFromMask(benchmark::State& state)
{
    const img::image<img::bit> mask = random_mask(6);
    img::image<unsigned char> grey(side, side, 4);
    for (auto _ : state) {
        grey = img::two_value_view { mask, 0, 255 };
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { grey.size });
}
BENCHMARK(BM_GreyFromMask);

template <bool inverted> void BM_ColourFromGrey(benchmark::State& state)
{
    img::image<unsigned char> grey(side, side, 4);
    for (std::uint32_t i = 0; i < grey.size; ++i)
        grey.data[i] = static_cast<unsigned char>(i * 7);
    img::image<img::BGRA<unsigned char>> colour(side, side, 4);
    for (auto _ : state) {
        if (inverted)
            colour.assign_grey_inverted(grey);
        else
            colour.assign_grey(grey);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { colour.size });
}
BENCHMARK(BM_ColourFromGrey<false>)->Name("BM_AssignGrey");
BENCHMARK(BM_ColourFromGrey<true>)->Name("BM_AssignGreyInverted");

void BM_FloatFromColour(benchmark::State& state)
{
    img::image<img::BGRA<unsigned char>> colour(side / 2, side / 2, 4);
    colour.fill({ 1, 2, 3, 4 });
    img::image<img::BGRA<float>> floats(side / 2, side / 2, 4);
    for (auto _ : state) {
        floats.assign(colour);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t { floats.size });
}
BENCHMARK(BM_FloatFromColour);

} // namespace

BENCHMARK_MAIN();
