#pragma once

// The segment and work-area commands of a composition, offered as one of
// its members: first the segment set's commands, then the selected
// segment's, then the work-area commands. UI thread only.

#include "app/commands/SegmentCommands.h"
#include "app/commands/SegmentSetCmdImpl.h"
#include "app/commands/SequenceCmdImpl.h"
#include "document/composition/CompositionMember.h"

class TLComp;

class CompositionCommands : public CompositionMember, public My::SegmentSetCmdImpl, public SequenceCmdImpl {
public:
    // The composition outlives its members.
    explicit CompositionCommands(TLComp& composition);

    My::Sequence* GetSequence() const override;
    My::SegmentSet* GetSegmentSet() const override;
    bool RouteCommand(My::CommandEventBase& event) override;

private:
    class SelectedSegment : public My::SegmentCommands {
    public:
        explicit SelectedSegment(CompositionCommands& owner)
            : m_owner(owner)
        {
        }
        My::Segment* GetSegment() const override { return m_owner.GetSelectedSegment(); }
        My::Sequence* GetSequence() const override { return m_owner.GetSequence(); }

    private:
        CompositionCommands& m_owner;
    };

    TLComp& m_composition;
    SelectedSegment m_segment;
};
