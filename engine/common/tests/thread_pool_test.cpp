// The engine's worker pool, and the promise the stages make with it: a
// calculation gives the same records, byte for byte, on one thread and on
// eight.

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <atomic>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/common/thread_pool.h"
#include "engine/segment.h"
#include "engine/tests/memory_footage.h"
#include "engine/tests/synthetic_scene.h"
#include "platform/kernel/thread.h"

namespace {

// Restores the machine's thread count when a test ends.
struct threads_restored {
    ~threads_restored() { trm::thread_pool::set_threads(0); }
};

TEST(ThreadPool, FirstExceptionIsRethrownAfterTheLoopEnds)
{
    trm::thread_pool pool(4);
    std::atomic<int> running { 0 };
    EXPECT_THROW(pool.run(1000,
                     [&](std::size_t i) {
                         ++running;
                         if (i == 10)
                             throw std::runtime_error("a failed item");
                         --running;
                     }),
        std::runtime_error);
    // Every call has returned: no item runs after run() has rethrown.
    EXPECT_EQ(running.load(), 1);
    // The pool serves the next loop.
    std::atomic<int> calls { 0 };
    pool.run(100, [&](std::size_t) { ++calls; });
    EXPECT_EQ(calls.load(), 100);
}

TEST(ThreadPool, LoopInsideALoopRunsOnItsThreadWithoutWaitingForItself)
{
    trm::thread_pool pool(4);
    std::vector<std::atomic<int>> hits(64 * 64);
    pool.run(64, [&](std::size_t i) { pool.run(64, [&](std::size_t j) { ++hits[i * 64 + j]; }); });
    for (const auto& h : hits)
        ASSERT_EQ(h.load(), 1);
}

TEST(ThreadPool, EveryIndexRunsOnceOnThreadsBelowNormalPriority)
{
    trm::thread_pool pool(8);
    EXPECT_GE(pool.threads(), 1u);
    std::vector<std::atomic<int>> hits(10000);
    const int caller = platform::current_thread_priority();
    for (int round = 0; round < 20; ++round)
        pool.run(hits.size(), [&](std::size_t i) { ++hits[i]; });
    for (const auto& h : hits)
        ASSERT_EQ(h.load(), 20);
    pool.run(0, [](std::size_t) { FAIL(); });

    // Whether a worker joins a loop at all is the scheduler's choice while
    // the calling thread can finish alone. Here the caller's items wait
    // until an item has run elsewhere, so a worker must join; every item it
    // runs runs below the caller's priority. The bound only turns a pool
    // that never lets a worker in into a failure instead of a hang.
    if (pool.threads() > 1) {
        const std::thread::id calling = std::this_thread::get_id();
        std::atomic<int> elsewhere { 0 };
        std::atomic<int> below { 0 };
        std::atomic<bool> gave_up { false };
        pool.run(64, [&](std::size_t) {
            if (std::this_thread::get_id() != calling) {
                if (platform::current_thread_priority() < caller)
                    ++below;
                ++elsewhere;
                return;
            }
            const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(2);
            while (elsewhere.load() == 0 && !gave_up) {
                if (std::chrono::steady_clock::now() > limit)
                    gave_up = true;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        EXPECT_FALSE(gave_up.load());
        EXPECT_GT(elsewhere.load(), 0);
        EXPECT_EQ(below.load(), elsewhere.load());
    }
}

// Loops in quick succession, and after pauses long enough for the workers
// to fall asleep: every index runs once per loop, a loop returns only when
// all its calls have returned (the next loop's counters start from zero),
// and a failing loop leaves the pool serving the next.
TEST(ThreadPool, LoopsInQuickSuccessionAndAfterPausesEachRunEveryIndexOnce)
{
    trm::thread_pool pool(8);
    std::vector<std::atomic<int>> hits(40);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t count = static_cast<std::size_t>(round % 37) + 2;
        for (auto& h : hits)
            h.store(0, std::memory_order_relaxed);
        std::atomic<int> inside { 0 };
        const bool fail = round % 101 == 50;
        const auto body = [&](std::size_t i) {
            ++inside;
            ++hits[i];
            // Some calls outlast the caller's share of the loop.
            if (i % 5 == 1)
                std::this_thread::yield();
            --inside;
            if (fail && i == count - 1)
                throw std::logic_error("last item");
        };
        if (fail) {
            EXPECT_THROW(pool.run(count, body), std::logic_error);
        } else {
            pool.run(count, body);
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(hits[i].load(), 1) << "round " << round << " index " << i;
        }
        ASSERT_EQ(inside.load(), 0) << "round " << round;
        if (round % 500 == 499)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

TEST(ThreadPool, SharedPoolTakesTheCountSet)
{
    const threads_restored restore;
    trm::thread_pool::set_threads(3);
    EXPECT_EQ(trm::thread_pool::shared().threads(), 3u);
    trm::thread_pool::set_threads(1);
    EXPECT_EQ(trm::thread_pool::shared().threads(), 1u);
    trm::thread_pool::set_threads(0);
    EXPECT_EQ(trm::thread_pool::shared().threads(), trm::thread_pool::machine_threads());
    std::vector<int> covered(1001, 0);
    trm::parallel_ranges(covered.size(), 7, [&](std::size_t a, std::size_t b) {
        EXPECT_LE(b - a, 7u);
        for (std::size_t i = a; i < b; ++i)
            ++covered[i];
    });
    for (int c : covered)
        ASSERT_EQ(c, 1);
}

// Every record of a calculation as bytes: mask rows, smoothed mask, contour,
// motion and reference frame.
std::vector<std::string> records(const boost::shared_ptr<trm::testing::memory_footage>& footage,
    const img::image<img::bit>& key, int origin, int frames, const trm::param& p)
{
    trm::segment segment(origin, footage);
    segment.set_range({ 0, frames });
    segment.set_keymask(key);
    segment.set_param(p);
    segment.calculate(false, { 0, frames });
    std::vector<std::string> out;
    for (int k = 0; k < frames; ++k) {
        const auto r = segment.frame_data(k);
        std::string bytes;
        if (r && r->bit_mask.data != nullptr) {
            for (unsigned y = 0; y < r->bit_mask.height; ++y)
                bytes.append(reinterpret_cast<const char*>(r->bit_mask.row(y)), (r->bit_mask.width + 7) / 8);
            bytes += r->grey_mask.bytes();
            bytes.append(
                reinterpret_cast<const char*>(r->contour.data()), r->contour.size() * sizeof(r->contour[0]));
            bytes.append(reinterpret_cast<const char*>(&r->motion), sizeof(r->motion));
            bytes.append(reinterpret_cast<const char*>(&r->ref_frame), sizeof(r->ref_frame));
        }
        out.push_back(std::move(bytes));
    }
    return out;
}

struct clip {
    boost::shared_ptr<trm::testing::memory_footage> footage;
    img::image<img::bit> key;
};

clip make_clip(unsigned width, unsigned height, int frames, int origin, bool pipeline_motion)
{
    clip c;
    std::vector<img::image<img::BGRA<unsigned char>>> images;
    for (int k = 0; k < frames; ++k) {
        // The pipeline benchmark's motion, or the tracking-quality scenes'.
        const trm::affine_motion m = pipeline_motion
            ? trm::testing::turn_and_shift(width, height, k * 0.005236, k * 1.5, k * -0.75)
            : trm::testing::turn_grow_and_shift(width, height, k);
        trm::testing::synthetic_scene scene = trm::testing::make_scene(width, height, m);
        if (k == origin)
            c.key = scene.object;
        images.push_back(std::move(scene.frame));
    }
    c.footage = boost::make_shared<trm::testing::memory_footage>(std::move(images));
    return c;
}

void expect_same_on_one_and_eight_threads(const clip& c, int origin, int frames, const trm::param& p)
{
    const threads_restored restore;
    trm::thread_pool::set_threads(1);
    const std::vector<std::string> one = records(c.footage, c.key, origin, frames, p);
    trm::thread_pool::set_threads(8);
    const std::vector<std::string> eight = records(c.footage, c.key, origin, frames, p);
    ASSERT_EQ(one.size(), eight.size());
    for (std::size_t k = 0; k < one.size(); ++k) {
        EXPECT_FALSE(one[k].empty()) << "frame " << k;
        EXPECT_TRUE(one[k] == eight[k]) << "frame " << k << " differs";
    }
}

// Parameter sets that between them run every stage and every branch of the
// stages that use the pool.
std::vector<trm::param> parameter_sets()
{
    std::vector<trm::param> sets;
    sets.emplace_back();
    trm::param p;
    p.optic_flow = true;
    sets.push_back(p);
    p.downsample = 2;
    p.mincut = true;
    p.smooth_mask = trm::smooth_mask_method::equal_spheres;
    sets.push_back(p);
    p = {};
    p.optic_flow = true;
    p.refine_information_source = ::refine::information_source::reference;
    p.refine_auto = true;
    p.refine_preference = ::refine::preference::masked;
    p.smooth_mask = trm::smooth_mask_method::equal_ellipses;
    sets.push_back(p);
    p = {};
    p.refine_information_source = ::refine::information_source::target;
    p.refine2_mask = true;
    p.mincut = true;
    p.mincut_antialiasing = true;
    p.smooth_mask = trm::smooth_mask_method::diffuse;
    p.decrease_mask_freedom = true;
    sets.push_back(p);
    p = {};
    p.optic_flow = true;
    p.downsample = 3;
    p.reference_frame_pitch = 2;
    p.refine_window_half_size = 2;
    p.dilation_erosion = 1;
    sets.push_back(p);
    return sets;
}

TEST(ThreadPool, TrackingQualityScenesGiveTheSameRecordsOnOneAndEightThreads)
{
    constexpr int frames = 7;
    constexpr int origin = 3;
    const clip c = make_clip(320, 240, frames, origin, false);
    const std::vector<trm::param> sets = parameter_sets();
    for (std::size_t i = 0; i < sets.size(); ++i) {
        SCOPED_TRACE("parameter set " + std::to_string(i));
        expect_same_on_one_and_eight_threads(c, origin, frames, sets[i]);
    }
}

TEST(ThreadPool, PipelineBenchmarkInputGivesTheSameRecordsOnOneAndEightThreads)
{
    constexpr int frames = 4;
    const clip c = make_clip(720, 576, frames, 0, true);
    const std::vector<trm::param> sets = parameter_sets();
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("parameter set " + std::to_string(i));
        expect_same_on_one_and_eight_threads(c, 0, frames, sets[i]);
    }
}

} // namespace
