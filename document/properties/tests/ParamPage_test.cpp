// The segment parameter page over real segments: the tree, reading and
// writing every parameter through its binding with undo, the read-only
// rules, the value views, several segments in one edit, and an edit that
// stops a running calculation.

#include "document/processing/Processor.h"
#include "document/properties/ControlLogic.h"
#include "document/properties/ParamPage.h"
#include "document/segments/SegmentData.h"
#include "document/segments/TLSegmentSet.h"
#include "document/tests/segment_test_support.h"
#include "widgets/core/Strings.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <map>
#include <vector>

namespace {

using namespace segment_testing;
using My::EditableList;

struct Page {
    PromptScope prompts;
    FakeSegmentHost host;
    TLComp comp;
    My::Doc* previous;
    Page()
        : previous(My::SetCurrentDoc(&comp))
    {
        comp.SetFootage(boost::make_shared<SceneFootage>(20));
        comp.GetSegmentSet().SetHost(&host);
    }
    ~Page() { My::SetCurrentDoc(previous); }
    TLSegment& New(int frame) { return *comp.GetSegmentSet().CreateSegment(frame); }
    My::ActionHistory& History() { return comp.GetHistory(); }
};

My::PropertyBase* Child(const My::PropertyMap& map, std::uint32_t id)
{
    for (const auto& [label, property] : map)
        if (label.GetId() == id)
            return property;
    return nullptr;
}

My::PropertyBase& PageProperty(TLSegment& s)
{
    My::PropertyBase* page = Child(s.GetProperties().GetMap(), 51015);
    EXPECT_NE(page, nullptr);
    return *page;
}

// The property at a path of label ids below the page.
My::PropertyBase& At(TLSegment& s, std::vector<std::uint32_t> path)
{
    My::PropertyBase* p = &PageProperty(s);
    const EditableList list({ &s });
    for (std::uint32_t id : path) {
        const My::PropertyMap* children = p->GetChildren(list);
        EXPECT_NE(children, nullptr) << id;
        p = Child(*children, id);
        EXPECT_NE(p, nullptr) << id;
    }
    return *p;
}

template <class T> My::BasicProperty<T>& Typed(TLSegment& s, std::vector<std::uint32_t> path)
{
    auto* typed = dynamic_cast<My::BasicProperty<T>*>(&At(s, path));
    EXPECT_NE(typed, nullptr);
    return *typed;
}

std::string Text(TLSegment& s, std::vector<std::uint32_t> path)
{
    My::PropertyBase& p = At(s, path);
    std::string text;
    const EditableList list({ &s });
    if (auto* i = dynamic_cast<My::BasicProperty<int>*>(&p))
        My::GetValueText(*i, list, text);
    else if (auto* f = dynamic_cast<My::BasicProperty<float>*>(&p))
        My::GetValueText(*f, list, text);
    else if (auto* c = dynamic_cast<My::BasicProperty<My::Percent<2>>*>(&p))
        My::GetValueText(*c, list, text);
    else
        ADD_FAILURE() << "not a text property";
    return text;
}

bool ReadOnly(TLSegment& s, std::vector<std::uint32_t> path)
{
    return At(s, path).IsReadOnly(EditableList({ &s }));
}

// Every parameter: its path, the text (or entry) it shows on a fresh
// segment, a new value, and the field that must then hold it.
struct TextCase {
    std::vector<std::uint32_t> path;
    const char* shown;
    const char* typed;
    std::function<bool(const trm::param&)> stored;
};

TEST(ParamPage, TreeHoldsEveryParameterUnderItsGroupInLabelOrder)
{
    Page d;
    TLSegment& s = d.New(5);
    My::PropertyBase& page = PageProperty(s);
    EXPECT_TRUE(page.IsInitiallyExpanded());
    EXPECT_EQ(page.CreateControl(EditableList({ &s })), nullptr);
    const EditableList list({ &s });
    const std::map<std::uint32_t, std::vector<std::uint32_t>> expected = {
        { 0, { 51016, 51017, 51018, 51019, 51021, 51022, 51024, 51025, 51026, 51036 } },
        { 51018, { 51027, 51028 } },
        { 51019, { 51066, 51067, 51068, 51069, 51071, 51072, 51075, 51077, 51085 } },
        { 51021, { 51029, 51030, 51128 } },
        { 51022, { 51132, 51134 } },
        { 51026, { 51037, 51038, 51041, 51050, 51052 } },
        { 51036, { 51095, 51097, 51099, 51107 } },
    };
    const auto ids = [&](My::PropertyBase& p) {
        std::vector<std::uint32_t> out;
        for (const auto& entry : *p.GetChildren(list))
            out.push_back(entry.first.GetId());
        return out;
    };
    EXPECT_EQ(ids(page), expected.at(0));
    for (const auto& [group, children] : expected) {
        if (group == 0)
            continue;
        My::PropertyBase& g = At(s, { group });
        EXPECT_FALSE(g.IsInitiallyExpanded());
        EXPECT_EQ(ids(g), children) << group;
    }
    EXPECT_EQ(ids(At(s, { 51019, 51085 })), (std::vector<std::uint32_t> { 51087 }));
    EXPECT_EQ(ids(At(s, { 51021, 51128 })), (std::vector<std::uint32_t> { 51007, 51062 }));
    // Labels and help texts come from the string table.
    const My::PropertyMap& top = *page.GetChildren(list);
    EXPECT_EQ(std::next(top.begin(), 7)->first.GetText(), "\"Wool\" removal");
    EXPECT_EQ(At(s, { 51026, 51052 }).GetDescription(list), My::LoadString(51053));
    EXPECT_EQ(At(s, { 51021, 51128 }).GetDescription(list), "");
    EXPECT_EQ(My::LoadString(51052), "Tangents\xE2\x80\x99 Inertia");
    // The tree is shared by all segments and built once.
    TLSegment& other = d.New(9);
    EXPECT_EQ(&At(other, { 51019, 51085, 51087 }), &At(s, { 51019, 51085, 51087 }));
}

TEST(ParamPage, EveryTextParameterReadsItsDefaultAndWritesOneUndoableAction)
{
    const std::vector<TextCase> cases = {
        { { 51016 }, "1", "3", [](auto& p) { return p.reference_frame_pitch == 3; } },
        { { 51018, 51027 }, "10", "20", [](auto& p) { return p.max_motion == 20; } },
        { { 51018, 51028 }, "8", "9", [](auto& p) { return p.tracker_size == 9; } },
        { { 51019, 51066 }, "2", "3", [](auto& p) { return p.mincut_pyramid_levels == 3; } },
        { { 51019, 51067 }, "2", "4", [](auto& p) { return p.mincut_max_motion == 4; } },
        { { 51019, 51069 }, "5", "6", [](auto& p) { return p.mincut_max_link_distance == 6; } },
        { { 51019, 51071 }, "5", "7", [](auto& p) { return p.mincut_link_count == 7; } },
        { { 51019, 51072 }, "10", "2.5", [](auto& p) { return p.mincut_aspect == 2.5f; } },
        { { 51019, 51075 }, "5", "8", [](auto& p) { return p.mincut_interframe_max_link_distance == 8; } },
        { { 51019, 51077 }, "4", "6", [](auto& p) { return p.mincut_interframe_link_count == 6; } },
        { { 51019, 51085, 51087 }, "2", "5", [](auto& p) { return p.mincut_antialiasing_levels_exp == 5; } },
        { { 51021, 51030 }, "10", "150", [](auto& p) { return p.refine_window_half_size == 60; } },
        { { 51021, 51128, 51007 }, "3.5", "1e-3",
            [](auto& p) { return p.refine_enough_statistics == 1.0f; } },
        { { 51022, 51132 }, "5", "6", [](auto& p) { return p.refine2_max_motion == 6; } },
        { { 51022, 51134 }, "3", "2", [](auto& p) { return p.refine2_max_level == 2; } },
        { { 51024 }, "0", "-5", [](auto& p) { return p.dilation_erosion == -5; } },
        { { 51025 }, "0", "4", [](auto& p) { return p.wool_removal == 4; } },
        { { 51026, 51038 }, "7", "9", [](auto& p) { return p.decrease_freedom_degrees == 9; } },
        { { 51026, 51041 }, "50", "60", [](auto& p) { return p.decrease_iterations == 60; } },
        { { 51026, 51050 }, "0.00%", "50%", [](auto& p) { return p.decrease_nodes_traction == 0.5f; } },
        { { 51026, 51052 }, "20.00%", "95", [](auto& p) { return p.decrease_tangents_traction == 0.9f; } },
        { { 51036, 51095 }, "1", "3", [](auto& p) { return p.smooth_window_half_size == 3; } },
        { { 51036, 51097 }, "5", "6", [](auto& p) { return p.smooth_max_condition_number == 6; } },
        { { 51036, 51099 }, "7", "8", [](auto& p) { return p.smooth_passes_num == 8; } },
    };
    Page d;
    TLSegment& s = d.New(5);
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.typed);
        // The stage of the parameter is switched on (the engine ignores
        // the parameters of stages that are off).
        trm::param base;
        base.optic_flow = c.path[0] == 51018;
        base.mincut = c.path[0] == 51019;
        base.mincut_information_source = trm::mincut::information_source::both;
        base.mincut_antialiasing = c.path.size() > 1 && c.path[1] == 51085;
        base.refine2_mask = c.path[0] == 51022;
        base.decrease_mask_freedom = c.path[0] == 51026;
        if (c.path[0] == 51036)
            base.smooth_mask = trm::smooth_mask_method::equal_spheres;
        s.SetParams(base);
        ASSERT_EQ(Text(s, c.path), c.shown);
        const std::size_t entries = d.History().GetCount() - d.History().GetUndoneCount();
        My::PropertyBase& p = At(s, c.path);
        const EditableList list({ &s });
        if (auto* i = dynamic_cast<My::BasicProperty<int>*>(&p))
            My::SetValueText(*i, list, c.typed);
        else if (auto* f = dynamic_cast<My::BasicProperty<float>*>(&p))
            My::SetValueText(*f, list, c.typed);
        else
            My::SetValueText(dynamic_cast<My::BasicProperty<My::Percent<2>>&>(p), list, c.typed);
        EXPECT_TRUE(c.stored(s.GetParams()));
        EXPECT_EQ(d.History().GetCount(), entries + 1);
        EXPECT_EQ(d.History().GetUndoneCount(), 0u);
        EXPECT_EQ(d.History().GetUndoName(), "Change Parameters");
        d.History().Undo();
        EXPECT_EQ(Text(s, c.path), c.shown);
        EXPECT_TRUE(s.GetParams() == base);
        d.History().Redo();
        EXPECT_TRUE(c.stored(s.GetParams()));
        d.History().Undo();
    }
    // The engine keeps at most 0.9, shown as such.
    trm::param decrease;
    decrease.decrease_mask_freedom = true;
    s.SetParams(decrease);
    SetValueText(Typed<My::Percent<2>>(s, { 51026, 51052 }), EditableList({ &s }), "95%");
    EXPECT_EQ(Text(s, { 51026, 51052 }), "90.00%");
}

TEST(ParamPage, SwitchesAndChoicesWriteThroughTheirViews)
{
    Page d;
    TLSegment& s = d.New(5);
    const EditableList list({ &s });
    // Switches: check boxes of groups and leaves.
    const std::vector<std::pair<std::vector<std::uint32_t>, bool trm::param::*>> switches = {
        { { 51018 }, &trm::param::optic_flow },
        { { 51019 }, &trm::param::mincut },
        { { 51019, 51085 }, &trm::param::mincut_antialiasing },
        { { 51021 }, &trm::param::refine_mask },
        { { 51022 }, &trm::param::refine2_mask },
        { { 51026 }, &trm::param::decrease_mask_freedom },
        { { 51026, 51037 }, &trm::param::decrease_smooth_contour },
        { { 51036, 51107 }, &trm::param::smooth_decorative },
    };
    // Every stage on (the engine ignores the switches of stages that are
    // off); smoothing only where antialiasing is not the one tested.
    trm::param stages;
    stages.optic_flow = stages.mincut = stages.refine2_mask = stages.decrease_mask_freedom = true;
    for (const auto& [path, field] : switches) {
        stages.smooth_mask = path.size() > 1 && path[1] == 51085 ? trm::smooth_mask_method::off
                                                                 : trm::smooth_mask_method::equal_spheres;
        s.SetParams(stages);
        auto& p = Typed<bool>(s, path);
        const bool before = s.GetParams().*field;
        EXPECT_EQ(My::GetCheckState(p, list), before ? 1 : 0);
        My::ClickCheck(p, list);
        EXPECT_EQ(s.GetParams().*field, !before) << path.back();
        d.History().Undo();
        EXPECT_EQ(s.GetParams().*field, before);
    }

    s.SetParams(trm::param());
    auto& downsample = Typed<Downsample>(s, { 51017 });
    EXPECT_EQ(My::CurrentEntry(downsample, list), 0);
    EXPECT_EQ(My::ChooseEntry(downsample, list, 2), 2);
    EXPECT_EQ(s.GetParams().downsample, 3);

    auto& smooth = Typed<trm::smooth_mask_method>(s, { 51036 });
    EXPECT_EQ(My::ChooseEntry(smooth, list, 1), 1);
    EXPECT_EQ(s.GetParams().smooth_mask, trm::smooth_mask_method::equal_spheres);
    EXPECT_EQ(My::ChooseEntry(smooth, list, 3), 3);
    EXPECT_EQ(s.GetParams().smooth_mask, trm::smooth_mask_method::diffuse);
    const std::size_t entries = d.History().GetCount();
    EXPECT_EQ(My::ChooseEntry(smooth, list, 4), 3);
    EXPECT_EQ(My::ChooseEntry(smooth, list, -1), 3);
    EXPECT_EQ(d.History().GetCount(), entries);

    auto& decision = Typed<DecisionThreshold>(s, { 51021, 51128 });
    EXPECT_EQ(My::CurrentEntry(decision, list), 0);
    My::ChooseEntry(decision, list, 1);
    EXPECT_TRUE(s.GetParams().refine_auto);

    My::ClickCheck(Typed<bool>(s, { 51019 }), list);
    auto& source = Typed<trm::mincut::information_source>(s, { 51019, 51068 });
    My::ChooseEntry(source, list, 1);
    EXPECT_EQ(s.GetParams().mincut_information_source, trm::mincut::information_source::both);
    auto& refineSource = Typed<refine::information_source>(s, { 51021, 51029 });
    EXPECT_EQ(My::CurrentEntry(refineSource, list), 2);
    My::ChooseEntry(refineSource, list, 0);
    EXPECT_EQ(s.GetParams().refine_information_source, refine::information_source::reference);
    My::ChooseEntry(decision, list, 0);
    auto& prefer = Typed<refine::preference>(s, { 51021, 51128, 51062 });
    My::ChooseEntry(prefer, list, 2);
    EXPECT_EQ(s.GetParams().refine_preference, refine::preference::unmasked);

    d.History().Undo();
    EXPECT_EQ(s.GetParams().refine_preference, refine::preference::none);
}

TEST(ParamPage, ReadOnlyRulesFollowTheSwitchesWithoutRebuilding)
{
    Page d;
    TLSegment& s = d.New(5);
    const EditableList list({ &s });
    EXPECT_TRUE(ReadOnly(s, { 51018, 51027 }));
    My::ClickCheck(Typed<bool>(s, { 51018 }), list);
    EXPECT_FALSE(ReadOnly(s, { 51018, 51027 }));
    EXPECT_FALSE(ReadOnly(s, { 51018 }));

    // MinCut off: everything under it is read-only, values kept.
    for (std::uint32_t id : { 51066, 51067, 51068, 51069, 51071, 51072, 51075, 51077, 51085 })
        EXPECT_TRUE(ReadOnly(s, { 51019, id })) << id;
    EXPECT_TRUE(ReadOnly(s, { 51019, 51085, 51087 }));
    EXPECT_EQ(Text(s, { 51019, 51069 }), "5");
    My::ClickCheck(Typed<bool>(s, { 51019 }), list);
    EXPECT_FALSE(ReadOnly(s, { 51019, 51069 }));
    // Interframe links only with both frames as the source.
    EXPECT_TRUE(ReadOnly(s, { 51019, 51075 }));
    EXPECT_TRUE(ReadOnly(s, { 51019, 51077 }));
    My::ChooseEntry(Typed<trm::mincut::information_source>(s, { 51019, 51068 }), list, 1);
    EXPECT_FALSE(ReadOnly(s, { 51019, 51075 }));
    EXPECT_FALSE(ReadOnly(s, { 51019, 51077 }));
    // Antialiasing: grey levels only while it is in use.
    EXPECT_FALSE(ReadOnly(s, { 51019, 51085 }));
    EXPECT_TRUE(ReadOnly(s, { 51019, 51085, 51087 }));
    My::ClickCheck(Typed<bool>(s, { 51019, 51085 }), list);
    EXPECT_FALSE(ReadOnly(s, { 51019, 51085, 51087 }));
    // Any smoothing makes both read-only.
    My::ChooseEntry(Typed<trm::smooth_mask_method>(s, { 51036 }), list, 2);
    EXPECT_TRUE(ReadOnly(s, { 51019, 51085 }));
    EXPECT_TRUE(ReadOnly(s, { 51019, 51085, 51087 }));
    EXPECT_FALSE(ReadOnly(s, { 51036, 51095 }));
    My::ChooseEntry(Typed<trm::smooth_mask_method>(s, { 51036 }), list, 0);
    EXPECT_TRUE(ReadOnly(s, { 51036, 51095 }));
    EXPECT_TRUE(ReadOnly(s, { 51036, 51107 }));

    // Decision threshold: editable while refine is off; its children not.
    EXPECT_FALSE(ReadOnly(s, { 51021, 51128, 51007 }));
    My::ClickCheck(Typed<bool>(s, { 51021 }), list);
    EXPECT_TRUE(ReadOnly(s, { 51021, 51029 }));
    EXPECT_FALSE(ReadOnly(s, { 51021, 51128 }));
    EXPECT_TRUE(ReadOnly(s, { 51021, 51128, 51007 }));
    EXPECT_TRUE(ReadOnly(s, { 51021, 51128, 51062 }));
    My::ClickCheck(Typed<bool>(s, { 51021 }), list);
    My::ChooseEntry(Typed<DecisionThreshold>(s, { 51021, 51128 }), list, 1);
    EXPECT_TRUE(ReadOnly(s, { 51021, 51128, 51007 }));

    EXPECT_TRUE(ReadOnly(s, { 51022, 51134 }));
    EXPECT_TRUE(ReadOnly(s, { 51026, 51050 }));
    EXPECT_FALSE(ReadOnly(s, { 51024 }));
    EXPECT_FALSE(ReadOnly(s, { 51016 }));

    // Over two segments: read-only when either is.
    TLSegment& other = d.New(9);
    EXPECT_FALSE(At(s, { 51019, 51069 }).IsReadOnly(EditableList({ &s })));
    EXPECT_TRUE(At(s, { 51019, 51069 }).IsReadOnly(EditableList({ &s, &other })));
}

TEST(ParamPage, OneEditOfSeveralSegmentsIsOneEntryThatUndoesAll)
{
    Page d;
    TLSegment& a = d.New(5);
    TLSegment& b = d.New(9);
    const EditableList list({ &a, &b });
    auto& pitch = Typed<int>(a, { 51016 });
    My::SetValueText(pitch, EditableList({ &a }), "4");
    std::string text;
    EXPECT_FALSE(My::GetValueText(pitch, list, text));
    const std::size_t entries = d.History().GetCount();
    My::SetValueText(pitch, list, "6");
    EXPECT_EQ(d.History().GetCount(), entries + 1);
    EXPECT_EQ(d.History().GetUndoName(), "Change Parameters");
    ASSERT_TRUE(My::GetValueText(pitch, list, text));
    EXPECT_EQ(text, "6");
    d.History().Undo();
    EXPECT_EQ(a.GetParams().reference_frame_pitch, 4);
    EXPECT_EQ(b.GetParams().reference_frame_pitch, 1);
    // Writing the value a segment already has records nothing for it.
    My::SetValueText(pitch, list, "4");
    ASSERT_EQ(d.History().GetCount(), entries + 1);
    d.History().Undo();
    EXPECT_EQ(b.GetParams().reference_frame_pitch, 1);
}

TEST(ParamPage, AnEditOfAProcessingSegmentStopsItAndItProcessesAgainWithTheNewValue)
{
    PromptScope prompts;
    FakeSegmentHost host;
    auto footage = boost::make_shared<SceneFootage>(30);
    auto processor = std::make_unique<Processor>();
    auto comp = std::make_unique<TLComp>(nullptr, processor.get());
    My::Doc* previous = My::SetCurrentDoc(comp.get());
    comp->SetFootage(footage);
    comp->GetSegmentSet().SetHost(&host);
    TLSegment& s = *comp->GetSegmentSet().CreateSegment(12);
    s.SetMask(Scene(12).object, "Brush");
    s.SetTimeSpan(8, 20);

    footage->SetGate(15);
    host.onCancelling = [&] { footage->Release(); };
    ASSERT_TRUE(s.RequestProcessing());
    ASSERT_TRUE(footage->WaitReached());
    My::SetValueText(Typed<int>(s, { 51024 }), EditableList({ &s }), "1");
    EXPECT_FALSE(s.IsProcessing());
    EXPECT_EQ(s.GetParams().dilation_erosion, 1);
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 12, 12 }));
    EXPECT_EQ(comp->GetHistory().GetUndoName(), "Change Parameters");

    footage->Release();
    ASSERT_TRUE(s.RequestProcessing());
    ASSERT_TRUE(DrainUntil([&] { return !s.IsProcessing(); }));
    EXPECT_EQ(s.GetDataSpan(), (My::Span { 8, 20 }));
    EXPECT_EQ(s.GetEngine()->param().dilation_erosion, 1);
    EXPECT_TRUE(DrainUntil([&] { return processor->IsIdle(); }));

    My::SetCurrentDoc(previous);
    footage->Release();
    comp.reset();
    processor.reset();
    My::GetMessageQueue().Clear();
}

} // namespace
