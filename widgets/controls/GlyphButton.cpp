#include "widgets/controls/GlyphButton.h"

#include "platform/gui/colors.h"

namespace My {

GlyphButton::GlyphButton(const std::string& glyph, const std::string& mask)
{
    m_glyph.Load(glyph, mask);
    m_grayed.Load(glyph, mask);
}

CSize GlyphButton::GetPreferredSize() const
{
    return m_glyph.GetSize();
}

void GlyphButton::Draw(CDC& dc, const CRect&)
{
    const CRect area(CPoint(), GetSize());
    const bool enabled = is_enabled_in_tree(this);
    const bool pushed = enabled && GetState() == Pushed;
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    dc.FillSolidRect(area, GetSysColor(COLOR_BTNFACE));
    if (pushed)
        dc.Draw3dRect(area, shadow, highlight);
    else
        dc.Draw3dRect(area, highlight, shadow);
    if (enabled) {
        CRect frame = area;
        if (pushed)
            frame.OffsetRect(1, 1);
        m_glyph.DrawIn(dc, frame, 0x33);
    } else {
        m_grayed.DrawIn(dc, area, 0x33);
    }
}

} // namespace My
