#include "widgets/scrolling/ListControl.h"

#include <algorithm>
#include <stdexcept>

#include "widgets/core/Event.h"
#include "widgets/scrolling/ScrollMath.h"

namespace My {

CRect RowControl::GetBounds() const
{
    if (!m_list)
        return CRect();
    const int width = m_list->GetSize().cx;
    const int y = m_top - m_list->GetScrollPos();
    return CRect(0, y, width, y + m_height);
}

void RowControl::SetHeight(int height)
{
    if (height == m_height)
        return;
    m_height = height;
    if (m_list && m_index >= 0) {
        m_list->MarkDirty(m_index);
        m_list->Invalidate(FALSE);
    }
}

ListControl::ListControl()
{
    SetCreationStyle(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL);
}

void ListControl::OnWindowCreate()
{
    CustomWindow<CWnd>::OnWindowCreate();
    Layout();
}

int ListControl::ClientHeight() const
{
    CRect r;
    if (GetSafeHwnd())
        GetClientRect(&r);
    return r.Height();
}

void ListControl::Renumber()
{
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rows[i]->m_index = int(i);
}

void ListControl::MarkDirty(int index)
{
    m_firstDirty = std::clamp(std::min(m_firstDirty, index), 0, int(m_rows.size()));
}

void ListControl::InsertRows(int index, RowControl* const* rows, int count)
{
    index = std::clamp(index, 0, int(m_rows.size()));
    if (count <= 0)
        return;
    // A row lives in one list once; checked before anything changes.
    for (int i = 0; i < count; ++i) {
        if (!rows[i] || rows[i]->m_list || std::find(rows, rows + i, rows[i]) != rows + i)
            throw std::invalid_argument("a list row is missing or in a list already");
    }
    m_rows.insert(m_rows.begin() + index, rows, rows + count);
    for (int i = 0; i < count; ++i) {
        rows[i]->m_list = this;
        AddChild(rows[i]);
    }
    Renumber();
    if (m_selected >= index)
        m_selected += count;
    OnRowCountChanged();
    MarkDirty(index);
    Invalidate(FALSE);
}

void ListControl::RemoveRows(int index, int count)
{
    index = std::clamp(index, 0, int(m_rows.size()));
    count = std::clamp(count, 0, int(m_rows.size()) - index);
    if (count == 0)
        return;
    for (int i = index; i < index + count; ++i) {
        RemoveChild(m_rows[std::size_t(i)]);
        m_rows[std::size_t(i)]->m_list = nullptr;
        m_rows[std::size_t(i)]->m_index = -1;
    }
    m_rows.erase(m_rows.begin() + index, m_rows.begin() + index + count);
    Renumber();
    if (m_selected >= index + count)
        m_selected -= count;
    else if (m_selected >= index)
        m_selected = -1;
    OnRowCountChanged();
    MarkDirty(index);
    Invalidate(FALSE);
}

void ListControl::RemoveAll()
{
    RemoveRows(0, GetRowCount());
}

void ListControl::Layout()
{
    const int count = int(m_rows.size());
    for (int i = m_firstDirty; i < count; ++i) {
        RowControl* row = m_rows[std::size_t(i)];
        row->m_top = i == 0 ? 0 : m_rows[std::size_t(i - 1)]->m_top + m_rows[std::size_t(i - 1)]->m_height;
        row->BoundsChanged();
        UpdateUIEvent e;
        row->OnEvent(e);
    }
    m_contentHeight = count ? m_rows.back()->m_top + m_rows.back()->m_height : 0;
    m_firstDirty = count;
    m_pageHeight = ClientHeight();
    const int keep = m_scrollPos;
    SetScrollPos(keep);
    UpdateScrollBar();
}

void ListControl::SetScrollPos(int y)
{
    const int y_max = std::max(0, m_contentHeight - m_pageHeight);
    y = std::clamp(y, 0, y_max);
    if (y == m_scrollPos)
        return;
    m_scrollPos = y;
    RowsMoved();
    UpdateScrollBar();
    Invalidate(FALSE);
}

void ListControl::RowsMoved()
{
    for (RowControl* row : m_rows)
        row->BoundsChanged();
}

void ListControl::UpdateScrollBar()
{
    if (!GetSafeHwnd())
        return;
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = m_contentHeight;
    si.nPage = UINT(std::max(0, m_pageHeight == m_contentHeight ? m_pageHeight + 1 : m_pageHeight));
    si.nPos = m_scrollPos;
    SetScrollInfo(SB_VERT, si, TRUE);
}

int ListControl::RowFromPoint(int y)
{
    if (m_firstDirty < GetRowCount())
        Layout();
    const long long content = static_cast<long long>(y) + m_scrollPos;
    // Row tops ascend: the first row whose bottom lies below the position.
    auto it
        = std::upper_bound(m_rows.begin(), m_rows.end(), content, [](long long pos, const RowControl* row) {
              return pos < static_cast<long long>(row->m_top) + row->m_height;
          });
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

void ListControl::InvalidateRow(int index)
{
    if (index >= 0 && index < GetRowCount()) {
        const CRect r = m_rows[std::size_t(index)]->GetBounds();
        InvalidateRect(&r, FALSE);
    }
}

void ListControl::Select(int index)
{
    const int count = GetRowCount();
    if (index != -1) {
        if (count == 0)
            index = -1;
        else
            index = std::clamp(index, 0, count - 1);
    }
    if (index == m_selected)
        return;
    InvalidateRow(m_selected);
    m_selected = index;
    EnsureVisible(index);
    InvalidateRow(index);
}

void ListControl::EnsureVisible(int index)
{
    if (index < 0 || index >= GetRowCount())
        return;
    if (m_firstDirty < GetRowCount())
        Layout();
    const RowControl* row = m_rows[std::size_t(index)];
    const int top = row->m_top, bottom = top + row->m_height;
    if (bottom > m_scrollPos + m_pageHeight)
        SetScrollPos(bottom - m_pageHeight);
    if (top < m_scrollPos)
        SetScrollPos(top);
}

void ListControl::OnLeftDown(UINT flags, const CPoint& point)
{
    Invalidate(FALSE);
    Select(-1);
    CustomWindow<CWnd>::OnLeftDown(flags, point);
}

void ListControl::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    if (m_selected < 0)
        return;
    const int count = GetRowCount();
    const int page = ClientHeight();
    switch (key) {
    case VK_UP:
        Select(std::max(0, m_selected - 1));
        return;
    case VK_DOWN:
        Select(std::min(count - 1, m_selected + 1));
        return;
    case VK_HOME:
        Select(0);
        return;
    case VK_END:
        Select(count - 1);
        return;
    case VK_PRIOR:
    case VK_NEXT: {
        const int top = m_rows[std::size_t(m_selected)]->m_top - m_scrollPos;
        const long long target = static_cast<long long>(top) + (key == VK_PRIOR ? -page : page);
        int row = RowFromPoint(int(std::clamp<long long>(target, -(1LL << 30), 1LL << 30)));
        if (row < 0)
            row = count - 1;
        Select(std::max(0, row));
        return;
    }
    default: {
        KeyDownEvent e(key, repeat, flags);
        m_rows[std::size_t(m_selected)]->OnEvent(e);
        return;
    }
    }
}

void ListControl::OnFocus()
{
    InvalidateRow(m_selected);
}

void ListControl::OnUnfocus()
{
    InvalidateRow(m_selected);
}

LRESULT ListControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        Layout();
        break;
    case WM_SIZE: {
        const LRESULT r = CustomWindow<CWnd>::WindowProc(message, wParam, lParam);
        RowsMoved();
        m_pageHeight = ClientHeight();
        const int keep = m_scrollPos;
        SetScrollPos(keep);
        UpdateScrollBar();
        return r;
    }
    case WM_MOUSEWHEEL: {
        // A notch is 120; finer wheels send parts of it.
        const int delta = static_cast<short>(HIWORD(wParam));
        const long long target
            = static_cast<long long>(m_scrollPos) - static_cast<long long>(delta) * wheel_step / 120;
        SetScrollPos(int(std::clamp<long long>(target, 0, 1LL << 30)));
        return 0;
    }
    case WM_VSCROLL:
        if (lParam == 0) {
            SCROLLINFO si;
            GetScrollInfo(SB_VERT, &si);
            SetScrollPos(ScrollCodeTarget(
                LOWORD(wParam), m_scrollPos, line_step, m_pageHeight, m_contentHeight, si.nTrackPos));
            return 0;
        }
        break;
    default:
        break;
    }
    return CustomWindow<CWnd>::WindowProc(message, wParam, lParam);
}

} // namespace My
