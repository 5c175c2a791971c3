#pragma once

// Extents laid end to end: the rows of a list, the columns of a grid. Each
// item has a size; its offset from the range's origin is the sum of the
// sizes before it. Offsets are recomputed lazily, from the first item that
// changed, when an extent, an index or the total is read. Items are not
// owned. UI thread only.

#include <vector>

namespace My {

class Range;

class RangeItem {
public:
    RangeItem() = default;
    RangeItem(const RangeItem&) = delete;
    RangeItem& operator=(const RangeItem&) = delete;
    virtual ~RangeItem();

    // The item moved or changed size; nothing here.
    virtual void PlaceChanged();

    Range* GetRange() const { return m_range; }
    int GetItemSize() const { return m_size; }
    // Marks the range dirty from this item.
    void SetItemSize(int size);
    // -1 when the item is in no range. Kept current without recomputing.
    int GetRangeIndex() const;
    // Start and end in the range's coordinates; (0, size) without a range.
    int GetStart() const;
    int GetEnd() const { return GetStart() + m_size; }

private:
    friend class Range;

    Range* m_range = nullptr;
    int m_size = 0;
    int m_index = -1;
    int m_offset = 0;
};

class Range {
public:
    static constexpr int nothing_dirty = 0x7fffffff;

    Range() = default;
    Range(const Range&) = delete;
    Range& operator=(const Range&) = delete;
    // Lets go of every item (they keep their sizes).
    virtual ~Range();

    // The position of the first item; 0 here.
    virtual int GetRangeOrigin() const;
    // Repaints the pixels between two positions; nothing here.
    virtual void InvalidateBand(int start, int end);
    // The total changed; nothing here.
    virtual void ExtentChanged();

    // Inserts items (not in another range) before position `index`, which
    // is clamped to the count.
    void InsertItems(int index, RangeItem* const* items, int count);
    // Removes `count` items from `index` on (clamped); they leave with index
    // -1 and keep their sizes.
    void RemoveItems(int index, int count);
    void RemoveAllItems();

    int GetItemCount() const { return int(m_items.size()); }
    RangeItem* GetItem(int index) const { return m_items[std::size_t(index)]; }
    // The sum of all sizes.
    int GetTotal();
    // -1 before the origin; else the first item whose end lies beyond the
    // position, or the count when none does.
    int ItemFromPosition(int position);
    // Marks the items from `index` on (clamped to the count) as moved; the
    // band after the end of the item before them is repainted.
    void MarkDirty(int index);
    // Recomputes the offsets of the dirty items now.
    void Recompute();
    bool IsDirty() const { return m_dirty; }
    int GetFirstDirty() const { return m_firstDirty; }

private:
    friend class RangeItem;

    void Renumber(int from);

    std::vector<RangeItem*> m_items;
    int m_total = 0;
    bool m_dirty = false;
    int m_firstDirty = nothing_dirty;
};

} // namespace My
