#include "engine/segment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include <boost/make_shared.hpp>

#include "engine/tests/mask_test_support.h"

namespace {

using trm::testing::filled_mask;

// A record with a crisp mask of the given size and, when asked, a grey mask.
boost::shared_ptr<trm::frame_record> record(unsigned width, unsigned height, bool grey = false)
{
    auto r = boost::make_shared<trm::frame_record>();
    r->bit_mask = filled_mask(width, height, true);
    if (grey) {
        img::image<unsigned char> g(width, height, 4);
        g.fill(200);
        r->grey_mask.encode(g);
    }
    return r;
}

// Fills every frame of `frames` with a record (grey masks when `grey`) and
// sets both ranges to it.
void fill(trm::segment& s, My::Span frames, bool grey)
{
    for (int f = frames.first; f < frames.last; ++f)
        s.store(f, record(4, 4, grey), { frames.first, f + 1 },
            grey ? My::Span { frames.first, f + 1 } : My::Span { s.origin(), s.origin() });
}

TEST(Segment, NewSegmentHasNoEntriesAndARangeKeepsRecordsAtTheirFrames)
{
    trm::segment s(7, nullptr);
    EXPECT_EQ(s.range(), (My::Span { 7, 7 }));
    EXPECT_EQ(s.segmented(), (My::Span { 7, 7 }));
    EXPECT_EQ(s.smoothed(), (My::Span { 7, 7 }));
    EXPECT_FALSE(s.has_mask(7));

    s.set_range({ 5, 12 });
    EXPECT_FALSE(s.frame_data(5));
    fill(s, { 5, 12 }, false);
    const auto kept = s.frame_data(11);
    s.set_range({ 3, 12 });
    EXPECT_EQ(s.range(), (My::Span { 3, 12 }));
    EXPECT_FALSE(s.has_mask(4));
    for (int f = 5; f < 12; ++f)
        EXPECT_TRUE(s.has_mask(f)) << f;
    EXPECT_EQ(s.frame_data(11), kept);

    // Outside the table there is nothing, also at the extremes.
    EXPECT_FALSE(s.frame_data(12));
    EXPECT_FALSE(s.frame_data(INT_MIN));
    EXPECT_FALSE(s.has_encoded_mask(INT_MAX));
    EXPECT_THROW(s.set_range({ 9, 8 }), std::invalid_argument);
}

TEST(Segment, StoringOutsideTheTableThrowsAndChangesNothing)
{
    trm::segment s(7, nullptr);
    s.set_range({ 5, 12 });
    EXPECT_THROW(s.store(12, record(2, 2), { 7, 8 }, { 7, 7 }), std::out_of_range);
    EXPECT_THROW(s.store(7, record(2, 2), { 7, 13 }, { 7, 7 }), std::out_of_range);
    EXPECT_THROW(s.store(7, record(2, 2), { 8, 7 }, { 7, 7 }), std::out_of_range);
    EXPECT_FALSE(s.frame_data(7));
    EXPECT_EQ(s.segmented(), (My::Span { 7, 7 }));
}

TEST(Segment, TrimEmptiesFramesOutsideAndNeverInvertsARange)
{
    trm::segment s(7, nullptr);
    s.set_range({ 5, 12 });
    fill(s, { 5, 12 }, true);
    s.trim({ 8, 10 });
    for (int f = 5; f < 12; ++f)
        EXPECT_EQ(s.has_mask(f), f == 8 || f == 9) << f;
    EXPECT_EQ(s.segmented(), (My::Span { 8, 10 }));
    EXPECT_EQ(s.smoothed(), (My::Span { 8, 10 }));
    EXPECT_EQ(s.range(), (My::Span { 5, 12 }));

    // Keeping nothing of a range leaves it empty inside what is kept.
    s.trim({ 15, 20 });
    EXPECT_EQ(s.segmented(), (My::Span { 15, 15 }));
    s.set_range({ 0, 30 });
    s.store(16, record(4, 4), { 15, 17 }, { 15, 15 });
    s.trim({ 1, 3 });
    EXPECT_EQ(s.segmented(), (My::Span { 3, 3 }));
    s.trim({ 9, 4 });
    EXPECT_EQ(s.segmented(), (My::Span { 9, 9 }));
    EXPECT_FALSE(s.frame_data(16));
}

TEST(Segment, KeyMaskChangeEmptiesTheTableButKeepsItsRange)
{
    trm::segment s(7, nullptr);
    s.set_range({ 5, 12 });
    fill(s, { 5, 12 }, false);
    s.set_keymask(filled_mask(4, 4, true));
    EXPECT_EQ(s.keymask().count(), 16u);
    EXPECT_EQ(s.range(), (My::Span { 5, 12 }));
    EXPECT_EQ(s.segmented(), (My::Span { 7, 7 }));
    for (int f = 5; f < 12; ++f)
        EXPECT_FALSE(s.frame_data(f)) << f;

    // A reset keeps the key mask and forgets the rest.
    fill(s, { 5, 12 }, false);
    trm::param p;
    p.downsample = 3;
    s.set_param(p);
    s.reset(20, nullptr);
    EXPECT_EQ(s.keymask().count(), 16u);
    EXPECT_EQ(s.range(), (My::Span { 20, 20 }));
    EXPECT_EQ(s.param(), trm::param());
}

TEST(Segment, SmoothingOnlyChangeKeepsCrispMasksWhileOtherChangesDropEverything)
{
    trm::param decorative;
    decorative.smooth_mask = trm::smooth_mask_method::equal_spheres;
    decorative.smooth_decorative = true;

    trm::segment s(7, nullptr);
    ASSERT_TRUE(s.set_param(decorative));
    s.set_range({ 5, 12 });
    fill(s, { 5, 12 }, true);
    const auto before = s.frame_data(9);

    trm::param passes = decorative;
    passes.smooth_passes_num += 1;
    EXPECT_TRUE(s.set_param(passes));
    EXPECT_EQ(s.segmented(), (My::Span { 5, 12 }));
    EXPECT_EQ(s.smoothed(), (My::Span { 7, 7 }));
    for (int f = 5; f < 12; ++f) {
        EXPECT_TRUE(s.has_mask(f)) << f;
        EXPECT_FALSE(s.has_encoded_mask(f)) << f;
    }
    // A new record replaced the shared one, which its holder still has intact.
    EXPECT_NE(s.frame_data(9), before);
    EXPECT_FALSE(trm::is_empty(before->grey_mask));

    // Equal after clamping: nothing changes.
    trm::param clamped = passes;
    clamped.downsample = -5;
    EXPECT_FALSE(s.set_param(clamped));
    EXPECT_TRUE(s.has_mask(5));

    // Turning decorative smoothing off changes crisp masks: all goes.
    trm::param rethresholding = passes;
    rethresholding.smooth_decorative = false;
    EXPECT_TRUE(s.set_param(rethresholding));
    EXPECT_FALSE(s.has_mask(5));
    EXPECT_EQ(s.segmented(), (My::Span { 7, 7 }));

    // With rethresholding smoothing, even a pass count drops everything.
    fill(s, { 5, 12 }, true);
    trm::param more = rethresholding;
    more.smooth_passes_num += 1;
    EXPECT_TRUE(s.set_param(more));
    EXPECT_FALSE(s.has_mask(8));
}

// Neither side changes crisp masks: smoothing off (whatever its decorative
// flag) to decorative smoothing on is a smoothing-only change.
TEST(Segment, SwitchingDecorativeSmoothingOnKeepsCrispMasks)
{
    trm::param off;
    off.downsample = 2;
    off.smooth_mask = trm::smooth_mask_method::off;
    off.smooth_decorative = false;

    trm::segment s(7, nullptr);
    ASSERT_TRUE(s.set_param(off));
    ASSERT_FALSE(s.param().smooth_decorative);
    s.set_range({ 5, 12 });
    fill(s, { 5, 12 }, false);

    trm::param on = off;
    on.smooth_mask = trm::smooth_mask_method::equal_ellipses;
    on.smooth_decorative = true;
    EXPECT_TRUE(s.set_param(on));
    EXPECT_EQ(s.segmented(), (My::Span { 5, 12 }));
    EXPECT_EQ(s.smoothed(), (My::Span { 7, 7 }));
    for (int f = 5; f < 12; ++f)
        EXPECT_TRUE(s.has_mask(f)) << f;
    EXPECT_TRUE(s.param() == on);
    EXPECT_TRUE(s.param().smooth_decorative);

    // And back to off with the flag cleared: still smoothing only.
    EXPECT_TRUE(s.set_param(off));
    EXPECT_TRUE(s.has_mask(11));
    EXPECT_FALSE(s.param().smooth_decorative);
}

// A derived state as the project document makes one.
class observed_segment : public trm::segment {
public:
    observed_segment(int origin, std::vector<My::Span>& seen, bool& destroyed)
        : trm::segment(origin, nullptr)
        , m_seen(seen)
        , m_destroyed(destroyed)
    {
    }
    ~observed_segment() override { m_destroyed = true; }
    void frame_calculated(int frame, int direction, const My::Span& range) override
    {
        m_seen.push_back(range);
        m_seen.push_back({ frame, direction });
    }
    bool cancelled() override { return m_seen.size() >= 4; }

private:
    std::vector<My::Span>& m_seen;
    bool& m_destroyed;
};

TEST(Segment, NotificationsReachTheDerivedStateWhichIsDestroyedThroughTheBase)
{
    trm::segment plain(1, nullptr);
    EXPECT_FALSE(plain.cancelled());
    plain.frame_calculated(1, 0, { 0, 2 });

    std::vector<My::Span> seen;
    bool destroyed = false;
    std::unique_ptr<trm::segment> s = std::make_unique<observed_segment>(3, seen, destroyed);
    s->frame_calculated(4, 1, { 3, 5 });
    EXPECT_FALSE(s->cancelled());
    s->frame_calculated(5, 1, { 3, 6 });
    EXPECT_TRUE(s->cancelled());
    EXPECT_EQ(seen, (std::vector<My::Span> { { 3, 5 }, { 4, 1 }, { 3, 6 }, { 5, 1 } }));
    s.reset();
    EXPECT_TRUE(destroyed);
}

// The worker stores records frame by frame and replaces the newest ones (as
// re-smoothing does) while readers on other threads copy records and decode
// their grey masks: every frame inside a range a reader saw has a complete
// record from then on.
TEST(Segment, ReadersSeeCompleteRecordsWhileTheWorkerStoresThem)
{
    constexpr int frames = 2000;
    trm::segment s(0, nullptr);
    s.set_range({ 0, frames });
    std::vector<boost::shared_ptr<trm::frame_record>> pool;
    for (int i = 0; i < 4; ++i)
        pool.push_back(record(16, 8, true));
    std::atomic<bool> done { false };
    std::atomic<int> faults { 0 };

    std::thread worker([&] {
        for (int f = 0; f < frames; ++f)
            for (int replace = 0; replace < 4; ++replace) {
                s.store(f, pool[static_cast<std::size_t>(replace)], { 0, f + 1 }, { 0, f + 1 });
                std::this_thread::yield();
            }
        done = true;
    });
    const auto complete
        = [](const boost::shared_ptr<trm::frame_record>& r) { return r && r->bit_mask.count() == 128; };
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            do {
                const My::Span seen = s.smoothed();
                if (seen.last == seen.first)
                    continue;
                const auto newest = s.frame_data(seen.last - 1);
                img::image<unsigned char> grey;
                if (newest)
                    newest->grey_mask.decode(grey);
                if (!complete(newest) || grey.width != 16)
                    ++faults;
                for (int f = std::max(seen.first, seen.last - 8); f < seen.last; ++f)
                    if (!s.has_mask(f) || !complete(s.frame_data(f)))
                        ++faults;
            } while (!done);
        });
    worker.join();
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(s.segmented(), (My::Span { 0, frames }));
}

TEST(Segment, CopySharesTheRecordsAndKeepsEveryPartOfTheState)
{
    trm::segment s(7, nullptr);
    s.set_keymask(filled_mask(4, 4, true));
    trm::param p;
    p.dilation_erosion = 3;
    s.set_param(p);
    s.set_range({ 5, 12 });
    fill(s, { 5, 12 }, true);
    {
        profiler::scope scope(s.timing(), "stage");
    }

    const trm::segment copy(s);
    EXPECT_EQ(copy.origin(), 7);
    EXPECT_EQ(copy.range(), (My::Span { 5, 12 }));
    EXPECT_EQ(copy.segmented(), s.segmented());
    EXPECT_EQ(copy.smoothed(), s.smoothed());
    EXPECT_EQ(copy.param().dilation_erosion, 3);
    EXPECT_EQ(copy.keymask().count(), 16u);
    EXPECT_EQ(copy.timing().root().children.count("stage"), 1u);
    for (int f = 5; f < 12; ++f)
        EXPECT_EQ(copy.frame_data(f), s.frame_data(f)) << f;

    // The two states go their own ways from here.
    s.set_keymask(filled_mask(4, 4, false));
    EXPECT_FALSE(s.has_mask(8));
    EXPECT_TRUE(copy.has_mask(8));
    EXPECT_EQ(copy.keymask().count(), 16u);
}

TEST(Segment, CopyTakenWhileTheWorkerStoresIsNeverTorn)
{
    constexpr int frames = 1500;
    trm::segment s(0, nullptr);
    s.set_range({ 0, frames });
    const auto r = record(8, 8);
    std::atomic<bool> done { false };
    std::thread worker([&] {
        const trm::segment::calculation_mark mark(s);
        for (int f = 0; f < frames; ++f)
            s.store(f, r, { 0, f + 1 }, { 0, 0 });
        done = true;
    });
    int faults = 0;
    do {
        const trm::segment copy(s);
        const My::Span seen = copy.segmented();
        for (int f = seen.first; f < seen.last; ++f)
            if (!copy.has_mask(f))
                ++faults;
        if (copy.has_mask(seen.last))
            ++faults;
    } while (!done);
    worker.join();
    EXPECT_EQ(faults, 0);
}

} // namespace
