// The video view's latency: from a paint request to the frame drawn (the
// painter thread's fetch, the hand-over through the UI queue, the drawing
// into an off-screen bitmap) at 1280 x 720 with three mask layers and a warm
// cache; one brush stroke of 100 points on a 1920 x 1080 key mask, each
// point stamped and its area redrawn with the edited mask over the frame,
// the stroke committed as one action; and playback of SD frames painted
// afresh each time, alone and through the view's player at 25 frames per
// second in a window. Beside them, in the same run: drawing a ready frame
// alone, and stamping the brush alone. Run under Xvfb so that drawing
// reaches pixels; without a display the drawing is skipped.

#include <benchmark/benchmark.h>

#include "app/display/PaintingKey.h"
#include "app/view/AsyncPainter.h"
#include "app/view/TLView.h"
#include "document/composition/TLComp.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "engine/frame_record.h"
#include "engine/tests/memory_footage.h"
#include "foundation/image/blit.h"
#include "foundation/image/image_draw.h"
#include "platform/gui/app.h"
#include "widgets/core/Message.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/FakeHost.h"

#include <boost/make_shared.hpp>

#include <chrono>
#include <cmath>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Pixel = img::BGRA<unsigned char>;

img::image<Pixel> Picture(unsigned w, unsigned h, unsigned seed)
{
    img::image<Pixel> p(w, h, 4);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            p.row(y)[x] = { static_cast<unsigned char>(x * 3 + seed),
                static_cast<unsigned char>(y * 5 + seed), static_cast<unsigned char>((x ^ y) + seed), 255 };
    return p;
}

boost::shared_ptr<trm::frame_record> Disc(unsigned w, unsigned h, double cx, double cy, double r)
{
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = img::image<img::bit>(w, h, 4);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            record->bit_mask.at(x, y) = std::hypot(x - cx * w, y - cy * h) < r * h;
    return record;
}

// Keeps every entry: a warm cache after the first fetch of a key.
class KeepCache : public lumvex::cache {
public:
    void put(const boost::shared_ptr<lumvex::cached_image>& image, int) override
    {
        std::lock_guard<std::mutex> l(m_lock);
        m_entries.push_back(image);
    }
    boost::shared_ptr<lumvex::cached_image> get(const boost::shared_ptr<lumvex::item_id>& key, int p) override
    {
        return find(key, p);
    }
    boost::shared_ptr<lumvex::cached_image> find(const boost::shared_ptr<lumvex::item_id>& key, int) override
    {
        std::lock_guard<std::mutex> l(m_lock);
        for (const auto& e : m_entries)
            if (e->id->equals(*key))
                return e;
        return {};
    }
    bool contains(const boost::shared_ptr<lumvex::item_id>& key, int p) override
    {
        return find(key, p) != nullptr;
    }
    void remove(const boost::shared_ptr<lumvex::item_id>&) override { }
    void purge() override { m_entries.clear(); }

private:
    std::mutex m_lock;
    std::list<boost::shared_ptr<lumvex::cached_image>> m_entries;
};

// Nothing stays: every fetch paints.
class NoCache : public lumvex::cache {
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

// An off-screen bitmap to draw into (nowhere without a display).
struct Target {
    CDC dc;
    CBitmap bitmap;
    Target(int w, int h)
    {
        static const bool display = My::StartWindowSystem();
        if (!display)
            return;
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateCompatibleBitmap(&dc, w, h);
        dc.SelectObject(&bitmap);
    }
};

struct Frames {
    unsigned w;
    unsigned h;
    boost::shared_ptr<trm::testing::memory_footage> footage;
    std::vector<MaskLayer> layers;
    Frames(unsigned w_, unsigned h_, int count)
        : w(w_)
        , h(h_)
    {
        std::vector<img::image<Pixel>> frames;
        for (int i = 0; i < count; ++i)
            frames.push_back(Picture(w, h, static_cast<unsigned>(i * 7)));
        footage = boost::make_shared<trm::testing::memory_footage>(std::move(frames));
        layers.push_back({ Disc(w, h, 0.5, 0.5, 0.35), { MaskMode::Substitute, false } });
        layers.push_back({ Disc(w, h, 0.25, 0.3, 0.2), { MaskMode::Add, false } });
        layers.push_back({ Disc(w, h, 0.6, 0.6, 0.15), { MaskMode::Subtract, false } });
    }
    boost::shared_ptr<PaintingKey> Key(int frame) const
    {
        DisplayStyle style;
        style.type = DisplayType::MattedForeground;
        style.matte = { 0, 0, 255, 128 };
        return boost::make_shared<PaintingKey>(style, layers, footage, frame);
    }
};

using Painter = My::AsyncPainter<PaintingKey, lumvex::cached_image>;

// Request, painter, hand-over, drawing of the whole frame; frames alternate.
void RunRequests(benchmark::State& state, const Frames& frames, lumvex::cache& cache, int cycle)
{
    My::MessageQueue queue;
    Painter painter([&](const Painter::KeyPtr& key,
                        int request) { return PaintingKey::Fetch(cache, key, request, true); },
        [](const PaintingKey& a, const PaintingKey& b) { return a.equals(b); }, nullptr, queue);
    std::vector<boost::shared_ptr<PaintingKey>> keys;
    for (int i = 0; i < cycle; ++i)
        keys.push_back(frames.Key(i));
    Target target(static_cast<int>(frames.w), static_cast<int>(frames.h));
    // Warm the cache (kept only by a keeping cache).
    for (const auto& key : keys)
        PaintingKey::Fetch(cache, key, 0, true);
    std::size_t i = 0;
    for (auto _ : state) {
        painter.Request(keys[i++ % keys.size()]);
        painter.WaitIdle();
        queue.RunPending();
        const auto& image = painter.Take().image->image;
        img::draw_to_dc(target.dc, 0, 0, static_cast<int>(image.width), static_cast<int>(image.height), 0, 0,
            static_cast<int>(image.width), static_cast<int>(image.height), image, SRCCOPY);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_RequestToShownWarm720p(benchmark::State& state)
{
    static const Frames frames(1280, 720, 2);
    KeepCache cache;
    RunRequests(state, frames, cache, 2);
}
BENCHMARK(BM_RequestToShownWarm720p)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reference: drawing a ready 1280 x 720 frame alone.
void BM_DrawFrameOnly720p(benchmark::State& state)
{
    static const Frames frames(1280, 720, 1);
    const auto& image = frames.footage->cached_frame(0)->image;
    Target target(1280, 720);
    for (auto _ : state)
        img::draw_to_dc(target.dc, 0, 0, 1280, 720, 0, 0, 1280, 720, image, SRCCOPY);
}
BENCHMARK(BM_DrawFrameOnly720p)->Unit(benchmark::kMillisecond)->UseRealTime();

// Playback of SD footage: every frame painted afresh (nothing cached),
// handed over and drawn; items per second are the frames per second.
void BM_PlaybackSD(benchmark::State& state)
{
    static const Frames frames(720, 576, 25);
    NoCache cache;
    RunRequests(state, frames, cache, 25);
}
BENCHMARK(BM_PlaybackSD)->Unit(benchmark::kMillisecond)->UseRealTime();

// Playback through the composition view's own player at 25 frames per
// second over SD footage, every frame painted afresh: the player's timer in
// a real window, ticks skipped while the painter works. The "fps" counter is
// the rate the view measured over the last second of two seconds of play.
void BM_ViewPlaysSDAt25fps(benchmark::State& state)
{
    if (!My::StartWindowSystem()) {
        state.SkipWithError("no display");
        return;
    }
    std::vector<img::image<Pixel>> pictures;
    for (int i = 0; i < 25; ++i)
        pictures.push_back(Picture(720, 576, static_cast<unsigned>(i * 7)));
    TLComp comp;
    comp.SetFootage(boost::make_shared<trm::testing::memory_footage>(std::move(pictures)));
    NoCache cache;
    TLView view(comp, cache);
    view.CreateView(nullptr, CRect(0, 0, 720, 576), 0);
    view.SetDisplayType(1);
    double measured = 0;
    int delivered = 0;
    view.SetMeasuredRateSink([&](double rate) {
        measured = rate;
        ++delivered;
    });
    view.GetPlayer().SetPlayFramerate(25);
    const auto pump = [](std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            platform::gui::pump();
            My::GetMessageQueue().RunPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    pump(std::chrono::milliseconds(200));
    for (auto _ : state) {
        delivered = 0;
        view.GetPlayer().SetPlayMode(My::Player::Forward);
        pump(std::chrono::seconds(2));
        view.GetPlayer().SetPlayMode(My::Player::Stopped);
    }
    state.counters["fps"] = measured;
    state.counters["frames"] = delivered;
    view.DestroyWindow();
}
BENCHMARK(BM_ViewPlaysSDAt25fps)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Forwards the segment's editing to the view's mask editor.
struct Host : segment_testing::FakeSegmentHost {
    TLView* view = nullptr;
    void OnEditTargetChange(TLSegment* segment) override
    {
        if (segment)
            view->GetMaskEditor().BeginEdit(segment);
    }
    void ReloadMask(TLSegment&) override { view->GetMaskEditor().ReloadMask(); }
};

// One stroke of 100 points on a 1920 x 1080 key mask: each point stamps the
// brush and redraws its area (the edited mask over the frame) into an
// off-screen bitmap; the release commits the stroke as one undoable action.
void BM_BrushStroke100Points1080p(benchmark::State& state)
{
    segment_testing::PromptScope prompts;
    Host host;
    TLComp comp;
    std::vector<img::image<Pixel>> picture;
    picture.push_back(Picture(1920, 1080, 3));
    comp.SetFootage(boost::make_shared<trm::testing::memory_footage>(std::move(picture)));
    comp.GetSegmentSet().SetHost(&host);
    TLSegment* segment = comp.GetSegmentSet().CreateSegment(0);
    KeepCache cache;
    TLView view(comp, cache);
    host.view = &view;
    auto peer = test::attach_fake(view);
    peer->client = CRect(0, 0, 1920, 1080);
    view.SendMessage(WM_SIZE, 0, MAKELPARAM(1920, 1080));
    view.SetImageSize(1920, 1080);
    segment->BeginEditing();
    view.RequestPaint();
    view.GetPainter().WaitIdle();
    My::GetMessageQueue().RunPending();
    Target target(1920, 1080);
    int flip = 0;
    for (auto _ : state) {
        const int y = 300 + (flip++ % 2) * 400;
        view.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, y));
        for (int i = 1; i < 100; ++i) {
            const CPoint p(100 + i * 17, y + (i % 7) * 3);
            view.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
            const int h = view.GetMaskEditor().GetBrushTool().GetRadius() + 2;
            view.Draw(target.dc, CRect(p.x - h, p.y - h, p.x + h + 1, p.y + h + 1));
        }
        view.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(100 + 99 * 17, y));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 100);
    if (segment->GetMask().count() == 0 || comp.GetHistory().GetUndoName() != "Brush")
        state.SkipWithError("the stroke drew nothing");
    segment->EndEditing();
}
BENCHMARK(BM_BrushStroke100Points1080p)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reference: the 100 stamps alone, without drawing or committing.
void BM_Stamp100Points1080p(benchmark::State& state)
{
    img::image<img::bit> mask(1920, 1080, 4);
    mask.fill(false);
    img::image<img::bit> stamp(40, 40, 4);
    stamp.fill(true);
    for (auto _ : state)
        for (int i = 0; i < 100; ++i)
            img::blit_or(mask, 80 + i * 17, 280, 40, 40, stamp, 0, 0);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 100);
}
BENCHMARK(BM_Stamp100Points1080p)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
