#include "document/segments/SegmentSelection.h"

#include "document/segments/Segment.h"
#include "document/segments/SegmentSet.h"

#include <algorithm>

namespace My {

SegmentSelection::SegmentSelection(SegmentSet* set, int index)
    : m_set(set)
{
    SetIndex(index);
}

void SegmentSelection::SetIndex(int index)
{
    const int count = m_set ? m_set->GetCount() : 0;
    index = std::clamp(index, -1, count - 1);
    if (index == m_index)
        return;
    const int previous = m_index;
    m_index = index;
    if (m_set) {
        for (int changed : { previous, index })
            if (changed >= 0 && changed < count) {
                Segment* segment = m_set->GetSegment(changed);
                Segment::StateChange change(segment);
                segment->Send(change);
            }
    }
    NotifyChange();
}

bool SegmentSelection::IsEmpty() const
{
    return m_index < 0;
}

void SegmentSelection::Clear()
{
    SetIndex(-1);
}

bool SegmentSelection::CanDelete() const
{
    return !IsEmpty();
}

void SegmentSelection::Delete()
{
    if (m_set)
        m_set->DeleteSelected();
}

bool SegmentSelection::IsSame(const Selection& other) const
{
    const auto* o = dynamic_cast<const SegmentSelection*>(&other);
    return o && o->m_set == m_set && o->m_index == m_index;
}

} // namespace My
