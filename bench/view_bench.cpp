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
#include "document/processing/Processor.h"
#include "document/segments/TLSegment.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "engine/common/thread_pool.h"
#include "engine/frame_record.h"
#include "engine/segment.h"
#include "engine/tests/memory_footage.h"
#include "engine/tests/synthetic_scene.h"
#include "foundation/image/blit.h"
#include "foundation/image/image_draw.h"
#include "lumvex/dll.h"
#include "lumvex/files/gdiplus_reader.h"
#include "platform/gui/app.h"
#include "platform/kernel/thread.h"
#include "platform/tests/priority_test_support.h"
#include "widgets/core/Message.h"
#include "widgets/core/WindowSystem.h"
#include "widgets/core/tests/FakeHost.h"

#include <boost/make_shared.hpp>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <list>
#include <mutex>
#include <numeric>
#include <sstream>
#include <string>
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
        &PaintingKey::Unreadable, [](const PaintingKey& a, const PaintingKey& b) { return a.equals(b); },
        nullptr, queue);
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
// second over SD footage shown as Foreground Only (the footage's frames,
// fetched afresh and drawn): the player's timer in a real window, ticks
// skipped while the painter works. The "fps" counter is
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

// Playback while the segment worker calculates. The view is the real one
// in a window, driven by the toolkit's own event loop; a subclass only
// watches: each window paint is timed, and a message posted from another
// thread every 20 ms (as input arrives) is timed from its posting to its
// handling.
constexpr UINT kPing = WM_APP + 7;

class WatchedView : public TLView {
public:
    using Clock = std::chrono::steady_clock;
    using TLView::TLView;

    std::vector<double> paintMs;
    std::vector<double> pingMs;
    std::vector<Clock::time_point> pingSent;
    std::mutex pingLock;
    // A delivered frame not yet drawn.
    bool fresh = false;
    int shown = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kPing) {
            std::lock_guard<std::mutex> l(pingLock);
            const auto i = static_cast<std::size_t>(wParam);
            if (i < pingSent.size())
                pingMs.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - pingSent[i]).count());
            return 0;
        }
        if (message != WM_PAINT)
            return TLView::WindowProc(message, wParam, lParam);
        const auto start = Clock::now();
        const LRESULT result = TLView::WindowProc(message, wParam, lParam);
        paintMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (fresh) {
            fresh = false;
            ++shown;
        }
        return result;
    }
};

// Records when the preview frame changes: the player's step asks the view
// for the next frame at that moment.
struct StepLog : My::EventListener {
    WatchedView::Clock::time_point last;
    void OnEvent(My::Event& e) override
    {
        if (dynamic_cast<My::Sequence::PreviewFrameChange*>(&e))
            last = WatchedView::Clock::now();
    }
};

double Percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * double(v.size() - 1) + 0.5)];
}

double CpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
        + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// How long the calling thread has waited, runnable, for a processor: the
// second figure of its scheduler statistics, in milliseconds.
double RunQueueMs()
{
    std::ifstream in("/proc/thread-self/schedstat");
    unsigned long long running = 0;
    unsigned long long waiting = 0;
    in >> running >> waiting;
    return double(waiting) / 1e6;
}

// Threads of this process whose nice value is above the normal one.
int ThreadsBelowNormal()
{
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Fields after the command's closing parenthesis; nice is the 19th.
        const auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        for (int i = 3; i <= 19 && fields >> field; ++i)
            if (i == 19 && std::stoi(field) > 0)
                ++count;
    }
    return count;
}

// Frames in memory that any number of calculations may read at once.
class SharedFrames : public trm::testing::memory_footage {
public:
    using memory_footage::memory_footage;
    boost::shared_ptr<lumvex::cached_image> frame(int frame, int, bool) override
    {
        return cached_frame(frame);
    }
};

// A clip of the engine's synthetic scene, the object turning and moving a
// little each frame, and its key mask at frame 0.
struct SceneClip {
    boost::shared_ptr<SharedFrames> footage;
    img::image<img::bit> key;
    SceneClip(unsigned w, unsigned h, int count)
    {
        std::vector<img::image<Pixel>> images(static_cast<std::size_t>(count));
        std::vector<std::thread> makers;
        for (unsigned part = 0; part < 8; ++part)
            makers.emplace_back([&, part] {
                for (int k = static_cast<int>(part); k < count; k += 8) {
                    auto scene = trm::testing::make_scene(
                        w, h, trm::testing::turn_and_shift(w, h, k * 0.005236, k * 1.5, k * -0.75));
                    if (k == 0)
                        key = std::move(scene.object);
                    images[static_cast<std::size_t>(k)] = std::move(scene.frame);
                }
            });
        for (auto& t : makers)
            t.join();
        footage = boost::make_shared<SharedFrames>(std::move(images));
    }
};

// Busy work at below-normal priority besides the worker: calculations of
// the same clip on threads of their own, again and again until stopped, so
// that every core is taken as it would be by an engine whose every stage
// runs on all threads.
class Load {
public:
    Load(const SceneClip& clip, unsigned threads)
        : m_clip(clip)
    {
        for (unsigned i = 0; i < threads; ++i) {
            auto t = std::make_unique<platform::thread>();
            if (!t->create(&Load::Main, this))
                break;
            t->set_priority(platform::THREAD_PRIORITY_BELOW_NORMAL);
            t->resume();
            m_threads.push_back(std::move(t));
        }
    }
    ~Load()
    {
        m_stop = true;
        for (auto& t : m_threads)
            t->join();
    }

private:
    struct Calculation : trm::segment {
        const std::atomic<bool>& stop;
        Calculation(const SceneClip& clip, const std::atomic<bool>& s)
            : trm::segment(0, clip.footage)
            , stop(s)
        {
        }
        bool cancelled() override { return stop; }
    };

    static unsigned Main(void* argument)
    {
        auto& self = *static_cast<Load*>(argument);
        const int frames = self.m_clip.footage->frame_count();
        trm::param p;
        p.optic_flow = true;
        while (!self.m_stop) {
            Calculation c(self.m_clip, self.m_stop);
            c.set_range({ 0, frames });
            c.set_keymask(self.m_clip.key);
            c.set_param(p);
            try {
                c.calculate(false, { 0, frames });
            } catch (...) {
                return 1;
            }
        }
        return 0;
    }

    const SceneClip& m_clip;
    std::atomic<bool> m_stop { false };
    std::vector<std::unique_ptr<platform::thread>> m_threads;
};

const SceneClip& PlayedClip(bool hd)
{
    static const SceneClip sd(720, 576, 25);
    if (!hd)
        return sd;
    static const SceneClip full(1920, 1080, 12);
    return full;
}

// The view's player plays footage at 25 frames per second for three seconds,
// every frame painted afresh (Matted Foreground of a calculated segment), in
// a 1280 x 720 window under the toolkit's event loop. Argument hd: 0 plays
// 720 x 576 at actual pixels, 1 plays 1920 x 1080 fitted to the window.
// Argument load: 0 the machine otherwise idle; 1 the segment worker
// meanwhile calculates a segment of 1920 x 1080 frames with motion
// estimation on, with the engine's threads; 2 as 1, with one more
// calculation of the clip below normal priority for every other core, so
// that every core is busy whatever share of the calculation runs in
// parallel.
// Counters: frames shown, late (a gap above 1.5 periods since the previous
// one) and dropped (periods without a new frame) frames, the frame's painting
// from the player's step to its delivery (painter thread and hand-over) and
// the window paint, median and worst, the delay of a posted message, the
// cores the process kept busy, how long the UI thread waited for a
// processor while runnable, and the threads running below normal.
void PlayWhileProcessing(benchmark::State& state, const boost::shared_ptr<lumvex::footage>& footage,
    const img::image<img::bit>& key, bool fit, int load, const std::function<void(int)>& shownFrame = {})
{
    using Clock = WatchedView::Clock;
    if (!My::StartWindowSystem()) {
        state.SkipWithError("no display");
        return;
    }
    const auto pump = [](const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (!done() && Clock::now() < end) {
            platform::gui::pump();
            My::GetMessageQueue().RunPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    };
    segment_testing::PromptScope prompts;
    auto worker = std::make_unique<Processor>();
    // The footage played, whose segment was calculated first, shown as
    // Matted Foreground, so each frame is painted from its mask.
    const int played_frames = footage->frame_count();
    segment_testing::FakeSegmentHost playedHost;
    auto comp = std::make_unique<TLComp>(nullptr, worker.get());
    comp->SetFootage(footage);
    comp->GetSegmentSet().SetHost(&playedHost);
    TLSegment* played = comp->GetSegmentSet().CreateSegment(0);
    played->SetMask(key, "Brush");
    played->SetTimeSpan(0, played_frames);
    played->RequestProcessing();
    if (!pump([&] { return !played->IsProcessing(); }, std::chrono::seconds(120))
        || played->GetDataSpan() != My::Span { 0, played_frames }) {
        state.SkipWithError("the played segment was not calculated");
        return;
    }

    NoCache cache;
    // The process's first view window draws slower for a while: one plays
    // unmeasured first.
    static bool warm = false;
    if (!warm) {
        warm = true;
        TLView first(*comp, cache);
        first.CreateView(nullptr, CRect(0, 0, 1280, 720), 0);
        first.SetDisplayType(static_cast<int>(DisplayType::MattedForeground));
        first.GetPlayer().SetPlayFramerate(25);
        first.GetPlayer().SetPlayMode(My::Player::Forward);
        pump([] { return false; }, std::chrono::seconds(2));
        first.GetPlayer().SetPlayMode(My::Player::Stopped);
        first.DestroyWindow();
    }
    auto watched = std::make_unique<WatchedView>(*comp, cache);
    WatchedView& view = *watched;
    view.CreateView(nullptr, CRect(0, 0, 1280, 720), 0);
    view.SetDisplayType(static_cast<int>(DisplayType::MattedForeground));
    if (fit)
        view.FitOnScreen();
    StepLog steps;
    comp->AddListener(&steps);
    std::vector<Clock::time_point> delivered;
    std::vector<double> readyMs;
    view.SetMeasuredRateSink([&](double) {
        const auto now = Clock::now();
        delivered.push_back(now);
        readyMs.push_back(std::chrono::duration<double, std::milli>(now - steps.last).count());
        view.fresh = true;
        if (shownFrame)
            shownFrame(comp->GetPreviewFrame());
    });
    view.GetPlayer().SetPlayFramerate(25);

    // The calculation: its own composition on the same worker.
    constexpr int kHdFrames = 40;
    segment_testing::FakeSegmentHost host;
    std::unique_ptr<SceneClip> clip;
    auto hd = std::make_unique<TLComp>(nullptr, worker.get());
    TLSegment* segment = nullptr;
    if (load >= 1) {
        clip = std::make_unique<SceneClip>(1920, 1080, kHdFrames);
        hd->SetFootage(clip->footage);
        hd->GetSegmentSet().SetHost(&host);
        segment = hd->GetSegmentSet().CreateSegment(0);
        segment->SetMask(clip->key, "Brush");
        segment->SetTimeSpan(0, kHdFrames);
        trm::param p = segment->GetParams();
        p.optic_flow = true;
        segment->SetParams(p);
    }
    pump([] { return false; }, std::chrono::milliseconds(200));
    if (segment) {
        segment->RequestProcessing();
        // Past the key frame: the tracked frames keep every thread busy.
        if (!pump([&] { return host.progressFrames.size() >= 2; }, std::chrono::seconds(60))) {
            state.SkipWithError("the calculation did not start");
            return;
        }
    }
    std::unique_ptr<Load> extra;
    if (load == 2)
        extra = std::make_unique<Load>(*clip, trm::thread_pool::machine_threads() - 1);
    const int niced = ThreadsBelowNormal();
    double cores = 0;
    double uiQueued = 0;
    // Plays for `span` under the toolkit's loop, a message posted every 20 ms.
    const auto play = [&](std::chrono::milliseconds span) {
        delivered.clear();
        readyMs.clear();
        view.paintMs.clear();
        view.shown = 0;
        {
            std::lock_guard<std::mutex> l(view.pingLock);
            view.pingMs.clear();
            view.pingSent.clear();
            view.pingSent.reserve(1000);
        }
        const double cpu = CpuSeconds();
        const double queued = RunQueueMs();
        const auto start = Clock::now();
        view.GetPlayer().SetPlayMode(My::Player::Forward);
        std::thread input([&] {
            for (WPARAM i = 0; Clock::now() - start < span; ++i) {
                {
                    std::lock_guard<std::mutex> l(view.pingLock);
                    view.pingSent.push_back(Clock::now());
                }
                view.PostMessage(kPing, i, 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            platform::gui::post([] { platform::gui::quit(); });
        });
        platform::gui::run_loop();
        input.join();
        view.GetPlayer().SetPlayMode(My::Player::Stopped);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        cores = (CpuSeconds() - cpu) / wall;
        uiQueued = RunQueueMs() - queued;
    };
    // The first frames drawn into a new window cost more; they are not counted.
    play(std::chrono::milliseconds(500));
    bool covered = true;
    for (auto _ : state) {
        play(std::chrono::seconds(3));
        if (segment && !segment->IsProcessing())
            covered = false;
    }
    std::vector<double> gaps;
    for (std::size_t i = 1; i < delivered.size(); ++i)
        gaps.push_back(std::chrono::duration<double, std::milli>(delivered[i] - delivered[i - 1]).count());
    constexpr double kPeriod = 40.0;
    int late = 0;
    long dropped = 0;
    for (double g : gaps) {
        late += g > 1.5 * kPeriod;
        dropped += std::max(0L, std::lround(g / kPeriod) - 1);
    }
    state.counters["fps"] = delivered.size() > 1
        ? 1000.0 * double(gaps.size()) / std::accumulate(gaps.begin(), gaps.end(), 0.0)
        : 0;
    state.counters["shown"] = view.shown;
    if (const auto& ready = view.GetPainter().GetReady(); ready.key)
        state.counters["type"] = double(static_cast<int>(ready.key->GetStyle().type)),
        state.counters["layers"] = double(ready.key->GetLayers().size());
    state.counters["late"] = late;
    state.counters["dropped"] = double(dropped);
    state.counters["ready_ms_med"] = Percentile(readyMs, 0.5);
    state.counters["ready_ms_max"] = Percentile(readyMs, 1.0);
    state.counters["paint_ms_med"] = Percentile(view.paintMs, 0.5);
    state.counters["paint_ms_max"] = Percentile(view.paintMs, 1.0);
    state.counters["event_ms_med"] = Percentile(view.pingMs, 0.5);
    state.counters["event_ms_max"] = Percentile(view.pingMs, 1.0);
    state.counters["cores_busy"] = cores;
    state.counters["ui_queued_ms"] = uiQueued;
    state.counters["threads_niced"] = niced;
    if (!covered)
        state.SkipWithError("the calculation ended before the playback");
    extra.reset();
    if (segment)
        hd->GetSegmentSet().CancelAll();
    pump([&] { return worker->IsIdle(); }, std::chrono::seconds(60));
    My::GetMessageQueue().RunPending();
    comp->RemoveListener(&steps);
    view.DestroyWindow();
    watched.reset();
    hd.reset();
    comp.reset();
    worker.reset();
}
void BM_ViewPlaysWhileProcessing(benchmark::State& state)
{
    const SceneClip& shown = PlayedClip(state.range(0) == 1);
    PlayWhileProcessing(
        state, shown.footage, shown.key, state.range(0) == 1, static_cast<int>(state.range(1)));
}
BENCHMARK(BM_ViewPlaysWhileProcessing)
    ->ArgNames({ "hd", "load" })
    ->ArgsProduct({ { 0, 1 }, { 0, 1, 2 } })
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The played clip as PNG files in a folder of its own, removed at the end.
struct SequenceFiles {
    std::filesystem::path folder;
    explicit SequenceFiles(const SceneClip& clip)
        : folder(std::filesystem::temp_directory_path() / ("tavelo_view_bench_" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(folder / "shot");
        for (int i = 0; i < clip.footage->frame_count(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "shot_%04d.png", i);
            img::gdiplus_writer().write(
                (folder / "shot" / name).string(), "png", clip.footage->cached_frame(i)->image, false);
        }
    }
    ~SequenceFiles()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string First() const { return (folder / "shot" / "shot_0000.png").string(); }
};

// As BM_ViewPlaysWhileProcessing with SD footage, the footage now an image
// sequence read by its loader thread through the program's cache system,
// each frame forgotten by the cache once shown, so that every frame is read
// anew (as the read-ahead of the frame before it). The program runs as an
// ordinary user's: without the right to raise a thread's priority again.
// Argument load as there.
void BM_ViewPlaysSequenceWhileProcessing(benchmark::State& state)
{
    priority_testing::ordinary_user_scope ordinary;
    const SceneClip& clip = PlayedClip(false);
    static const SequenceFiles files(clip);
    // Settings and disc cache of the benchmark's own.
    setenv("XDG_CONFIG_HOME", (files.folder / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (files.folder / "cache").c_str(), 1);
    lumvex::dll library;
    {
        const auto footage = library.create_seq_footage(files.First());
        PlayWhileProcessing(state, footage, clip.key, false, static_cast<int>(state.range(0)),
            [&](int frame) { library.coordinator().remove(footage->frame_id(frame)); });
    }
    state.counters["ordinary_user"] = ordinary.active;
}
BENCHMARK(BM_ViewPlaysSequenceWhileProcessing)
    ->ArgName("load")
    ->Arg(0)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
