#include "widgets/controls/DropDown.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/gui/colors.h"
#include "platform/gui/cursor.h"
#include "platform/gui/menu.h"
#include "widgets/core/ClientDC.h"

namespace My {

DropDown::DropDown()
{
    m_button.Load("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK");
}

std::string DropDown::CurrentText(bool& readable) const
{
    int index = -1;
    readable = GetIndex(index);
    if (!readable)
        index = -1;
    if (index < 0 || index >= GetCount())
        return GetEmptyText();
    return GetText(index);
}

void DropDown::ComputeRects(const CSize& size)
{
    const CRect area(CPoint(), size);
    m_buttonRect = CRect(area.right - (m_button.GetWidth() + 8), 0, area.right, area.bottom);
    bool readable = false;
    std::string text = CurrentText(readable);
    if (text.empty())
        text = " ";
    ClientDC dc(this);
    CFont* old = SelectFont(dc);
    CRect r;
    dc.DrawText(text, &r, DT_CALCRECT | DT_SINGLELINE);
    if (old)
        dc.SelectObject(old);
    r.OffsetRect(4 - r.left, (area.Height() - r.Height()) / 2 - r.top);
    m_textRect = CRect(std::max(r.left, area.left), std::max(r.top, area.top),
        std::min(r.right, m_buttonRect.left), std::min(r.bottom, area.bottom));
    if (m_textRect.IsRectEmpty())
        m_textRect.SetRectEmpty();
}

void DropDown::Draw(CDC& dc, const CRect&)
{
    const CRect area(CPoint(), GetSize());
    ComputeRects(area.Size());
    const bool enabled = is_enabled_in_tree(this);
    if (enabled && m_buttonRect.Width() < area.Width())
        m_button.DrawIn(dc, m_buttonRect, 0x33);
    bool readable = false;
    const std::string text = CurrentText(readable);
    const COLORREF old = dc.SetTextColor(readable && enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNSHADOW));
    const int mode = dc.SetBkMode(TRANSPARENT);
    CRect r = m_textRect;
    dc.DrawText(text, &r, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    dc.SetBkMode(mode);
    dc.SetTextColor(old);
}

void DropDown::SelectNext()
{
    const int count = GetCount();
    if (count <= 0)
        return;
    int index = -1;
    int next = 0;
    if (GetIndex(index))
        next = index < 0 ? 0 : (index + 1) % count;
    SetIndex(next);
    Invalidate(CRect(CPoint(), GetSize()));
}

void DropDown::ShowEntryMenu()
{
    CMenu menu;
    menu.CreatePopupMenu();
    int current = -1;
    if (!GetIndex(current))
        current = -1;
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        menu.AppendMenu(MF_STRING | (i == current ? MF_CHECKED : 0), UINT(i + 1), GetText(i));
    const CPoint at = ClientToScreen(CPoint(m_buttonRect.right, m_buttonRect.bottom));
    const int chosen = menu.TrackPopupMenu(
        TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, GetWnd());
    menu.DestroyMenu();
    if (chosen > 0 && chosen <= count) {
        SetIndex(chosen - 1);
        Invalidate(CRect(CPoint(), GetSize()));
    }
}

void DropDown::OnLeftDown(UINT flags, const CPoint& point)
{
    Widget::OnLeftDown(flags, point);
    if (!is_enabled_in_tree(this))
        return;
    if (m_buttonRect.PtInRect(point)) {
        // The menu runs its own loop: the press ends here.
        ReleaseCapture();
        ShowEntryMenu();
    } else if (m_textRect.PtInRect(point)) {
        SelectNext();
    }
}

void DropDown::OnLeftDoubleClick(UINT flags, const CPoint& point)
{
    OnLeftDown(flags, point);
    Update();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    OnLeftUp(flags, point);
}

bool DropDown::OnCursor(UINT, const CPoint& point)
{
    const bool hand
        = is_enabled_in_tree(this) && (m_buttonRect.PtInRect(point) || m_textRect.PtInRect(point));
    SetCursor(LoadCursor(hand ? IDC_HAND : IDC_ARROW));
    return true;
}

} // namespace My
