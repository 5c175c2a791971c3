#include "widgets/controls/CheckBox.h"

#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"

namespace My {

CheckBox::CheckBox(const std::string& check, const std::string& check_mask, const std::string& unchecked,
    const std::string& unchecked_mask)
{
    m_check.Load(check, check_mask);
    if (!unchecked.empty())
        m_unchecked.Load(unchecked, unchecked_mask);
    m_grayed.Load(check, check_mask);
}

CSize CheckBox::GetPreferredSize() const
{
    return CSize(m_check.GetWidth() + 2, m_check.GetHeight() + 2);
}

void CheckBox::Draw(CDC& dc, const CRect&)
{
    const CRect area(CPoint(), GetSize());
    const CRect frame = align_rect(CRect(0, 0, m_check.GetWidth() + 2, m_check.GetHeight() + 2), area, 0x31);
    if (frame.left < area.left || frame.top < area.top || frame.right > area.right
        || frame.bottom > area.bottom)
        return;
    dc.Draw3dRect(frame, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    CRect inside = frame;
    inside.DeflateRect(1, 1);
    const int check = GetCheck();
    if (is_enabled_in_tree(this)) {
        if (check == 1)
            m_check.DrawIn(dc, inside, 0x33);
        else if (check == 2)
            m_grayed.DrawIn(dc, inside, 0x33);
        else if (check == 0 && m_unchecked.IsLoaded())
            m_unchecked.DrawIn(dc, inside, 0x33);
    } else if (check == 1 || check == 2) {
        m_grayed.DrawIn(dc, inside, 0x33);
    }
}

} // namespace My
