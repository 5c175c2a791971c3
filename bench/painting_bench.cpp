// Painting one frame for display, as the view's painter thread does for
// every frame during playback: a 720 x 576 and a 1920 x 1080 frame with three
// mask layers (Substitute, Add, Subtract) in each display type, crisp and
// smooth, fetched through a cache that holds nothing without storing (every
// iteration paints). Beside it, in the same run: a plain copy of the frame
// (the least any painted type costs) and the decoding of one grey mask (a
// smooth frame decodes three), as stored and as coded by the standard and
// the fast PNG settings.

#include <benchmark/benchmark.h>

#include "app/display/PaintingKey.h"
#include "engine/frame_record.h"
#include "engine/tests/memory_footage.h"
#include "foundation/files/gdiplus_codec.h"

#include <boost/make_shared.hpp>

#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

struct Size {
    unsigned width;
    unsigned height;
};

constexpr Size sizes[] = { { 720, 576 }, { 1920, 1080 } };

img::image<img::BGRA<unsigned char>> Picture(Size size, unsigned seed)
{
    img::image<img::BGRA<unsigned char>> picture(size.width, size.height, 4);
    for (unsigned y = 0; y < size.height; ++y) {
        auto* row = picture.row(y);
        for (unsigned x = 0; x < size.width; ++x)
            row[x] = { static_cast<unsigned char>(x * 3 + seed), static_cast<unsigned char>(y * 5 + seed),
                static_cast<unsigned char>((x ^ y) + seed), 255 };
    }
    return picture;
}

// An ellipse centred at (cx, cy) (fractions of the frame) with a soft edge
// of a few pixels, as a smoothed mask looks.
boost::shared_ptr<trm::frame_record> Record(Size size, double cx, double cy, double radius)
{
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = img::image<img::bit>(size.width, size.height, 4);
    img::image<unsigned char> grey(size.width, size.height, 4);
    const double r = radius * size.height;
    for (unsigned y = 0; y < size.height; ++y)
        for (unsigned x = 0; x < size.width; ++x) {
            const double d = std::hypot(x - cx * size.width, y - cy * size.height) - r;
            const double v = std::clamp(0.5 - d / 6.0, 0.0, 1.0);
            grey.row(y)[x] = static_cast<unsigned char>(v * 255 + 0.5);
            record->bit_mask.at(x, y) = v >= 0.5;
        }
    record->grey_mask.encode(grey);
    return record;
}

// A cache that holds nothing: every fetch paints.
class EmptyCache : public lumvex::cache {
public:
    void put(const boost::shared_ptr<lumvex::cached_image>&, int) override { }
    boost::shared_ptr<lumvex::cached_image> get(const boost::shared_ptr<lumvex::item_id>&, int) override
    {
        return {};
    }
    boost::shared_ptr<lumvex::cached_image> find(const boost::shared_ptr<lumvex::item_id>&, int) override
    {
        return {};
    }
    bool contains(const boost::shared_ptr<lumvex::item_id>&, int) override { return false; }
    void remove(const boost::shared_ptr<lumvex::item_id>&) override { }
    void purge() override { }
};

struct Scene {
    boost::shared_ptr<trm::testing::memory_footage> footage;
    boost::shared_ptr<trm::testing::memory_footage> background;
    std::vector<MaskLayer> layers;
};

const Scene& SceneOf(int index)
{
    static std::vector<Scene> scenes = [] {
        std::vector<Scene> made;
        for (const Size size : sizes) {
            Scene scene;
            std::vector<img::image<img::BGRA<unsigned char>>> front;
            front.push_back(Picture(size, 0));
            std::vector<img::image<img::BGRA<unsigned char>>> back;
            back.push_back(Picture(size, 77));
            scene.footage = boost::make_shared<trm::testing::memory_footage>(std::move(front));
            scene.background = boost::make_shared<trm::testing::memory_footage>(std::move(back));
            scene.layers.push_back({ Record(size, 0.5, 0.5, 0.35), { MaskMode::Substitute, false } });
            scene.layers.push_back({ Record(size, 0.25, 0.3, 0.2), { MaskMode::Add, false } });
            scene.layers.push_back({ Record(size, 0.6, 0.6, 0.15), { MaskMode::Subtract, false } });
            made.push_back(std::move(scene));
        }
        return made;
    }();
    return scenes[static_cast<std::size_t>(index)];
}

// range(0): size index; range(1): display type; range(2): smooth.
void BM_Paint(benchmark::State& state)
{
    const Scene& scene = SceneOf(static_cast<int>(state.range(0)));
    DisplayStyle style;
    style.type = static_cast<DisplayType>(state.range(1));
    style.smooth = state.range(2) != 0;
    style.inverse = false;
    style.matte = { 255, 0, 0, 128 };
    auto key = boost::make_shared<PaintingKey>(style, scene.layers, scene.footage, 0, scene.background, 0);
    EmptyCache cache;
    for (auto _ : state) {
        auto painted = PaintingKey::Fetch(cache, key, 0, false);
        benchmark::DoNotOptimize(painted->image.data);
    }
    state.SetLabel(DisplayTypeLabel(style.type) + std::string(style.smooth ? " smooth" : " crisp"));
}

void PaintArguments(benchmark::internal::Benchmark* b)
{
    for (int size = 0; size < 2; ++size)
        for (int type = 0; type <= 4; ++type)
            for (int smooth = 0; smooth < 2; ++smooth)
                b->Args({ size, type, smooth });
}
BENCHMARK(BM_Paint)->Apply(PaintArguments)->Unit(benchmark::kMillisecond);

// Reference: the copy of the frame's bytes into a new picture.
void BM_CopyFrame(benchmark::State& state)
{
    const Scene& scene = SceneOf(static_cast<int>(state.range(0)));
    const auto& frame = scene.footage->cached_frame(0)->image;
    for (auto _ : state) {
        img::image<img::BGRA<unsigned char>> copy(frame.width, frame.height, 4);
        std::memcpy(copy.data, frame.data, frame.size);
        benchmark::DoNotOptimize(copy.data);
    }
}
BENCHMARK(BM_CopyFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One grey mask decoded (the largest layer's), range(1): as stored (0), and
// for reference the same mask coded with the PNG encoder's standard (1) and
// fast (2) settings, as files written by earlier versions may hold it. The
// file's size is the "bytes" counter.
void BM_DecodeGreyMask(benchmark::State& state)
{
    const Scene& scene = SceneOf(static_cast<int>(state.range(0)));
    img::image<unsigned char> grey;
    trm::encoded_image coded = scene.layers[0].record->grey_mask;
    if (state.range(1) != 0) {
        coded.decode(grey);
        std::ostringstream out(std::ios::out | std::ios::binary);
        img::gdiplus_write_grey(out, grey, img::image_format::png,
            state.range(1) == 1 ? img::png_compression::standard : img::png_compression::fast);
        coded.assign(std::move(out).str());
    }
    for (auto _ : state) {
        coded.decode(grey);
        benchmark::DoNotOptimize(grey.data);
    }
    state.counters["bytes"] = static_cast<double>(coded.bytes().size());
    state.SetLabel(state.range(1) == 0 ? "as stored" : state.range(1) == 1 ? "standard" : "fast");
}
BENCHMARK(BM_DecodeGreyMask)->ArgsProduct({ { 0, 1 }, { 0, 1, 2 } })->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
