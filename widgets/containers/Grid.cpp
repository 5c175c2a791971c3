#include "widgets/containers/Grid.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "widgets/scrolling/ScrollBox.h"

namespace My {

Column::~Column()
{
    if (m_set)
        m_set->RemoveColumn(this);
}

void Column::SetShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (!m_set)
        return;
    if (shown) {
        RangeItem* item = this;
        m_set->InsertItems(m_set->ShownPositionOf(m_index), &item, 1);
    } else {
        m_set->RemoveItems(GetRangeIndex(), 1);
    }
}

ColumnSet::ColumnSet(Grid* grid)
    : m_grid(grid)
{
}

ColumnSet::~ColumnSet()
{
    for (Column* c : m_all) {
        c->m_set = nullptr;
        c->m_index = -1;
    }
}

int ColumnSet::GetRangeOrigin() const
{
    return m_grid && m_grid->GetScrollBox() ? -m_grid->GetScrollBox()->GetScrollPos().x : 0;
}

void ColumnSet::InvalidateBand(int start, int end)
{
    if (!m_grid)
        return;
    const CSize size = m_grid->GetSize();
    const int left = std::max(start, 0), right = std::min(end, size.cx);
    if (left < right)
        m_grid->Invalidate(CRect(left, 0, right, size.cy));
}

void ColumnSet::ExtentChanged()
{
    if (m_grid)
        m_grid->UpdateScrollBar();
}

int ColumnSet::ShownPositionOf(int index)
{
    for (std::size_t i = std::size_t(std::max(index, 0)); i < m_all.size(); ++i)
        if (m_all[i]->m_shown && m_all[i]->GetRange() == this)
            return m_all[i]->GetRangeIndex();
    return GetItemCount();
}

void ColumnSet::Renumber()
{
    for (std::size_t i = 0; i < m_all.size(); ++i)
        m_all[i]->m_index = int(i);
}

void ColumnSet::InsertColumn(int index, Column* column)
{
    index = std::clamp(index, 0, GetColumnCount());
    const int position = ShownPositionOf(index);
    m_all.insert(m_all.begin() + index, column);
    column->m_set = this;
    Renumber();
    if (column->m_shown) {
        RangeItem* item = column;
        InsertItems(position, &item, 1);
    }
}

void ColumnSet::RemoveColumn(Column* column)
{
    auto it = std::find(m_all.begin(), m_all.end(), column);
    if (it == m_all.end())
        return;
    if (column->GetRange() == this)
        RemoveItems(column->GetRangeIndex(), 1);
    m_all.erase(it);
    column->m_set = nullptr;
    column->m_index = -1;
    Renumber();
}

Grid::Grid(ScrollBox* box)
    : List(box)
    , m_columns(this)
{
}

void Grid::UpdateScrollBar()
{
    if (ScrollBox* box = GetScrollBox())
        box->SetContentSize(m_columns.GetTotal(), GetContentHeight());
    else
        List::UpdateScrollBar();
}

CRect GridRow::GetCellRect(const Column& column) const
{
    return CRect(column.GetStart(), 0, column.GetEnd(), GetHeight());
}

void GridRow::DrawCell(CDC& dc, const CRect&, const Column&, const CRect& cell)
{
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    dc.FillSolidRect(cell.left, cell.bottom - 1, cell.Width(), 1, shadow);
    dc.FillSolidRect(cell.right - 1, cell.top, 1, cell.Height(), shadow);
}

void GridRow::Draw(CDC& dc, const CRect& clip)
{
    auto* grid = dynamic_cast<Grid*>(GetList());
    if (!grid)
        return;
    ColumnSet& columns = grid->GetColumns();
    for (int i = 0; i < columns.GetItemCount(); ++i) {
        const Column& column = static_cast<const Column&>(*columns.GetItem(i));
        CRect cell;
        if (cell.IntersectRect(GetCellRect(column), clip))
            DrawCell(dc, clip, column, GetCellRect(column));
    }
}

} // namespace My
