#include "app/commands/SegmentCommands.h"
#include "app/commands/SegmentSetCmdImpl.h"
#include "app/commands/SequenceCmdImpl.h"

#include "app/timeline/tests/TimelineFixture.h"
#include "document/segments/SegmentSelection.h"

#include <gtest/gtest.h>

namespace {

class SetCommands : public My::SegmentSetCmdImpl {
public:
    SetCommands(My::Sequence* sequence, My::SegmentSet* set)
        : m_sequence(sequence)
        , m_set(set)
    {
    }
    My::Sequence* GetSequence() const override { return m_sequence; }
    My::SegmentSet* GetSegmentSet() const override { return m_set; }

private:
    My::Sequence* m_sequence;
    My::SegmentSet* m_set;
};

class OneSegmentCommands : public My::SegmentCommands {
public:
    My::Segment* GetSegment() const override { return segment; }
    My::Sequence* GetSequence() const override { return sequence; }
    My::Segment* segment = nullptr;
    My::Sequence* sequence = nullptr;
};

class WorkAreaCommands : public SequenceCmdImpl {
public:
    My::Sequence* GetSequence() const override { return sequence; }
    My::Sequence* sequence = nullptr;
};

template <class Target> bool Enabled(Target& target, std::uint32_t id, test::FakeCommandUI* out = nullptr)
{
    test::FakeCommandUI ui;
    My::UpdateCommandUIEvent update(id, &ui);
    EXPECT_TRUE(target.RouteCommand(update)) << id;
    if (out)
        *out = ui;
    return ui.enabled;
}

template <class Target> void RunCommand(Target& target, std::uint32_t id)
{
    My::CommandEvent command(id);
    EXPECT_TRUE(target.RouteCommand(command)) << id;
}

struct CommandsTest : ::testing::Test {
    CommandsTest()
    {
        sequence.Open(100);
        set.segments.push_back(std::make_unique<test::FakeSegment>(0, 5, 10));
        set.segments.push_back(std::make_unique<test::FakeSegment>(20, 30, 40));
        set.segments.push_back(std::make_unique<test::FakeSegment>(50, 60, 70));
    }
    int Selected() const { return commands.GetSelectedIndex(); }

    test::FakeSequence sequence;
    test::FakeDoc doc;
    test::FakeSegmentSet set { &doc };
    SetCommands commands { &sequence, &set };
};

TEST_F(CommandsTest, ActivateAboveCyclesFromTheLastToNone)
{
    EXPECT_EQ(Selected(), -1);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        RunCommand(commands, My::SegmentSetCmdImpl::kActivateAbove);
        seen.push_back(Selected());
    }
    EXPECT_EQ(seen, (std::vector<int> { 2, 1, 0, -1 }));
}

TEST_F(CommandsTest, ActivateBelowCyclesFromTheFirstToNone)
{
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        RunCommand(commands, My::SegmentSetCmdImpl::kActivateBelow);
        seen.push_back(Selected());
    }
    EXPECT_EQ(seen, (std::vector<int> { 0, 1, 2, -1 }));
}

TEST_F(CommandsTest, EmptySetDisablesSelectionCommands)
{
    test::FakeSegmentSet empty { &doc };
    SetCommands none { &sequence, &empty };
    for (std::uint32_t id : { 50039u, 50040u, 50041u, 50042u, 50058u, 50059u, 50060u })
        EXPECT_FALSE(Enabled(none, id)) << id;
    RunCommand(none, My::SegmentSetCmdImpl::kActivateAbove);
    EXPECT_EQ(none.GetSelectedIndex(), -1);
}

TEST_F(CommandsTest, EditMaskAndPreviewNeedASelection)
{
    EXPECT_FALSE(Enabled(commands, My::SegmentSetCmdImpl::kEditMask));
    EXPECT_FALSE(Enabled(commands, My::SegmentSetCmdImpl::kPreview));
    EXPECT_FALSE(Enabled(commands, My::SegmentSetCmdImpl::kDeactivate));
    commands.SelectSegment(1);
    test::FakeCommandUI ui;
    EXPECT_TRUE(Enabled(commands, My::SegmentSetCmdImpl::kPreview, &ui));
    EXPECT_TRUE(ui.radio);
    RunCommand(commands, My::SegmentSetCmdImpl::kEditMask);
    EXPECT_TRUE(set.segments[1]->editing);
    Enabled(commands, My::SegmentSetCmdImpl::kEditMask, &ui);
    EXPECT_TRUE(ui.radio);
    RunCommand(commands, My::SegmentSetCmdImpl::kPreview);
    EXPECT_FALSE(set.segments[1]->editing);
    RunCommand(commands, My::SegmentSetCmdImpl::kDeactivate);
    EXPECT_EQ(Selected(), -1);
}

TEST_F(CommandsTest, JumpsToTheSelectedSegmentsEnds)
{
    commands.SelectSegment(1);
    RunCommand(commands, My::SegmentSetCmdImpl::kSegmentFrontEnd);
    EXPECT_EQ(sequence.GetCurrentFrame(), 39);
    EXPECT_FALSE(Enabled(commands, My::SegmentSetCmdImpl::kSegmentFrontEnd));
    RunCommand(commands, My::SegmentSetCmdImpl::kSegmentBackEnd);
    EXPECT_EQ(sequence.GetCurrentFrame(), 20);
    EXPECT_FALSE(Enabled(commands, My::SegmentSetCmdImpl::kSegmentBackEnd));
}

TEST_F(CommandsTest, OtherSelectionsCountAsNone)
{
    commands.SelectSegment(2);
    doc.Select(nullptr);
    EXPECT_EQ(Selected(), -1);
}

TEST(SegmentCommands, WithoutASegmentNothingIsHandled)
{
    OneSegmentCommands commands;
    test::FakeCommandUI ui;
    My::UpdateCommandUIEvent update(My::SegmentCommands::kProcess, &ui);
    EXPECT_FALSE(commands.RouteCommand(update));
}

TEST(SegmentCommands, BackEndMayBeSetOnTheKeyFrameButNotTheFrontEnd)
{
    test::FakeSequence sequence;
    sequence.Open(100);
    test::FakeSegment segment(5, 12, 40);
    OneSegmentCommands commands;
    commands.segment = &segment;
    commands.sequence = &sequence;
    sequence.SetCurrentFrame(12);
    EXPECT_TRUE(Enabled(commands, My::SegmentCommands::kSetBackEnd));
    EXPECT_FALSE(Enabled(commands, My::SegmentCommands::kSetFrontEnd));
    RunCommand(commands, My::SegmentCommands::kSetFrontEnd);
    EXPECT_EQ(segment.GetTimeSpan(), (My::Span { 5, 40 }));
    RunCommand(commands, My::SegmentCommands::kSetBackEnd);
    EXPECT_EQ(segment.GetTimeSpan(), (My::Span { 12, 40 }));
    EXPECT_FALSE(Enabled(commands, My::SegmentCommands::kSetBackEnd));
    sequence.SetCurrentFrame(13);
    EXPECT_FALSE(Enabled(commands, My::SegmentCommands::kSetBackEnd));
    EXPECT_TRUE(Enabled(commands, My::SegmentCommands::kSetFrontEnd));
    RunCommand(commands, My::SegmentCommands::kSetFrontEnd);
    EXPECT_EQ(segment.GetTimeSpan(), (My::Span { 12, 13 }));
}

TEST(SegmentCommands, ProcessAndCancelFollowTheSegmentState)
{
    test::FakeSequence sequence;
    sequence.Open(100);
    test::FakeSegment segment(5, 12, 40);
    OneSegmentCommands commands;
    commands.segment = &segment;
    commands.sequence = &sequence;
    segment.canProcess = false;
    EXPECT_FALSE(Enabled(commands, My::SegmentCommands::kProcess));
    RunCommand(commands, My::SegmentCommands::kProcess);
    EXPECT_EQ(segment.processRequests, 0);
    EXPECT_FALSE(Enabled(commands, My::SegmentCommands::kCancel));
    segment.canProcess = true;
    RunCommand(commands, My::SegmentCommands::kProcess);
    EXPECT_EQ(segment.processRequests, 1);
    segment.processing = true;
    RunCommand(commands, My::SegmentCommands::kCancel);
    EXPECT_EQ(segment.stops, (std::vector<bool> { false }));
}

TEST(SequenceCmdImpl, WorkAreaEndsAtTheCurrentFrame)
{
    test::FakeSequence sequence;
    WorkAreaCommands commands;
    commands.sequence = &sequence;
    EXPECT_FALSE(Enabled(commands, SequenceCmdImpl::kBeginWorkArea));
    EXPECT_FALSE(Enabled(commands, SequenceCmdImpl::kEndWorkArea));
    sequence.Open(100);
    EXPECT_FALSE(Enabled(commands, SequenceCmdImpl::kBeginWorkArea));
    sequence.SetCurrentFrame(9);
    RunCommand(commands, SequenceCmdImpl::kEndWorkArea);
    EXPECT_EQ(sequence.GetWorkArea(), (My::Span { 0, 10 }));
    EXPECT_FALSE(Enabled(commands, SequenceCmdImpl::kEndWorkArea));
    sequence.SetCurrentFrame(4);
    RunCommand(commands, SequenceCmdImpl::kBeginWorkArea);
    EXPECT_EQ(sequence.GetWorkArea(), (My::Span { 4, 10 }));
    sequence.SetCurrentFrame(50);
    EXPECT_FALSE(Enabled(commands, SequenceCmdImpl::kBeginWorkArea));
    // Ending after the work area widens it.
    RunCommand(commands, SequenceCmdImpl::kEndWorkArea);
    EXPECT_EQ(sequence.GetWorkArea(), (My::Span { 4, 51 }));
}

} // namespace
