#include "widgets/layout/LabelledWidget.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "widgets/core/ClientDC.h"
#include "widgets/core/Drawing.h"

namespace My {

namespace {

// The rectangle cut to the area.
CRect cut(const CRect& r, const CRect& area)
{
    return CRect(std::max(r.left, area.left), std::max(r.top, area.top), std::min(r.right, area.right),
        std::min(r.bottom, area.bottom));
}

void adopt(Container& self, Widget*& slot, Widget* control)
{
    if (slot == control)
        return;
    if (slot)
        self.RemoveChild(slot);
    slot = control;
    if (control)
        self.AddChild(control);
}

} // namespace

CSize MeasureLabel(const Control& control, const std::string& text)
{
    if (text.empty())
        return CSize();
    ClientDC dc(&control);
    CFont* old = const_cast<Control&>(control).SelectFont(dc);
    CRect r;
    dc.DrawText(text, &r, DT_CALCRECT | DT_SINGLELINE);
    if (old)
        dc.SelectObject(old);
    return r.Size();
}

void DrawLabel(CDC& dc, const Control& control, const std::string& text, const CRect& r)
{
    if (text.empty())
        return;
    const int mode = dc.SetBkMode(TRANSPARENT);
    const COLORREF color
        = dc.SetTextColor(GetSysColor(is_enabled_in_tree(&control) ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW));
    CRect box = r;
    dc.DrawText(text, &box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    dc.SetTextColor(color);
    dc.SetBkMode(mode);
}

LabelledWidget::LabelledWidget(Widget* control, const std::string& label, int side)
    : m_control(nullptr)
    , m_label(label)
    , m_side(side)
{
    adopt(*this, m_control, control);
}

void LabelledWidget::SetControl(Widget* control)
{
    adopt(*this, m_control, control);
    Layout();
}

void LabelledWidget::SetLabel(const std::string& label)
{
    if (label == m_label)
        return;
    m_label = label;
    Layout();
}

void LabelledWidget::SetSpacing(int spacing)
{
    if (spacing == m_spacing)
        return;
    m_spacing = spacing;
    Layout();
}

void LabelledWidget::SetAlignment(unsigned code)
{
    if (code == m_alignment)
        return;
    m_alignment = code;
    Layout();
}

CSize LabelledWidget::GetPreferredSize() const
{
    const CSize l = MeasureLabel(*this, m_label);
    const CSize c = m_control ? m_control->GetPreferredSize() : CSize();
    const int spacing = m_control && !m_label.empty() ? m_spacing : 0;
    return CSize(c.cx + l.cx + spacing, std::max(c.cy, l.cy));
}

void LabelledWidget::Layout()
{
    const CRect area(CPoint(), GetSize());
    const CSize label = MeasureLabel(*this, m_label);
    const CRect block = cut(align_rect(CRect(CPoint(), GetPreferredSize()), area, m_alignment), area);
    const CSize pc = m_control ? m_control->GetPreferredSize() : CSize();
    const CSize c(std::min(pc.cx, block.Width()), std::min(pc.cy, block.Height()));
    const int spacing = m_control && !m_label.empty() ? m_spacing : 0;
    const CSize l(
        std::max(0, std::min(label.cx, block.Width() - c.cx - spacing)), std::min(label.cy, block.Height()));
    const unsigned label_code = m_side == 0 ? 0x31 : 0x32;
    const unsigned control_code = m_side == 0 ? 0x32 : 0x31;
    m_labelRect = align_rect(CRect(CPoint(), l), block, label_code);
    if (m_control)
        m_control->SetBounds(align_rect(CRect(CPoint(), c), block, control_code));
    Invalidate(area);
}

void LabelledWidget::Draw(CDC& dc, const CRect&)
{
    DrawLabel(dc, *this, m_label, m_labelRect);
}

DoublyLabelledWidget::DoublyLabelledWidget(Widget* control)
    : m_control(nullptr)
{
    adopt(*this, m_control, control);
}

void DoublyLabelledWidget::SetControl(Widget* control)
{
    adopt(*this, m_control, control);
    Layout();
}

void DoublyLabelledWidget::SetLabel(int index, const std::string& label)
{
    std::string& slot = m_label[index & 1];
    if (label == slot)
        return;
    slot = label;
    Layout();
}

void DoublyLabelledWidget::SetAlignment(unsigned code)
{
    if (code == m_alignment)
        return;
    m_alignment = code;
    Layout();
}

CSize DoublyLabelledWidget::GetPreferredSize() const
{
    const CSize l0 = MeasureLabel(*this, m_label[0]), l1 = MeasureLabel(*this, m_label[1]);
    const CSize c = m_control ? m_control->GetPreferredSize() : CSize();
    int spacing = 0;
    if (m_control)
        spacing = (m_label[0].empty() ? 0 : 4) + (m_label[1].empty() ? 0 : 4);
    return CSize(c.cx + l0.cx + l1.cx + spacing, std::max({ c.cy, l0.cy, l1.cy }));
}

void DoublyLabelledWidget::Layout()
{
    const CRect area(CPoint(), GetSize());
    const CRect block = cut(align_rect(CRect(CPoint(), GetPreferredSize()), area, m_alignment), area);
    m_labelRect[0] = cut(align_rect(CRect(CPoint(), MeasureLabel(*this, m_label[0])), block, 0x31), block);
    m_labelRect[1] = cut(align_rect(CRect(CPoint(), MeasureLabel(*this, m_label[1])), block, 0x32), block);
    if (m_control) {
        CRect r = align_rect(CRect(CPoint(), m_control->GetPreferredSize()), block, 0x33);
        // Centred; but a control that would cover a label (labels of unequal
        // widths) moves beside it, at the spacing its size counted.
        if (!m_label[0].empty() && r.left < m_labelRect[0].right + 4)
            r.OffsetRect(m_labelRect[0].right + 4 - r.left, 0);
        else if (!m_label[1].empty() && r.right > m_labelRect[1].left)
            r.OffsetRect(m_labelRect[1].left - 4 - r.right, 0);
        m_control->SetBounds(cut(r, block));
    }
    Invalidate(area);
}

void DoublyLabelledWidget::Draw(CDC& dc, const CRect&)
{
    DrawLabel(dc, *this, m_label[0], m_labelRect[0]);
    DrawLabel(dc, *this, m_label[1], m_labelRect[1]);
}

void StringContainer::AddControl(Widget* control)
{
    m_slots.push_back(nullptr);
    adopt(*this, m_slots.back(), control);
    Layout();
}

void StringContainer::SetControl(std::size_t index, Widget* control)
{
    if (index >= m_slots.size() || m_slots[index] == control)
        return;
    adopt(*this, m_slots[index], control);
    Layout();
}

void StringContainer::SetAlignment(unsigned code)
{
    if (code == m_alignment)
        return;
    m_alignment = code;
    Layout();
}

void StringContainer::SetGap(int gap)
{
    if (gap == m_gap)
        return;
    m_gap = gap;
    Layout();
}

bool StringContainer::HasEmptySlot() const
{
    return std::find(m_slots.begin(), m_slots.end(), nullptr) != m_slots.end();
}

CSize StringContainer::GetPreferredSize() const
{
    if (HasEmptySlot())
        return CSize();
    int width = m_gap * int(m_slots.size()) + 2 * left_margin, height = 0;
    for (const Widget* w : m_slots) {
        const CSize s = w->GetPreferredSize();
        width += s.cx;
        height = std::max(height, s.cy);
    }
    return CSize(width, height + 2 * top_margin);
}

void StringContainer::Layout()
{
    if (HasEmptySlot())
        return;
    const CRect area(CPoint(), GetSize());
    const CRect block = align_rect(CRect(CPoint(), GetPreferredSize()), area, m_alignment);
    int x = block.left + left_margin;
    for (Widget* w : m_slots) {
        const CSize s = w->GetPreferredSize();
        CRect r(x, block.top + top_margin, x + s.cx, block.top + top_margin + s.cy);
        r = cut(align_rect(r, block, m_alignment & 0xF0), block);
        w->SetBounds(r);
        x += s.cx + m_gap;
    }
}

} // namespace My
