#pragma once

// Grids: rows cut into the columns of a column set. The set keeps every
// column; only shown ones take width (its range). Columns are owned by
// whoever made them.

#include <vector>

#include "widgets/containers/List.h"

namespace My {

class ColumnSet;
class Grid;

class Column : public RangeItem {
public:
    Column() = default;
    ~Column() override;

    int GetWidth() const { return GetItemSize(); }
    void SetWidth(int width) { SetItemSize(width); }
    void SetShown(bool shown);
    bool IsShown() const { return m_shown; }
    ColumnSet* GetColumnSet() const { return m_set; }
    // The index among all columns; -1 outside a set.
    int GetIndex() const { return m_index; }
    // The position among the shown columns; -1 when hidden.
    int GetShownIndex() const { return GetRangeIndex(); }

private:
    friend class ColumnSet;

    ColumnSet* m_set = nullptr;
    int m_index = -1;
    bool m_shown = true;
};

class ColumnSet : public Range {
public:
    explicit ColumnSet(Grid* grid = nullptr);
    ~ColumnSet() override;

    // Minus the grid's horizontal scroll position.
    int GetRangeOrigin() const override;
    // Repaints the band of columns over the grid's height.
    void InvalidateBand(int start, int end) override;
    // The grid's scroll bars follow.
    void ExtentChanged() override;

    // Inserts a column (not in a set) before `index` (clamped).
    void InsertColumn(int index, Column* column);
    void RemoveColumn(Column* column);
    int GetColumnCount() const { return int(m_all.size()); }
    Column* GetColumn(int index) const { return m_all[std::size_t(index)]; }

private:
    friend class Column;

    void Renumber();
    // The range position of a shown column at index `index` of all.
    int ShownPositionOf(int index);

    Grid* m_grid;
    std::vector<Column*> m_all;
};

class Grid : public virtual List {
public:
    explicit Grid(ScrollBox* box = nullptr);

    ColumnSet& GetColumns() { return m_columns; }
    // The box's content: the shown columns' width by the content height.
    void UpdateScrollBar() override;

private:
    ColumnSet m_columns;
};

class GridRow : public virtual Row, public virtual Container {
public:
    // The column's extent across, 0 to the row height down.
    virtual CRect GetCellRect(const Column& column) const;
    // Bottom and right edges in COLOR_BTNSHADOW.
    virtual void DrawCell(CDC& dc, const CRect& clip, const Column& column, const CRect& cell);

    // When in a grid, each shown column's cell that meets the clip.
    void Draw(CDC& dc, const CRect& clip) override;
    CRect GetBounds() const override { return Row::GetBounds(); }
    bool IsVisible() const override { return Row::IsVisible(); }
};

} // namespace My
