#include "app/commands/CompositionCommands.h"

#include "document/composition/TLComp.h"
#include "document/segments/TLSegmentSet.h"

CompositionCommands::CompositionCommands(TLComp& composition)
    : m_composition(composition)
    , m_segment(*this)
{
}

My::Sequence* CompositionCommands::GetSequence() const
{
    return &m_composition;
}

My::SegmentSet* CompositionCommands::GetSegmentSet() const
{
    return &m_composition.GetSegmentSet();
}

bool CompositionCommands::RouteCommand(My::CommandEventBase& event)
{
    return My::SegmentSetCmdImpl::RouteCommand(event) || m_segment.RouteCommand(event)
        || SequenceCmdImpl::RouteCommand(event);
}
