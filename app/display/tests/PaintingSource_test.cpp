// Building the painting key of a composition frame: the style narrowed by
// the mask editor, the background's coverage (its start offset and
// trimming) and the chosen segment's masks; the layers collected by
// position or taken from the followed or selected segment (mode None shown
// as Add); the footage and background frames of the key.

#include "app/display/PaintingKey.h"
#include "app/display/PaintingSource.h"
#include "document/composition/Background.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

namespace {

using namespace segment_testing;

struct Doc {
    PromptScope prompts;
    FakeSegmentHost host;
    TLComp comp;
    boost::shared_ptr<lumvex::footage> background = boost::make_shared<SceneFootage>(50);
    PaintingSource source;
    Doc()
    {
        comp.SetFootage(boost::make_shared<SceneFootage>(40));
        Set().SetHost(&host);
        source.composition = &comp;
    }
    TLSegmentSet& Set() { return comp.GetSegmentSet(); }
    // The background's frames 5 to 19 at composition frames 15 to 29.
    void LoadBackground()
    {
        comp.GetBackground().SetFootage(background);
        comp.GetBackground().SetStart(10);
        comp.GetBackground().SetTrimming(5, 20);
    }
    boost::shared_ptr<PaintingKey> Key(DisplayType type, int frame, bool smooth = false)
    {
        source.style.type = type;
        source.style.smooth = smooth;
        return MakePaintingKey(source, frame);
    }
};

// Gives s a result at frame: a crisp mask and, with grey, a grey mask.
void Result(TLSegment& s, int frame, bool grey = false)
{
    auto& engine = *s.GetEngine();
    const My::Span table = engine.range();
    engine.set_range({ std::min(table.first, frame), std::max(table.last, frame + 1) });
    auto record = boost::make_shared<trm::frame_record>();
    record->bit_mask = BlockMask();
    if (grey) {
        img::image<unsigned char> g(kWidth, kHeight, 4);
        g.fill(9);
        record->grey_mask.encode(g);
    }
    engine.store(frame, record, engine.segmented(), engine.smoothed());
}

TEST(PaintingSource, EmptyCompositionHasNoKey)
{
    PromptScope prompts;
    TLComp empty;
    PaintingSource source;
    source.composition = &empty;
    EXPECT_FALSE(MakePaintingKey(source, 0));
}

TEST(PaintingSource, MaskEditorShowsTheFootageOnlyWhateverTheType)
{
    Doc d;
    d.LoadBackground();
    TLSegment* s = d.Set().CreateSegment(20);
    Result(*s, 20);
    d.source.editingMask = true;
    for (int t = 0; t <= 4; ++t) {
        const auto key = d.Key(static_cast<DisplayType>(t), 20);
        EXPECT_EQ(key->GetStyle().type, DisplayType::ForegroundOnly) << t;
        EXPECT_TRUE(key->GetLayers().empty());
        EXPECT_FALSE(key->GetBackground());
        EXPECT_EQ(key->GetFootage(), d.comp.GetFootage());
        EXPECT_EQ(key->GetFrame(), 20);
    }
}

TEST(PaintingSource, BackgroundFrameFollowsItsStartAndTrimming)
{
    Doc d;
    d.LoadBackground();
    TLSegment* s = d.Set().CreateSegment(15);
    s->SetTimeSpan(0, 40);
    for (int f : { 14, 15, 29, 30 })
        Result(*s, f);
    auto key = d.Key(DisplayType::Composition, 15);
    EXPECT_EQ(key->GetStyle().type, DisplayType::Composition);
    EXPECT_EQ(key->GetBackground(), d.background);
    EXPECT_EQ(key->GetBackgroundFrame(), 5);
    EXPECT_EQ(key->GetFrame(), 15);
    EXPECT_EQ(d.Key(DisplayType::BackgroundOnly, 29)->GetBackgroundFrame(), 19);
    // Outside the trimmed range: Matted Foreground, and the footage alone.
    for (int f : { 14, 30 }) {
        key = d.Key(DisplayType::Composition, f);
        EXPECT_EQ(key->GetStyle().type, DisplayType::MattedForeground) << f;
        EXPECT_FALSE(key->GetBackground());
        EXPECT_EQ(key->GetLayers().size(), 1u);
        key = d.Key(DisplayType::BackgroundOnly, f);
        EXPECT_EQ(key->GetStyle().type, DisplayType::ForegroundOnly) << f;
        EXPECT_FALSE(key->GetBackground());
    }
}

TEST(PaintingSource, SelectedSegmentAloneWithModeNoneIsShownAsAdd)
{
    Doc d;
    TLSegment* lower = d.Set().CreateSegment(7);
    TLSegment* upper = d.Set().CreateSegment(7);
    Result(*lower, 7);
    Result(*upper, 7);
    lower->SetMaskMode(MaskMode::None, true);
    d.Set().SelectSegment(d.Set().IndexOf(lower));
    const auto key = d.Key(DisplayType::MattedForeground, 7);
    EXPECT_EQ(key->GetStyle().type, DisplayType::MattedForeground);
    ASSERT_EQ(key->GetLayers().size(), 1u);
    EXPECT_EQ(key->GetLayers()[0].record, lower->GetEngine()->frame_data(7));
    EXPECT_EQ(key->GetLayers()[0].mode, (MaskMode { MaskMode::Add, true }));
    EXPECT_FALSE(key->GetBackground());
}

TEST(PaintingSource, WithoutSelectionTheLayersOfAllSegmentsAreCollected)
{
    Doc d;
    TLSegment* lower = d.Set().CreateSegment(7);
    TLSegment* upper = d.Set().CreateSegment(7);
    Result(*lower, 7);
    Result(*upper, 7);
    upper->SetMaskMode(MaskMode::Add, false);
    d.Set().SelectSegment(-1);
    std::vector<MaskLayer> expected;
    d.Set().CollectMaskLayers(7, false, expected);
    ASSERT_EQ(expected.size(), 2u);
    const auto key = d.Key(DisplayType::MaskOnly, 7);
    ASSERT_EQ(key->GetLayers().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(key->GetLayers()[i].record, expected[i].record);
        EXPECT_EQ(key->GetLayers()[i].mode, expected[i].mode);
    }
    // Nothing found at a frame without masks: Composition becomes the
    // footage alone, Mask Only stays and collects (no) layers.
    EXPECT_EQ(d.Key(DisplayType::Composition, 30)->GetStyle().type, DisplayType::ForegroundOnly);
    const auto empty = d.Key(DisplayType::MaskOnly, 30);
    EXPECT_EQ(empty->GetStyle().type, DisplayType::MaskOnly);
    EXPECT_TRUE(empty->GetLayers().empty());
}

TEST(PaintingSource, SelectedSegmentWithoutAMaskShowsNoLayers)
{
    Doc d;
    TLSegment* s = d.Set().CreateSegment(7);
    TLSegment* other = d.Set().CreateSegment(7);
    Result(*other, 7);
    d.Set().SelectSegment(d.Set().IndexOf(s));
    EXPECT_EQ(d.Key(DisplayType::MattedForeground, 7)->GetStyle().type, DisplayType::ForegroundOnly);
    const auto key = d.Key(DisplayType::MaskOnly, 7);
    EXPECT_EQ(key->GetStyle().type, DisplayType::MaskOnly);
    EXPECT_TRUE(key->GetLayers().empty());
}

TEST(PaintingSource, SmoothFlagIsClearedWithoutAGreyMask)
{
    Doc d;
    TLSegment* s = d.Set().CreateSegment(7);
    Result(*s, 7);
    auto key = d.Key(DisplayType::MaskOnly, 7, true);
    EXPECT_FALSE(key->GetStyle().smooth);
    ASSERT_EQ(key->GetLayers().size(), 1u);
    Result(*s, 7, true);
    key = d.Key(DisplayType::MaskOnly, 7, true);
    EXPECT_TRUE(key->GetStyle().smooth);
    EXPECT_EQ(key->GetLayers().size(), 1u);
}

TEST(PaintingSource, FollowModeShowsTheSegmentBeingProcessed)
{
    Doc d;
    TLSegment* processed = d.Set().CreateSegment(7);
    TLSegment* selected = d.Set().CreateSegment(7);
    Result(*processed, 7);
    Result(*selected, 7);
    d.Set().SelectSegment(d.Set().IndexOf(selected));
    d.source.following = true;
    d.source.progressSegment = processed;
    auto effective = GetEffectiveStyle(d.source, 7);
    EXPECT_EQ(effective.segment, processed);
    EXPECT_FALSE(effective.byPosition);
    auto key = d.Key(DisplayType::Composition, 7);
    // No background: Composition becomes Matted Foreground.
    EXPECT_EQ(key->GetStyle().type, DisplayType::MattedForeground);
    ASSERT_EQ(key->GetLayers().size(), 1u);
    EXPECT_EQ(key->GetLayers()[0].record, processed->GetEngine()->frame_data(7));
    // Without a reported segment the selection counts.
    d.source.progressSegment = nullptr;
    EXPECT_EQ(GetEffectiveStyle(d.source, 7).segment, selected);
    // Not following: the reported segment does not count.
    d.source.following = false;
    d.source.progressSegment = processed;
    EXPECT_EQ(GetEffectiveStyle(d.source, 7).segment, selected);
}

TEST(PaintingSource, KeysOfTheSameStateAreEqual)
{
    Doc d;
    d.LoadBackground();
    TLSegment* s = d.Set().CreateSegment(20);
    Result(*s, 20);
    const auto a = d.Key(DisplayType::Composition, 20);
    const auto b = d.Key(DisplayType::Composition, 20);
    EXPECT_TRUE(a->equals(*b));
    EXPECT_FALSE(a->equals(*d.Key(DisplayType::Composition, 21)));
}

} // namespace
