#include "widgets/controls/ColorBox.h"

#include "platform/gui/colors.h"
#include "platform/gui/messages.h"
#include "widgets/core/Drawing.h"

namespace My {

void ColorBox::Click()
{
    if (!is_enabled_in_tree(this))
        return;
    COLORREF color = 0;
    if (!GetColor(color))
        color = RGB(0, 0, 0);
    CColorDialog dialog(color, CC_FULLOPEN | CC_ANYCOLOR, GetWnd());
    if (dialog.DoModal() == IDOK)
        SetColor(dialog.GetColor());
}

CSize ColorBox::GetPreferredSize() const
{
    return CSize(m_swatchWidth + 2, m_swatchHeight + 2);
}

void ColorBox::SetAlignment(unsigned code)
{
    if (code == m_alignment)
        return;
    m_alignment = code;
    Invalidate(CRect(CPoint(), GetSize()));
}

void ColorBox::Draw(CDC& dc, const CRect&)
{
    const CRect box(CPoint(), GetSize());
    CRect frame = align_rect(CRect(0, 0, m_swatchWidth + 2, m_swatchHeight + 2), box, m_alignment);
    if (frame.left < box.left || frame.top < box.top || frame.right > box.right || frame.bottom > box.bottom)
        return;
    dc.Draw3dRect(frame, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    if (!is_enabled_in_tree(this))
        return;
    frame.DeflateRect(1, 1);
    dc.Draw3dRect(frame, RGB(0, 0, 0), RGB(0, 0, 0));
    frame.DeflateRect(1, 1);
    dc.Draw3dRect(frame, RGB(255, 255, 255), RGB(255, 255, 255));
    frame.DeflateRect(1, 1);
    COLORREF color;
    if (GetColor(color))
        dc.FillSolidRect(frame, color);
}

} // namespace My
