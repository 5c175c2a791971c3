#pragma once

// A vertical list of row controls laid end to end inside a scroll box. The
// rows' heights form the list's range; a row whose shown flag is clear stays
// in the row vector but takes no extent and is never painted. Painting and
// hit testing touch only the rows inside the visible band (binary search over
// the lazily recomputed offsets), so lists of many thousands of rows stay
// quick. Rows are not owned: whoever made them deletes them (after removing
// them). UI thread only.

#include <vector>

#include "widgets/containers/Range.h"
#include "widgets/core/Container.h"
#include "widgets/core/Timer.h"
#include "widgets/core/Widget.h"

namespace My {

class List;
class ScrollBox;

class Row : public virtual Control, public RangeItem {
public:
    Row() = default;
    ~Row() override;

    // x from 0 to the list's width, y the row's extent.
    CRect GetBounds() const override;
    bool IsVisible() const override { return m_shown && m_list; }
    // Answers the range's notification with BoundsChanged.
    void PlaceChanged() override;

    // Sets the size and repaints when attached.
    void SetHeight(int height);
    // Repaints the row when attached and shown. A row at or after the
    // list's first moved row is left alone: the band from there on was
    // repainted when the rows moved, and reading its place now would lay
    // out the whole list once per change.
    void Repaint();
    int GetHeight() const { return GetItemSize(); }
    // A hidden row keeps its index but leaves the list's range.
    void SetShown(bool shown);
    bool IsShown() const { return m_shown; }
    List* GetList() const { return m_list; }
    int GetIndex() const { return m_index; }

private:
    friend class List;

    List* m_list = nullptr;
    int m_index = -1;
    bool m_shown = true;
};

class List : public virtual Widget, public virtual Container, public Range {
public:
    // The box scrolls the list (null: the list keeps its own scroll
    // position, as in a list without a window).
    explicit List(ScrollBox* box = nullptr);
    ~List() override;

    // Range.
    int GetRangeOrigin() const override;
    void InvalidateBand(int start, int end) override;
    void ExtentChanged() override;

    virtual void InvalidateRows(int start, int end);
    // The rows' total height plus 10.
    virtual int GetContentHeight();
    // Gives the content height to the scroll box.
    virtual void UpdateScrollBar();

    // Inserts rows (detached ones) before `index` (clamped) and adopts
    // them as children.
    void InsertRows(int index, Row* const* rows, int count);
    void RemoveRows(int index, int count);
    void RemoveAll();
    int GetRowCount() const { return int(m_rows.size()); }
    // Unchecked index.
    Row* GetRow(int index) const { return m_rows[std::size_t(index)]; }

    int GetScrollY() const;
    // Scrolls (through the box when there is one) to y, clamped to the
    // content.
    void ScrollTo(int y);
    ScrollBox* GetScrollBox() const { return m_box; }

    // Auto-scroll: while the step is not 0, each timer tick scrolls by it
    // and sends a mouse move at the cursor, so that a drag goes on while the
    // pointer stands past an edge.
    void SetAutoScroll(int step);
    int GetAutoScroll() const { return m_autoScroll; }
    // One tick of the auto-scroll timer.
    void AutoScrollTick();

    Control* ChildFromPoint(int x, int y) const override;
    void Draw(CDC& dc, const CRect& clip) override;
    void Paint(CDC& dc, const CRect& clip) override;
    void OnEvent(Event& event) override;
    void BoundsChanged() override;

protected:
    // The range position a shown row at vector index `index` would take.
    int RangePositionOf(int index);

private:
    friend class Row;

    void Renumber(int from);
    void ShowRow(Row* row, bool shown);

    ScrollBox* m_box;
    std::vector<Row*> m_rows;
    Timer m_timer;
    int m_autoScroll = 0;
    int m_scrollY = 0;
};

} // namespace My
