#include "widgets/core/Widget.h"

#include "widgets/core/Container.h"

namespace My {

CSize Widget::GetPreferredSize() const
{
    return CSize();
}
void Widget::AdjustBounds(CRect&) { }
void Widget::OnSize(int, int) { }
void Widget::OnShow(bool) { }
void Widget::OnEnable(bool) { }

CFont* Widget::GetFont() const
{
    return m_font ? m_font : Control::GetFont();
}

void Widget::SetBounds(const CRect& r)
{
    CRect copy = r;
    AdjustBounds(copy);
    if (copy == m_bounds)
        return;
    const CRect old = m_bounds;
    if (Container* p = GetContainer())
        p->Invalidate(old);
    m_bounds = copy;
    BoundsChanged();
    if (old.Width() != copy.Width() || old.Height() != copy.Height())
        OnSize(copy.Width(), copy.Height());
}

void Widget::SetVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    OnShow(visible);
    if (Container* p = GetContainer())
        p->Invalidate(CRect(CPoint(), p->GetSize()));
}

void Widget::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    OnEnable(enabled);
    Invalidate(CRect(CPoint(), GetSize()));
}

void Widget::SetFont(CFont* font)
{
    if (font == m_font)
        return;
    m_font = font;
    Invalidate(CRect(CPoint(), GetSize()));
}

} // namespace My
