#include "document/Selection.h"

#include "document/Doc.h"

namespace My {

void Selection::OnEvent(Event&) { }

Selection::~Selection() = default;

void Selection::OnAttach() { }

void Selection::OnDetach() { }

void Selection::NotifyChange()
{
    if (m_owner && !m_owner->IsEmpty())
        m_owner->NotifySelectionChange();
}

bool NullSelection::IsEmpty() const
{
    return true;
}

void NullSelection::Clear() { }

bool NullSelection::CanDelete() const
{
    return false;
}

void NullSelection::Delete() { }

bool NullSelection::IsSame(const Selection& other) const
{
    return dynamic_cast<const NullSelection*>(&other) != nullptr;
}

} // namespace My
