#include "widgets/properties/PropertyList.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "platform/gui/wnd.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Event.h"
#include "widgets/properties/PEditor.h"
#include "widgets/properties/PropertyRow.h"

namespace My {

PropertyList::PropertyList(PEditor* editor)
    : m_editor(editor)
{
}

void PropertyList::BoundsChanged()
{
    WindowBoundsEvent e(false);
    ListControl::OnEvent(e);
    PlaceWindow();
}

void PropertyList::OnShow(bool visible)
{
    SetWindowShown(visible);
}

PropertyRow* PropertyList::GetPropertyRow(int index) const
{
    return dynamic_cast<PropertyRow*>(GetRow(index));
}

PropertyRow* PropertyList::GetSelectedRow() const
{
    const int selected = GetSelected();
    return selected >= 0 && selected < GetRowCount() ? GetPropertyRow(selected) : nullptr;
}

void PropertyList::SelectRow(int index)
{
    const int before = GetSelected();
    Select(std::clamp(index, -1, GetRowCount() - 1));
    if (GetSelected() != before)
        m_editor->GetInfoPanel().Invalidate(CRect(CPoint(), m_editor->GetInfoPanel().GetSize()));
}

int PropertyList::RowAtContent(int position)
{
    if (GetFirstDirty() < GetRowCount())
        Layout();
    const int count = GetRowCount();
    for (int i = 0; i < count; ++i) {
        const RowControl* row = GetRow(i);
        if (row->GetTop() + row->GetHeight() >= position)
            return i;
    }
    return count - 1;
}

void PropertyList::OnKeyDown(UINT key, UINT, UINT)
{
    PropertyRow* row = GetSelectedRow();
    if (!row)
        return;
    const int selected = GetSelected();
    const int count = GetRowCount();
    CRect client;
    if (GetSafeHwnd())
        GetClientRect(&client);
    switch (key) {
    case VK_RETURN:
        row->Toggle();
        break;
    case VK_LEFT:
        row->Collapse();
        break;
    case VK_RIGHT:
        row->Expand();
        break;
    case VK_UP:
        SelectRow(std::max(0, selected - 1));
        break;
    case VK_DOWN:
        SelectRow(std::min(count - 1, selected + 1));
        break;
    case VK_HOME:
        SelectRow(0);
        break;
    case VK_END:
        SelectRow(count - 1);
        break;
    case VK_PRIOR:
        SelectRow(RowAtContent(row->GetTop() - client.Height()));
        break;
    case VK_NEXT:
        SelectRow(RowAtContent(row->GetTop() + client.Height()));
        break;
    default:
        break;
    }
}

void PropertyList::OnLeftDown(UINT flags, const CPoint& point)
{
    ListControl::OnLeftDown(flags, point);
    m_editor->GetInfoPanel().Invalidate(CRect(CPoint(), m_editor->GetInfoPanel().GetSize()));
}

void PropertyList::Draw(CDC& dc, const CRect& clip)
{
    dc.FillSolidRect(clip, mix_sys_colors(COLOR_BTNFACE, COLOR_BTNHIGHLIGHT));
    const CSize size = GetSize();
    dc.FillSolidRect(m_editor->GetEffectiveCaptionWidth(), 0, 1, size.cy, GetSysColor(COLOR_BTNSHADOW));
}

void PropertyList::AddSplitter(Control* splitter)
{
    m_splitter = splitter;
    AddChild(splitter);
}

void PropertyList::OnRowCountChanged()
{
    // The splitter stays above the rows for hit testing.
    if (m_splitter)
        BringToFront(m_splitter);
    Select(std::clamp(GetSelected(), -1, GetRowCount() - 1));
}

} // namespace My
