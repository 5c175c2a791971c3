#include "widgets/containers/Range.h"

#include <algorithm>

namespace My {

RangeItem::~RangeItem()
{
    if (m_range) {
        const int index = GetRangeIndex();
        if (index >= 0)
            m_range->RemoveItems(index, 1);
    }
}

void RangeItem::PlaceChanged() { }

void RangeItem::SetItemSize(int size)
{
    if (size == m_size)
        return;
    m_size = size;
    if (m_range)
        m_range->MarkDirty(m_index);
}

int RangeItem::GetRangeIndex() const
{
    // Indexes are kept current on every insertion and removal; only the
    // offsets wait for the recomputation.
    return m_range ? m_index : -1;
}

int RangeItem::GetStart() const
{
    if (!m_range)
        return 0;
    m_range->Recompute();
    return m_range->GetRangeOrigin() + m_offset;
}

Range::~Range()
{
    for (RangeItem* item : m_items) {
        item->m_range = nullptr;
        item->m_index = -1;
    }
}

int Range::GetRangeOrigin() const
{
    return 0;
}

void Range::InvalidateBand(int, int) { }

void Range::ExtentChanged() { }

void Range::InsertItems(int index, RangeItem* const* items, int count)
{
    if (count <= 0)
        return;
    index = std::clamp(index, 0, GetItemCount());
    m_items.insert(m_items.begin() + index, items, items + count);
    for (int i = 0; i < count; ++i)
        items[i]->m_range = this;
    Renumber(index);
    MarkDirty(index);
}

void Range::RemoveItems(int index, int count)
{
    index = std::clamp(index, 0, GetItemCount());
    count = std::clamp(count, 0, GetItemCount() - index);
    if (count == 0)
        return;
    for (int i = index; i < index + count; ++i) {
        m_items[std::size_t(i)]->m_range = nullptr;
        m_items[std::size_t(i)]->m_index = -1;
    }
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    Renumber(index);
    MarkDirty(index);
}

void Range::RemoveAllItems()
{
    RemoveItems(0, GetItemCount());
}

void Range::Renumber(int from)
{
    for (std::size_t i = std::size_t(from); i < m_items.size(); ++i)
        m_items[i]->m_index = int(i);
}

void Range::MarkDirty(int index)
{
    index = std::clamp(index, 0, GetItemCount());
    m_dirty = true;
    if (index < m_firstDirty) {
        m_firstDirty = index;
        // Everything from the end of the item before the changed one moves.
        const int start = index == 0 ? GetRangeOrigin()
                                     : GetRangeOrigin() + m_items[std::size_t(index - 1)]->m_offset
                + m_items[std::size_t(index - 1)]->m_size;
        InvalidateBand(start, nothing_dirty);
    }
}

void Range::Recompute()
{
    if (!m_dirty)
        return;
    // Cleared first: the notifications below may read extents.
    m_dirty = false;
    const int first = std::min(m_firstDirty, GetItemCount());
    m_firstDirty = nothing_dirty;
    int offset = first == 0
        ? 0
        : m_items[std::size_t(first - 1)]->m_offset + m_items[std::size_t(first - 1)]->m_size;
    const int old_total = m_total;
    std::vector<RangeItem*> moved;
    for (std::size_t i = std::size_t(first); i < m_items.size(); ++i) {
        RangeItem* item = m_items[i];
        if (item->m_offset != offset)
            moved.push_back(item);
        item->m_offset = offset;
        offset += item->m_size;
    }
    m_total = offset;
    for (RangeItem* item : moved)
        item->PlaceChanged();
    if (m_total != old_total)
        ExtentChanged();
}

int Range::GetTotal()
{
    Recompute();
    return m_total;
}

int Range::ItemFromPosition(int position)
{
    Recompute();
    const long long pos = static_cast<long long>(position) - GetRangeOrigin();
    if (pos < 0)
        return -1;
    auto it = std::upper_bound(m_items.begin(), m_items.end(), pos, [](long long p, const RangeItem* item) {
        return p < static_cast<long long>(item->m_offset) + item->m_size;
    });
    return int(it - m_items.begin());
}

} // namespace My
