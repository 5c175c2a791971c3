#include "document/processing/ProcessQueue.h"

#include "document/segments/SegmentData.h"
#include "document/segments/TLSegment.h"

#include <algorithm>

void ProcessQueue::clear() noexcept
{
    std::list<ProcessItem> items = take();
    for (ProcessItem& item : items) {
        // A listener's failure must not keep the others from being told.
        try {
            item.segment->OnProcessingDone();
        } catch (...) {
        }
    }
}

std::list<ProcessItem> ProcessQueue::take() noexcept
{
    std::list<ProcessItem> items;
    items.swap(m_items);
    return items;
}

bool ProcessQueue::remove(const TLSegment* segment) noexcept
{
    const auto it = std::find_if(m_items.begin(), m_items.end(),
        [segment](const ProcessItem& item) { return item.segment == segment; });
    if (it == m_items.end())
        return false;
    m_items.erase(it);
    return true;
}
