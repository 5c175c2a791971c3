// The typed controls without a window: the text they show, a typed text
// written as one edit, errors reported and the stored value kept, the
// check box and drop-down of a segment's parameters, and the update pass
// that hides editors and refuses input by the property's conditions.

#include "document/properties/ParamPage.h"
#include "document/properties/TypedControl.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

namespace {

using namespace segment_testing;
using My::EditableList;

struct Page {
    PromptScope prompts;
    FakeSegmentHost host;
    TLComp comp;
    My::Doc* previous = My::SetCurrentDoc(&comp);
    Page()
    {
        comp.SetFootage(boost::make_shared<SceneFootage>(20));
        comp.GetSegmentSet().SetHost(&host);
    }
    ~Page() { My::SetCurrentDoc(previous); }
    TLSegment& New(int frame) { return *comp.GetSegmentSet().CreateSegment(frame); }
};

My::PropertyBase* Find(My::PropertyBase& parent, const EditableList& list, std::uint32_t id)
{
    for (const auto& [label, p] : *parent.GetChildren(list))
        if (label.GetId() == id)
            return p;
    return nullptr;
}

My::PropertyBase& At(TLSegment& s, std::vector<std::uint32_t> path)
{
    const EditableList list({ &s });
    My::PropertyBase* p = nullptr;
    for (const auto& [label, each] : s.GetProperties().GetMap())
        if (label.GetId() == 51015)
            p = each;
    for (std::uint32_t id : path)
        p = Find(*p, list, id);
    return *p;
}

template <class C> struct Made {
    My::PropertyBase& property;
    C* control;
    Made(My::PropertyBase& p, const EditableList& list)
        : property(p)
        , control(dynamic_cast<C*>(p.CreateControl(list)))
    {
    }
    ~Made() { property.DestroyControl(control); }
};

TEST(TypedControl, RejectedTextIsReportedAndTheStoredValueShownAgain)
{
    Page d;
    TLSegment& s = d.New(5);
    const EditableList list({ &s });
    My::PropertyBase* bounds = nullptr;
    for (const auto& [label, p] : s.GetProperties().GetMap())
        if (label.GetId() == 51014)
            bounds = p;
    ASSERT_NE(bounds, nullptr);
    Made<My::TypedControl<int>> first(*Find(*bounds, list, 55001), list);
    ASSERT_NE(first.control, nullptr);
    std::string text;
    ASSERT_TRUE(first.control->GetText(text));
    EXPECT_EQ(text, "5");
    // The key frame must stay inside: refused with the setter's message.
    first.control->SetText("7");
    ASSERT_EQ(d.prompts.prompt.texts.size(), 1u);
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 5, 6 }));
    ASSERT_TRUE(first.control->GetText(text));
    EXPECT_EQ(text, "5");
    EXPECT_FALSE(d.comp.GetHistory().IsGroupOpen());
    first.control->SetText("2");
    EXPECT_EQ(s.GetTimeSpan(), (My::Span { 2, 6 }));
    EXPECT_EQ(d.comp.GetHistory().GetUndoName(), "Adjust Segment");
}

TEST(TypedControl, CommittingTheShownValueAgainRecordsNothingAndLeavesTheProjectUnmodified)
{
    Page d;
    TLSegment& s = d.New(5);
    const EditableList list({ &s });
    Made<My::TypedControl<int>> dilate(At(s, { 51024 }), list);
    Made<My::TypedControl<Downsample>> downsample(At(s, { 51017 }), list);
    ASSERT_NE(dilate.control, nullptr);
    ASSERT_NE(downsample.control, nullptr);
    My::ActionHistory& history = d.comp.GetHistory();
    history.MarkSaved();
    const std::size_t entries = history.GetCount();
    const std::string undo = history.GetUndoName();

    // A field clicked into and left: its text comes back unchanged.
    std::string text;
    ASSERT_TRUE(dilate.control->GetText(text));
    EXPECT_EQ(text, "0");
    dilate.control->SetText(text);
    dilate.control->SetText("0 ");
    int index = -1;
    ASSERT_TRUE(downsample.control->GetIndex(index));
    downsample.control->SetIndex(index);
    EXPECT_EQ(history.GetCount(), entries);
    EXPECT_FALSE(d.comp.IsModified());
    EXPECT_EQ(history.GetUndoName(), undo);

    dilate.control->SetText("5");
    EXPECT_EQ(s.GetParams().dilation_erosion, 5);
    EXPECT_EQ(history.GetCount(), entries + 1);
    EXPECT_TRUE(d.comp.IsModified());
    EXPECT_EQ(history.GetUndoName(), "Change Parameters");
}

TEST(TypedControl, UpdatePassFollowsTheReadOnlyAndEnableConditions)
{
    Page d;
    TLSegment& s = d.New(5);
    const EditableList list({ &s });
    Made<My::TypedControl<int>> motion(At(s, { 51018, 51027 }), list);
    Made<My::TypedControl<bool>> flow(At(s, { 51018 }), list);
    Made<My::TypedControl<trm::smooth_mask_method>> smooth(At(s, { 51036 }), list);
    ASSERT_NE(motion.control, nullptr);
    ASSERT_NE(flow.control, nullptr);
    ASSERT_NE(smooth.control, nullptr);
    motion.control->OnUpdateUI();
    EXPECT_TRUE(motion.control->IsReadOnly());
    EXPECT_TRUE(motion.control->IsVisible());
    EXPECT_EQ(flow.control->GetCheck(), 0);
    flow.control->Click();
    EXPECT_TRUE(s.GetParams().optic_flow);
    motion.control->OnUpdateUI();
    EXPECT_FALSE(motion.control->IsReadOnly());

    EXPECT_EQ(smooth.control->GetCount(), 4);
    EXPECT_EQ(smooth.control->GetText(3), "Diffuse");
    int index = -2;
    ASSERT_TRUE(smooth.control->GetIndex(index));
    EXPECT_EQ(index, 0);
    smooth.control->SetIndex(1);
    EXPECT_EQ(s.GetParams().smooth_mask, trm::smooth_mask_method::equal_spheres);
    smooth.control->OnUpdateUI();
    EXPECT_TRUE(smooth.control->IsEnabled());
}

} // namespace
