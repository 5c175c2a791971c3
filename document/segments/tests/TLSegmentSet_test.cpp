// The segment set: creating, deleting and moving segments as undoable
// actions and the selection kept around them, the order of a frame's mask
// layers, the segment found at a frame, and emptying the set.

#include "document/segments/SegmentData.h"
#include "document/segments/SegmentSelection.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

namespace {

using namespace segment_testing;

struct Doc : SegmentDoc {
    // Creates segments at the given frames; the last one ends at the top.
    std::vector<TLSegment*> Make(std::initializer_list<int> frames)
    {
        std::vector<TLSegment*> made;
        for (int f : frames)
            made.push_back(Set().CreateSegment(f));
        return made;
    }
    std::vector<TLSegment*> Order()
    {
        std::vector<TLSegment*> order;
        for (int i = 0; i < Set().GetCount(); ++i)
            order.push_back(Set().GetAt(i));
        return order;
    }
};

// Gives s a result at frame (a crisp mask and, with grey, a grey mask).
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

std::vector<MaskLayer> Layers(TLSegmentSet& set, int frame, bool encoded = false)
{
    std::vector<MaskLayer> out;
    set.CollectMaskLayers(frame, encoded, out);
    return out;
}

TEST(TLSegmentSet, DeleteAndMoveWithoutSelectionDoNothing)
{
    Doc d;
    d.Make({ 1, 2 });
    d.Set().SelectSegment(-1);
    const std::size_t entries = d.comp.GetHistory().GetCount();
    d.Set().DeleteSelected();
    d.Set().MoveSelected(0);
    EXPECT_EQ(d.Set().GetCount(), 2);
    EXPECT_EQ(d.comp.GetHistory().GetCount(), entries);
    // A move onto its own place records nothing.
    d.Set().SelectSegment(1);
    d.Set().MoveSelected(1);
    d.Set().MoveSelected(2);
    EXPECT_EQ(d.comp.GetHistory().GetCount(), entries);
}

TEST(TLSegmentSet, NewSegmentGoesOnTopSelectedAndUndoRestoresTheSelection)
{
    Doc d;
    auto made = d.Make({ 1, 2 });
    d.Set().SelectSegment(1);
    ASSERT_EQ(d.Set().GetSelected(), made[0]);
    TLSegment* c = d.Set().CreateSegment(3);
    EXPECT_EQ(d.Order(), (std::vector<TLSegment*> { c, made[1], made[0] }));
    EXPECT_EQ(d.Set().GetSelectedIndex(), 0);
    EXPECT_EQ(d.comp.GetHistory().GetUndoName(), "Create Segment");
    d.comp.GetHistory().Undo();
    EXPECT_EQ(d.Order(), (std::vector<TLSegment*> { made[1], made[0] }));
    EXPECT_EQ(d.Set().GetSelected(), made[0]);
    d.comp.GetHistory().Redo();
    EXPECT_EQ(d.Set().GetAt(0), c);
    EXPECT_EQ(d.Set().GetSelected(), c);
}

TEST(TLSegmentSet, DeletingTheSelectedLastSegmentSelectsTheNewLast)
{
    Doc d;
    auto made = d.Make({ 1, 2, 3 }); // order 3, 2, 1
    d.Set().SelectSegment(2);
    d.Set().DeleteSelected();
    EXPECT_EQ(d.comp.GetHistory().GetUndoName(), "Delete Segment");
    EXPECT_EQ(d.Set().GetCount(), 2);
    EXPECT_EQ(d.Set().GetSelectedIndex(), 1);
    d.comp.GetHistory().Undo();
    EXPECT_EQ(d.Set().GetAt(2), made[0]);
    EXPECT_EQ(d.Set().GetSelectedIndex(), 2);

    // Deleting the only segment selects nothing.
    Doc one;
    one.Make({ 5 });
    one.Set().DeleteSelected();
    EXPECT_EQ(one.Set().GetSelectedIndex(), -1);
    EXPECT_EQ(one.Set().GetSelected(), nullptr);
}

TEST(TLSegmentSet, MovingToAnInsertionPositionAfterTheListPutsItLast)
{
    Doc d;
    auto made = d.Make({ 1, 2, 3 }); // order 3, 2, 1
    d.Set().SelectSegment(0);
    d.Set().MoveSelected(3);
    EXPECT_EQ(d.Order(), (std::vector<TLSegment*> { made[1], made[0], made[2] }));
    EXPECT_EQ(d.Set().GetSelectedIndex(), 2);
    EXPECT_EQ(d.comp.GetHistory().GetUndoName(), "Move Segment");
    d.comp.GetHistory().Undo();
    EXPECT_EQ(d.Order(), (std::vector<TLSegment*> { made[2], made[1], made[0] }));
    EXPECT_EQ(d.Set().GetSelectedIndex(), 0);
    // Targets beyond either end are clamped.
    d.Set().MoveSelected(1000);
    EXPECT_EQ(d.Set().GetAt(2), made[2]);
    d.Set().MoveSelected(-7);
    EXPECT_EQ(d.Set().GetAt(0), made[2]);
}

TEST(TLSegmentSet, TheTopmostSubstituteSegmentIsTheBaseAndThoseBelowItDoNotContribute)
{
    Doc d;
    auto made = d.Make({ 7, 7, 7 }); // c, b, a
    TLSegment& c = *made[0];
    TLSegment& b = *made[1];
    TLSegment& a = *made[2];
    for (TLSegment* s : made)
        Result(*s, 7);
    a.SetMaskMode(MaskMode::Add, false);
    b.SetMaskMode(MaskMode::Substitute, false);
    c.SetMaskMode(MaskMode::Subtract, false);
    // Index 0 is a.
    auto layers = Layers(d.Set(), 7);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0].record, b.GetEngine()->frame_data(7));
    EXPECT_EQ(layers[1].record, a.GetEngine()->frame_data(7));
    EXPECT_EQ(layers[1].mode.mode, MaskMode::Add);
    EXPECT_EQ(d.Set().GetAt(0), &a);

    // Without a Substitute segment: from the bottom up, None left out.
    a.SetMaskMode(MaskMode::None, false);
    b.SetMaskMode(MaskMode::Add, false);
    layers = Layers(d.Set(), 7);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0].record, c.GetEngine()->frame_data(7));
    EXPECT_EQ(layers[1].record, b.GetEngine()->frame_data(7));
}

TEST(TLSegmentSet, SegmentsWithoutAMaskOrOutsideTheirTimeSpanDoNotShowTheFrame)
{
    Doc d;
    auto made = d.Make({ 7, 8 }); // b at 0, a at 1
    TLSegment& a = *made[0];
    TLSegment& b = *made[1];
    Result(a, 7);
    Result(b, 7);
    // b's time span is {8, 9}: frame 7 lies outside; a is the only one.
    auto layers = Layers(d.Set(), 7);
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers[0].record, a.GetEngine()->frame_data(7));
    // Without grey masks nothing shows in encoded form.
    EXPECT_TRUE(Layers(d.Set(), 7, true).empty());
    Result(a, 7, true);
    EXPECT_EQ(Layers(d.Set(), 7, true).size(), 1u);
    EXPECT_TRUE(Layers(d.Set(), 30).empty());
    TLComp empty;
    EXPECT_TRUE(Layers(empty.GetSegmentSet(), 0).empty());
}

TEST(TLSegmentSet, FindSegmentAtNeedsBothSpansAndAMode)
{
    Doc d;
    auto made = d.Make({ 10, 10 });
    TLSegment& lower = *made[0];
    TLSegment& upper = *made[1];
    lower.SetTimeSpan(5, 20);
    upper.SetTimeSpan(10, 15);
    lower.SetDataSpan(8, 18);
    upper.SetDataSpan(10, 12);
    EXPECT_EQ(d.Set().FindSegmentAt(10), &upper);
    EXPECT_EQ(d.Set().FindSegmentAt(13), &lower);
    EXPECT_EQ(d.Set().FindSegmentAt(7), nullptr);
    EXPECT_EQ(d.Set().FindSegmentAt(18), nullptr);
    upper.SetMaskMode(MaskMode::None, false);
    EXPECT_EQ(d.Set().FindSegmentAt(10), &lower);
}

TEST(TLSegmentSet, SelectionClampsItsIndexAndTellsBothSegments)
{
    Doc d;
    auto made = d.Make({ 1, 2, 3 });
    struct States : My::EventListener {
        int count = 0;
        void OnEvent(My::Event& e) override
        {
            count += dynamic_cast<My::Segment::StateChange*>(&e) != nullptr;
        }
    } first, last;
    made[2]->AddListener(&first); // index 0
    made[0]->AddListener(&last); // index 2
    My::SegmentSelection selection(&d.Set(), 0);
    EXPECT_EQ(first.count, 1);
    selection.SetIndex(99);
    EXPECT_EQ(selection.GetIndex(), 2);
    EXPECT_EQ(first.count, 2);
    EXPECT_EQ(last.count, 1);
    selection.SetIndex(2);
    EXPECT_EQ(last.count, 1);
    selection.SetIndex(-5);
    EXPECT_EQ(selection.GetIndex(), -1);
    EXPECT_TRUE(selection.IsEmpty());
    EXPECT_FALSE(selection.CanDelete());
    made[2]->RemoveListener(&first);
    made[0]->RemoveListener(&last);
}

TEST(TLSegmentSet, ClosingEmptiesTheSetAndAnnouncesIt)
{
    Doc d;
    d.Make({ 1, 2 });
    d.Set().GetAt(0)->BeginEditing();
    struct Changes : My::EventListener {
        int count = 0;
        void OnEvent(My::Event& e) override { count += dynamic_cast<My::SegmentSet::Change*>(&e) != nullptr; }
    } changes;
    d.Set().AddListener(&changes);
    d.comp.Close();
    EXPECT_EQ(d.Set().GetCount(), 0);
    EXPECT_EQ(d.Set().GetEditTarget(), nullptr);
    EXPECT_GE(changes.count, 2);
    EXPECT_EQ(d.comp.GetHistory().GetCount(), 0u);
    d.Set().RemoveListener(&changes);
}

TEST(TLSegmentSet, CommandsGoToTheSelectedSegmentFirst)
{
    Doc d;
    d.comp.SetCurrentFrame(4);
    My::CommandEvent newSegment(32773);
    ASSERT_TRUE(d.comp.RouteCommand(newSegment));
    ASSERT_EQ(d.Set().GetCount(), 1);
    EXPECT_EQ(d.Set().GetAt(0)->GetKeyFrame(), 4);
    // The selected segment's "Reset Parameters" is reached through the set.
    trm::param p;
    p.dilation_erosion = 4;
    d.Set().GetAt(0)->SetParams(p);
    My::CommandEvent reset(33227);
    ASSERT_TRUE(d.comp.RouteCommand(reset));
    EXPECT_EQ(d.Set().GetAt(0)->GetParams().dilation_erosion, 0);
    My::CommandEvent del(33203);
    ASSERT_TRUE(d.comp.RouteCommand(del));
    EXPECT_EQ(d.Set().GetCount(), 0);
}

} // namespace

// A listener of the set's segment events hears every change of every
// segment, before the segment's own listeners, also of a segment created
// after it registered, until it removes itself.
TEST(TLSegmentSet, SegmentEventsReachTheSetsListenersBeforeTheSegments)
{
    Doc d;
    std::vector<std::string> heard;
    struct Log : My::EventListener {
        std::vector<std::string>& heard;
        std::string name;
        Log(std::vector<std::string>& h, std::string n)
            : heard(h)
            , name(std::move(n))
        {
        }
        void OnEvent(My::Event& e) override
        {
            if (dynamic_cast<TLSegment::MaskModeChange*>(&e))
                heard.push_back(name + " mode");
            else if (dynamic_cast<My::Segment::TimeSpanChange*>(&e))
                heard.push_back(name + " span");
            else if (dynamic_cast<TLSegment::ParamsChange*>(&e))
                heard.push_back(name + " params");
        }
    } view(heard, "view"), row(heard, "row");
    d.Set().GetSegmentEvents().AddListener(&view);
    TLSegment& s = *d.Make({ 5 })[0];
    s.AddListener(&row);
    s.SetMaskMode(MaskMode::Add, false);
    s.SetTimeSpan(4, 9);
    trm::param p;
    p.dilation_erosion = 3;
    s.SetParams(p);
    d.comp.GetHistory().Undo();
    EXPECT_EQ(heard,
        (std::vector<std::string> { "view mode", "row mode", "view span", "row span", "view params",
            "row params", "view params", "row params" }));
    s.RemoveListener(&row);
    d.Set().GetSegmentEvents().RemoveListener(&view);
    heard.clear();
    s.SetMaskMode(MaskMode::None, false);
    EXPECT_TRUE(heard.empty());
}
