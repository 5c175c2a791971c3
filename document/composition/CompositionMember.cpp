#include "document/composition/CompositionMember.h"

CompositionMember::~CompositionMember() = default;

void CompositionMember::OnOpenChange(bool) { }

void CompositionMember::Clear() { }

bool CompositionMember::RouteCommand(My::CommandEventBase&)
{
    return false;
}
