// Painting keys: their equality (style, frame size, footage, frames and
// layers as each display type needs), the key texts, fetching through the
// cache (footage-only types hand out the footage's own frame, storing only
// when asked), the order of the footage reads, and painting each type.

#include "app/display/PaintingKey.h"
#include "app/display/tests/painting_test_support.h"
#include "engine/frame_record.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace painting_testing;
using Read = LoggedFootage::Read;

DisplayStyle Style(DisplayType type, bool smooth = false, bool inverse = false, Pixel matte = {})
{
    DisplayStyle style;
    style.type = type;
    style.smooth = smooth;
    style.inverse = inverse;
    style.matte = matte;
    return style;
}

// A record of a 4 x 2 frame whose grey mask rises from left to right.
boost::shared_ptr<trm::frame_record> Ramp()
{
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = img::image<img::bit>(4, 2, 4);
    record->bit_mask.fill(false);
    img::image<unsigned char> grey(4, 2, 4);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 4; ++x)
            grey.row(y)[x] = static_cast<unsigned char>(60 * x + y);
    record->grey_mask.encode(grey);
    return record;
}

// A record whose crisp mask is set on the left half of a 4 x 2 frame.
boost::shared_ptr<trm::frame_record> LeftHalf()
{
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = img::image<img::bit>(4, 2, 4);
    record->bit_mask.fill(false);
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 2; ++x)
            record->bit_mask.at(x, y) = true;
    return record;
}

struct Fixture {
    boost::shared_ptr<LoggedFootage> footage
        = boost::make_shared<LoggedFootage>(10, 4, 2, Pixel { 100, 0, 0, 255 });
    boost::shared_ptr<LoggedFootage> background
        = boost::make_shared<LoggedFootage>(10, 4, 2, Pixel { 200, 50, 50, 255 });
    boost::shared_ptr<trm::frame_record> record = LeftHalf();
    ListCache cache;

    boost::shared_ptr<PaintingKey> Key(const DisplayStyle& style, int frame = 3, int backgroundFrame = 5,
        std::vector<MaskLayer> layers = {}) const
    {
        return boost::make_shared<PaintingKey>(
            style, std::move(layers), footage, frame, background, backgroundFrame);
    }
    std::vector<MaskLayer> Layers(int mode = MaskMode::Add) const { return { { record, { mode, false } } }; }
};

TEST(PaintingKey, FetchWithoutKeyOrFootageFails)
{
    ListCache cache;
    EXPECT_THROW(PaintingKey::Fetch(cache, nullptr, 0, true), std::invalid_argument);
    EXPECT_THROW(PaintingKey::Fetch(cache, boost::make_shared<PaintingKey>(), 0, true), std::logic_error);
    Fixture f;
    auto noBackground
        = boost::make_shared<PaintingKey>(Style(DisplayType::Composition), f.Layers(), f.footage, 3);
    EXPECT_THROW(PaintingKey::Fetch(cache, noBackground, 0, true), std::logic_error);
    EXPECT_TRUE(cache.entries.empty());
}

TEST(PaintingKey, PaintedFramesHaveNoTextAndStayInMemory)
{
    Fixture f;
    const auto key = f.Key(Style(DisplayType::Composition));
    EXPECT_EQ(key->key(), "");
    std::ostringstream text;
    key->describe(text);
    EXPECT_EQ(text.str(), "");
    EXPECT_FALSE(key->disc_cacheable());
    EXPECT_TRUE(key->can_produce());
    EXPECT_FALSE(key->threaded());
}

TEST(PaintingKey, MaskOnlyKeysCompareFlagsLayersAndFrameSizeButNoFootage)
{
    Fixture f;
    const auto a = f.Key(Style(DisplayType::MaskOnly), 1);
    EXPECT_TRUE(a->equals(*f.Key(Style(DisplayType::MaskOnly), 7, 2)));
    auto sameSize = boost::make_shared<LoggedFootage>(1, 4, 2, Pixel {});
    EXPECT_TRUE(a->equals(PaintingKey(Style(DisplayType::MaskOnly), {}, sameSize, 0)));
    // Footage of another size never shares a painted image.
    auto otherSize = boost::make_shared<LoggedFootage>(1, 5, 2, Pixel {});
    EXPECT_FALSE(a->equals(PaintingKey(Style(DisplayType::MaskOnly), {}, otherSize, 1)));
    EXPECT_FALSE(a->equals(*f.Key(Style(DisplayType::MaskOnly, true), 1)));
    EXPECT_FALSE(a->equals(*f.Key(Style(DisplayType::MaskOnly, false, true), 1)));
    // Matte colour does not count for Mask Only.
    EXPECT_TRUE(a->equals(*f.Key(Style(DisplayType::MaskOnly, false, false, { 1, 2, 3, 4 }), 1)));

    const auto layered = f.Key(Style(DisplayType::MaskOnly), 1, 5, f.Layers());
    EXPECT_FALSE(a->equals(*layered));
    EXPECT_TRUE(layered->equals(*f.Key(Style(DisplayType::MaskOnly), 1, 5, f.Layers())));
    EXPECT_FALSE(layered->equals(*f.Key(Style(DisplayType::MaskOnly), 1, 5, f.Layers(MaskMode::Subtract))));
    std::vector<MaskLayer> inverted = f.Layers();
    inverted[0].mode.inverted = true;
    EXPECT_FALSE(layered->equals(*f.Key(Style(DisplayType::MaskOnly), 1, 5, inverted)));
    // Records compare by identity, not by content.
    std::vector<MaskLayer> copy { { LeftHalf(), { MaskMode::Add, false } } };
    EXPECT_FALSE(layered->equals(*f.Key(Style(DisplayType::MaskOnly), 1, 5, copy)));
    // Not a painting key.
    EXPECT_FALSE(a->equals(*f.footage->frame_id(1)));
}

TEST(PaintingKey, MatteColourCountsOnlyForMattedForeground)
{
    Fixture f;
    const Pixel blue { 255, 0, 0, 128 };
    const Pixel red { 0, 0, 255, 128 };
    const auto matted = f.Key(Style(DisplayType::MattedForeground, false, false, blue), 3, 5, f.Layers());
    EXPECT_FALSE(
        matted->equals(*f.Key(Style(DisplayType::MattedForeground, false, false, red), 3, 5, f.Layers())));
    const auto composed = f.Key(Style(DisplayType::Composition, false, false, blue), 3, 5, f.Layers());
    EXPECT_TRUE(
        composed->equals(*f.Key(Style(DisplayType::Composition, false, false, red), 3, 5, f.Layers())));
}

TEST(PaintingKey, FootageAndFramesCountWhereTheTypeShowsThem)
{
    Fixture f;
    const auto matted = f.Key(Style(DisplayType::MattedForeground), 3, 5, f.Layers());
    EXPECT_FALSE(matted->equals(*f.Key(Style(DisplayType::MattedForeground), 4, 5, f.Layers())));
    // The background does not show in Matted Foreground.
    EXPECT_TRUE(matted->equals(*f.Key(Style(DisplayType::MattedForeground), 3, 6, f.Layers())));
    const auto sameFrames = boost::make_shared<LoggedFootage>(10, 4, 2, Pixel { 100, 0, 0, 255 });
    EXPECT_FALSE(
        matted->equals(PaintingKey(Style(DisplayType::MattedForeground), f.Layers(), sameFrames, 3)));

    const auto composed = f.Key(Style(DisplayType::Composition), 3, 5, f.Layers());
    EXPECT_FALSE(composed->equals(*f.Key(Style(DisplayType::Composition), 3, 6, f.Layers())));
    EXPECT_FALSE(composed->equals(*f.Key(Style(DisplayType::Composition), 3, 5, {})));
    EXPECT_FALSE(composed->equals(
        PaintingKey(Style(DisplayType::Composition), f.Layers(), f.footage, 3, sameFrames, 5)));

    // Footage-only types ignore layers and flags.
    const auto front = f.Key(Style(DisplayType::ForegroundOnly), 3, 5);
    EXPECT_TRUE(front->equals(*f.Key(Style(DisplayType::ForegroundOnly, true, true), 3, 9, f.Layers())));
    EXPECT_FALSE(front->equals(*f.Key(Style(DisplayType::ForegroundOnly), 4, 5)));
    const auto back = f.Key(Style(DisplayType::BackgroundOnly), 3, 5);
    EXPECT_TRUE(back->equals(*f.Key(Style(DisplayType::BackgroundOnly), 8, 5)));
    EXPECT_FALSE(back->equals(*f.Key(Style(DisplayType::BackgroundOnly), 3, 6)));
    EXPECT_FALSE(back->equals(*front));
}

// Frames whose own keys name the field order, as a deinterlaced footage's
// do; changing it leaves the footage object and its frame numbers alone.
class FieldedFootage : public LoggedFootage {
public:
    FieldedFootage()
        : LoggedFootage(10, 4, 2, Pixel { 100, 0, 0, 255 })
    {
    }
    boost::shared_ptr<lumvex::item_id> frame_id(int frame) override
    {
        return boost::make_shared<trm::testing::memory_frame_id>(frame + 1000 * static_cast<int>(m_fields));
    }
    void set_fields(lumvex::deinterlace_fields fields) override { m_fields = fields; }
    lumvex::deinterlace_fields fields() const override { return m_fields; }

private:
    lumvex::deinterlace_fields m_fields = lumvex::deinterlace_fields::upper_first;
};

TEST(PaintingKey, KeysMadeBeforeTheFieldOrderChangedNameOtherPictures)
{
    Fixture f;
    const auto front = boost::make_shared<FieldedFootage>();
    const auto back = boost::make_shared<FieldedFootage>();
    for (const DisplayType type : { DisplayType::ForegroundOnly, DisplayType::BackgroundOnly,
             DisplayType::MattedForeground, DisplayType::Composition }) {
        const auto key = [&] { return PaintingKey(Style(type), f.Layers(), front, 3, back, 5); };
        const PaintingKey upper = key();
        EXPECT_TRUE(upper.equals(key()));
        const bool showsFront = type != DisplayType::BackgroundOnly;
        const bool showsBack = type == DisplayType::BackgroundOnly || type == DisplayType::Composition;
        front->set_fields(lumvex::deinterlace_fields::lower_first);
        EXPECT_EQ(upper.equals(key()), !showsFront) << DisplayTypeLabel(type);
        EXPECT_EQ(key().equals(upper), !showsFront) << DisplayTypeLabel(type);
        front->set_fields(lumvex::deinterlace_fields::upper_first);
        back->set_fields(lumvex::deinterlace_fields::lower_first);
        EXPECT_EQ(upper.equals(key()), !showsBack) << DisplayTypeLabel(type);
        back->set_fields(lumvex::deinterlace_fields::upper_first);
        EXPECT_TRUE(upper.equals(key()));
    }
    // A frame painted under the old order is not found for the new one.
    const auto matted
        = boost::make_shared<PaintingKey>(Style(DisplayType::MattedForeground), f.Layers(), front, 3);
    f.cache.put(boost::make_shared<lumvex::cached_image>(matted), lumvex::placement::back);
    front->set_fields(lumvex::deinterlace_fields::lower_first);
    EXPECT_FALSE(f.cache.find(
        boost::make_shared<PaintingKey>(Style(DisplayType::MattedForeground), f.Layers(), front, 3),
        lumvex::placement::back));
}

TEST(PaintingKey, FootageOnlyKeysEqualTheFootagesOwnFrameIds)
{
    Fixture f;
    const auto front = f.Key(Style(DisplayType::ForegroundOnly), 3, 5);
    EXPECT_TRUE(front->equals(*f.footage->frame_id(3)));
    EXPECT_FALSE(front->equals(*f.footage->frame_id(4)));
    const auto back = f.Key(Style(DisplayType::BackgroundOnly), 3, 5);
    EXPECT_TRUE(back->equals(*f.background->frame_id(5)));
    EXPECT_FALSE(back->equals(*f.background->frame_id(3)));
}

TEST(PaintingKey, FootageOnlyKeysFetchTheFootagesOwnFrameAndStoreNothing)
{
    Fixture f;
    const auto front = PaintingKey::Fetch(f.cache, f.Key(Style(DisplayType::ForegroundOnly), 3, 5), 2, true);
    EXPECT_EQ(front, f.footage->cached_frame(3));
    EXPECT_EQ(f.footage->reads, (std::vector<Read> { { 3, 2, true } }));
    const auto back = PaintingKey::Fetch(f.cache, f.Key(Style(DisplayType::BackgroundOnly), 3, 5), 1, true);
    EXPECT_EQ(back, f.background->cached_frame(5));
    EXPECT_EQ(f.background->reads, (std::vector<Read> { { 5, 1, true } }));
    EXPECT_TRUE(f.cache.entries.empty());
    // The look-ups move hits to the back of the eviction order.
    EXPECT_EQ(f.cache.placements, (std::vector<int> { lumvex::placement::back, lumvex::placement::back }));
}

TEST(PaintingKey, PaintedFrameIsStoredOnlyWhenAsked)
{
    Fixture f;
    const auto first
        = PaintingKey::Fetch(f.cache, f.Key(Style(DisplayType::MaskOnly), 3, 5, f.Layers()), 0, false);
    ASSERT_TRUE(first);
    EXPECT_TRUE(f.cache.entries.empty());
    // An equal key paints again.
    const auto again
        = PaintingKey::Fetch(f.cache, f.Key(Style(DisplayType::MaskOnly), 3, 5, f.Layers()), 0, true);
    EXPECT_NE(again, first);
    ASSERT_EQ(f.cache.entries.size(), 1u);
    EXPECT_EQ(f.cache.placements.back(), lumvex::placement::back);
    // Stored: an equal key of another frame finds it (Mask Only shows no footage).
    const auto found
        = PaintingKey::Fetch(f.cache, f.Key(Style(DisplayType::MaskOnly), 8, 5, f.Layers()), 0, true);
    EXPECT_EQ(found, again);
    EXPECT_EQ(f.cache.entries.size(), 1u);
    // Mask Only never reads the footage.
    EXPECT_TRUE(f.footage->reads.empty());
}

TEST(PaintingKey, MaskOnlyWithoutLayersPaintsTheFrameSizeBlackOrWhite)
{
    Fixture f;
    img::image<Pixel> out;
    f.Key(Style(DisplayType::MaskOnly))->Paint(out, 0);
    ASSERT_EQ(out.width, 4u);
    ASSERT_EQ(out.height, 2u);
    for (auto p : out)
        EXPECT_EQ(p.get(), (Pixel { 0, 0, 0, 255 }));
    f.Key(Style(DisplayType::MaskOnly, false, true))->Paint(out, 0);
    for (auto p : out)
        EXPECT_EQ(p.get(), (Pixel { 255, 255, 255, 0 }));
}

TEST(PaintingKey, CompositionReadsFrameWithoutWaitingThenBackgroundThenFrameWaiting)
{
    Fixture f;
    f.footage->notReadyWithoutWaiting = true;
    const auto painted
        = PaintingKey::Fetch(f.cache, f.Key(Style(DisplayType::Composition), 3, 5, f.Layers()), 2, false);
    EXPECT_EQ(f.footage->reads, (std::vector<Read> { { 3, 2, false }, { 3, 2, true } }));
    EXPECT_EQ(f.background->reads, (std::vector<Read> { { 5, 2, true } }));
    // The background (blue 205) inside the mask, the frame (blue 103) outside.
    EXPECT_EQ(painted->image.at(0, 0).get(), (Pixel { 205, 50, 50, 0 }));
    EXPECT_EQ(painted->image.at(3, 1).get(), (Pixel { 103, 0, 0, 255 }));

    // A ready frame is read once; inverted, the background shows outside the
    // mask, transparent.
    f.footage->notReadyWithoutWaiting = false;
    f.footage->reads.clear();
    img::image<Pixel> out;
    f.Key(Style(DisplayType::Composition, false, true), 3, 5, f.Layers())->produce(out);
    EXPECT_EQ(f.footage->reads, (std::vector<Read> { { 3, 0, false } }));
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 103, 0, 0, 255 }));
    EXPECT_EQ(out.at(3, 1).get(), (Pixel { 205, 50, 50, 0 }));
}

TEST(PaintingKey, FootageOnlyKeysPaintACopyOfTheirFrame)
{
    Fixture f;
    img::image<Pixel> out;
    f.Key(Style(DisplayType::ForegroundOnly), 3, 5)->Paint(out, 0);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 103, 0, 0, 255 }));
    f.Key(Style(DisplayType::BackgroundOnly), 3, 5)->Paint(out, 0);
    EXPECT_EQ(out.at(0, 0).get(), (Pixel { 205, 50, 50, 255 }));
}

TEST(PaintingKey, ThreadsShareOneKeyAndItsLayers)
{
    Fixture f;
    std::vector<MaskLayer> layers { { Ramp(), { MaskMode::Substitute, false } },
        { f.record, { MaskMode::Difference, true } } };
    const auto key = f.Key(Style(DisplayType::Composition, true), 3, 5, layers);
    img::image<Pixel> expected;
    key->Paint(expected, 0);
    std::vector<std::vector<Pixel>> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                const auto painted = PaintingKey::Fetch(f.cache, key, 2, false);
                for (auto p : painted->image)
                    seen[t].push_back(p.get());
            }
        });
    for (auto& thread : threads)
        thread.join();
    std::vector<Pixel> once;
    for (auto p : expected)
        once.push_back(p.get());
    for (const auto& pixels : seen)
        for (std::size_t i = 0; i < pixels.size(); ++i)
            ASSERT_EQ(pixels[i], once[i % once.size()]);
}

} // namespace
