// The background layer: trimming and its clamping, a still image's length
// and frames, the frame shown at a composition frame, loading through the
// host and emptying.

#include "document/composition/Background.h"
#include "document/composition/CompositionHost.h"
#include "document/tests/segment_test_support.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

namespace {

using namespace segment_testing;

boost::shared_ptr<lumvex::footage> Frames(int count, unsigned width = kWidth)
{
    std::vector<img::image<img::BGRA<unsigned char>>> images;
    for (int i = 0; i < count; ++i)
        images.push_back(trm::testing::make_scene(width, kHeight).frame);
    return boost::make_shared<trm::testing::memory_footage>(std::move(images));
}

struct FakeHost : CompositionHost {
    boost::shared_ptr<lumvex::footage> next;
    boost::shared_ptr<lumvex::footage> ChooseFootage(bool) override { return next; }
    void StartMaskExport(TLComp&, bool) override { }
    void StartRender(TLComp&) override { }
};

struct Doc {
    PromptScope prompts;
    FakeHost host;
    TLComp comp { &host };
    Doc() { comp.SetFootage(Frames(100)); }
    Background& Layer() { return comp.GetBackground(); }
};

TEST(Background, LoadOfAnotherFrameSizeIsRefusedAndKeepsTheOldFootage)
{
    Doc d;
    d.host.next = Frames(10);
    ASSERT_TRUE(d.Layer().Load(d.comp.GetFrameSize()));
    const auto kept = d.Layer().GetFootage();
    d.comp.GetHistory().MarkSaved();

    d.host.next = Frames(10, kWidth + 2);
    EXPECT_FALSE(d.Layer().Load(d.comp.GetFrameSize()));
    EXPECT_EQ(d.Layer().GetFootage(), kept);
    ASSERT_EQ(d.prompts.prompt.texts.size(), 1u);
    EXPECT_NE(d.prompts.prompt.texts[0].find("differ from composition dimensions"), std::string::npos);
    EXPECT_FALSE(d.comp.IsModified());

    d.host.next.reset();
    EXPECT_FALSE(d.Layer().Load(d.comp.GetFrameSize()));
    EXPECT_EQ(d.Layer().GetFootage(), kept);
}

TEST(Background, TrimmingIsIgnoredWhenInvertedAndClampedIntoTheFootage)
{
    Doc d;
    d.host.next = Frames(100);
    ASSERT_TRUE(d.Layer().Load(d.comp.GetFrameSize()));
    EXPECT_TRUE(d.comp.IsModified());
    EXPECT_EQ(d.Layer().GetTrimming(), (My::Span { 0, 100 }));
    d.Layer().SetTrimming(5, 3);
    EXPECT_EQ(d.Layer().GetTrimming(), (My::Span { 0, 100 }));
    d.Layer().SetTrimming(-2, 500);
    EXPECT_EQ(d.Layer().GetTrimming(), (My::Span { 0, 100 }));
    EXPECT_EQ(d.Layer().GetLength(), 100);
}

TEST(Background, StillImageLastsAsLongAsTheCompositionAndShowsItsOnlyFrame)
{
    Doc d;
    d.host.next = Frames(1);
    My::CommandEvent import(33128);
    ASSERT_TRUE(d.comp.RouteCommand(import));
    EXPECT_FALSE(d.Layer().IsEmpty());
    EXPECT_EQ(d.Layer().GetLength(), 100);
    EXPECT_EQ(d.Layer().GetStart(), 0);
    EXPECT_EQ(d.Layer().GetTrimming(), (My::Span { 0, 100 }));
    EXPECT_EQ(d.Layer().GetFootageFrame(0), 0);
    EXPECT_EQ(d.Layer().GetFootageFrame(99), 0);
    EXPECT_EQ(d.Layer().GetFootageFrame(100), -1);
    d.Layer().SetTrimming(-2, 500);
    EXPECT_EQ(d.Layer().GetTrimming(), (My::Span { -2, 500 }));
}

TEST(Background, FrameShownAtACompositionFrameFollowsStartAndTrimming)
{
    Doc d;
    d.host.next = Frames(50);
    ASSERT_TRUE(d.Layer().Load(d.comp.GetFrameSize()));
    d.Layer().SetStart(10);
    d.Layer().SetTrimming(5, 20);
    EXPECT_EQ(d.Layer().GetAbsoluteSpan(), (My::Span { 15, 30 }));
    EXPECT_EQ(d.Layer().GetFootageFrame(15), 5);
    EXPECT_EQ(d.Layer().GetFootageFrame(29), 19);
    EXPECT_EQ(d.Layer().GetFootageFrame(14), -1);
    EXPECT_EQ(d.Layer().GetFootageFrame(30), -1);
}

TEST(Background, ClearEmptiesTheLayerAndResetsStartAndTrimming)
{
    Doc d;
    EXPECT_TRUE(d.Layer().IsEmpty());
    EXPECT_EQ(d.Layer().GetLength(), 0);
    EXPECT_EQ(d.Layer().GetFootageFrame(0), -1);
    d.host.next = Frames(50);
    ASSERT_TRUE(d.Layer().Load(d.comp.GetFrameSize()));
    d.Layer().SetStart(10);
    d.Layer().SetTrimming(5, 20);
    struct States : My::EventListener {
        int count = 0;
        void OnEvent(My::Event& e) override { count += dynamic_cast<My::Layer::StateChange*>(&e) != nullptr; }
    } states;
    d.Layer().AddListener(&states);
    d.comp.Close();
    EXPECT_TRUE(d.Layer().IsEmpty());
    EXPECT_EQ(d.Layer().GetLength(), 0);
    EXPECT_EQ(d.Layer().GetStart(), 0);
    EXPECT_EQ(d.Layer().GetTrimming(), (My::Span { 0, 0 }));
    EXPECT_EQ(states.count, 1);
    d.Layer().RemoveListener(&states);
}

} // namespace
