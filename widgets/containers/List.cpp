#include "widgets/containers/List.h"

#include <algorithm>
#include <climits>

#include "platform/gui/colors.h"
#include "widgets/core/Event.h"
#include "widgets/scrolling/ScrollBox.h"

namespace My {

Row::~Row()
{
    if (m_list && m_index >= 0)
        m_list->RemoveRows(m_index, 1);
}

CRect Row::GetBounds() const
{
    if (!m_list)
        return CRect(0, 0, 0, GetItemSize());
    const int top = GetStart();
    return CRect(0, top, m_list->GetSize().cx, top + GetItemSize());
}

void Row::PlaceChanged()
{
    BoundsChanged();
}

void Row::SetHeight(int height)
{
    if (height == GetItemSize())
        return;
    SetItemSize(height);
    Repaint();
}

void Row::Repaint()
{
    if (!m_list || !m_shown || GetRange() != m_list)
        return;
    if (m_list->IsDirty() && GetRangeIndex() >= m_list->GetFirstDirty())
        return;
    const CRect r = GetBounds();
    m_list->InvalidateRows(r.top, r.bottom);
}

void Row::SetShown(bool shown)
{
    if (shown == m_shown)
        return;
    if (m_list)
        m_list->ShowRow(this, shown);
    m_shown = shown;
}

List::List(ScrollBox* box)
    : m_box(box)
{
    m_timer.SetInterval(100);
    m_timer.AddListener(this);
}

List::~List()
{
    m_timer.RemoveListener(this);
    RemoveAll();
}

int List::GetRangeOrigin() const
{
    return -GetScrollY();
}

void List::InvalidateBand(int start, int end)
{
    InvalidateRows(start, end);
}

void List::InvalidateRows(int start, int end)
{
    const CSize size = GetSize();
    const int top = std::max(start, 0), bottom = std::min(end, size.cy);
    if (top < bottom)
        Invalidate(CRect(0, top, size.cx, bottom));
}

void List::ExtentChanged()
{
    UpdateScrollBar();
}

int List::GetContentHeight()
{
    return GetTotal() + 10;
}

void List::UpdateScrollBar()
{
    const int height = GetContentHeight();
    if (m_box)
        m_box->SetContentSize(m_box->GetContentSize().cx, height);
    else
        m_scrollY = std::clamp(m_scrollY, 0, std::max(0, height - GetSize().cy));
}

int List::GetScrollY() const
{
    return m_box ? m_box->GetScrollPos().y : m_scrollY;
}

void List::ScrollTo(int y)
{
    if (m_box) {
        m_box->ScrollTo(m_box->GetScrollPos().x, y);
        return;
    }
    y = std::clamp(y, 0, std::max(0, GetContentHeight() - GetSize().cy));
    if (y == m_scrollY)
        return;
    m_scrollY = y;
    Invalidate(CRect(CPoint(), GetSize()));
}

int List::RangePositionOf(int index)
{
    for (std::size_t i = std::size_t(std::max(index, 0)); i < m_rows.size(); ++i)
        if (m_rows[i]->m_shown)
            return m_rows[i]->GetRangeIndex();
    return GetItemCount();
}

void List::Renumber(int from)
{
    for (std::size_t i = std::size_t(std::max(from, 0)); i < m_rows.size(); ++i) {
        m_rows[i]->m_list = this;
        m_rows[i]->m_index = int(i);
    }
}

void List::InsertRows(int index, Row* const* rows, int count)
{
    if (count <= 0)
        return;
    index = std::clamp(index, 0, GetRowCount());
    const int position = RangePositionOf(index);
    std::vector<RangeItem*> shown;
    shown.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        if (rows[i]->m_shown)
            shown.push_back(rows[i]);
    m_rows.insert(m_rows.begin() + index, rows, rows + count);
    for (int i = 0; i < count; ++i)
        AddChild(rows[i]);
    Renumber(index);
    InsertItems(position, shown.data(), int(shown.size()));
}

void List::RemoveRows(int index, int count)
{
    index = std::clamp(index, 0, GetRowCount());
    count = std::clamp(count, 0, GetRowCount() - index);
    if (count == 0)
        return;
    // The shown rows of the span are consecutive in the range.
    int first = -1, shown = 0;
    for (int i = index; i < index + count; ++i) {
        Row* row = m_rows[std::size_t(i)];
        if (row->m_shown && row->GetRange() == this) {
            if (first < 0)
                first = row->GetRangeIndex();
            ++shown;
        }
    }
    if (first >= 0)
        RemoveItems(first, shown);
    for (int i = index; i < index + count; ++i) {
        Row* row = m_rows[std::size_t(i)];
        RemoveChild(row);
        row->m_list = nullptr;
        row->m_index = -1;
    }
    m_rows.erase(m_rows.begin() + index, m_rows.begin() + index + count);
    Renumber(index);
}

void List::RemoveAll()
{
    RemoveAllItems();
    for (Row* row : m_rows) {
        RemoveChild(row);
        row->m_list = nullptr;
        row->m_index = -1;
    }
    m_rows.clear();
    UpdateScrollBar();
    Invalidate(CRect(CPoint(), GetSize()));
}

void List::ShowRow(Row* row, bool shown)
{
    if (shown) {
        RangeItem* item = row;
        InsertItems(RangePositionOf(row->m_index + 1), &item, 1);
    } else {
        RemoveItems(row->GetRangeIndex(), 1);
    }
}

Control* List::ChildFromPoint(int, int y) const
{
    auto* self = const_cast<List*>(this);
    const int i = self->ItemFromPosition(y);
    if (i < 0 || i >= GetItemCount())
        return nullptr;
    return static_cast<Row*>(GetItem(i));
}

void List::Draw(CDC& dc, const CRect& clip)
{
    dc.FillSolidRect(clip, GetSysColor(COLOR_BTNFACE));
}

void List::Paint(CDC& dc, const CRect& clip)
{
    Recompute();
    Control::Paint(dc, clip);
    const CSize size = GetSize();
    CRgn saved;
    const bool had_clip = dc.GetClipRgn(&saved) == 1;
    CRgn area;
    area.CreateRectRgnIndirect(&static_cast<const RECT&>(CRect(GetOrigin(), size)));
    dc.SelectClipRgn(&area, RGN_AND);
    struct restore {
        CDC& dc;
        CRgn* saved;
        ~restore() { dc.SelectClipRgn(saved); }
    } r { dc, had_clip ? &saved : nullptr };

    // Only the band from y = 0 to the list's height.
    const int first = std::max(ItemFromPosition(0), 0);
    const int last = std::min(ItemFromPosition(size.cy), GetItemCount() - 1);
    for (int i = first; i <= last; ++i) {
        Row* row = static_cast<Row*>(GetItem(i));
        const CRect b = row->GetBounds();
        CRect part;
        if (!part.IntersectRect(b, clip))
            continue;
        const CPoint o = row->GetOrigin();
        const CPoint old = dc.SetWindowOrg(-o.x, -o.y);
        part.OffsetRect(-b.left, -b.top);
        row->Paint(dc, part);
        dc.SetWindowOrg(old);
    }
}

void List::SetAutoScroll(int step)
{
    m_autoScroll = step;
    m_timer.SetRunning(step != 0);
}

void List::AutoScrollTick()
{
    if (m_autoScroll == 0)
        return;
    ScrollTo(GetScrollY() + m_autoScroll);
    CPoint p;
    GetCursorPos(&p);
    Control* target = GetCaptureChild();
    if (!target)
        target = this;
    MouseMoveEvent e(0, target->ScreenToClient(p));
    target->OnEvent(e);
}

void List::OnEvent(Event& event)
{
    if (auto* t = dynamic_cast<TimerEvent*>(&event); t && t->timer == &m_timer) {
        AutoScrollTick();
        return;
    }
    Container::OnEvent(event);
}

void List::BoundsChanged()
{
    Container::BoundsChanged();
    UpdateScrollBar();
    for (Row* row : m_rows)
        if (row->m_shown)
            row->BoundsChanged();
}

} // namespace My
