#include "app/view/DisplayBar.h"

#include "app/view/SequenceView.h"
#include "platform/gui/colors.h"
#include "widgets/containers/PanelBar.h"
#include "widgets/core/Drawing.h"

#include <algorithm>

namespace My {

BackgroundColorBox::BackgroundColorBox()
{
    SetEnabled(false);
}

BackgroundColorBox::~BackgroundColorBox()
{
    if (m_target)
        m_target->GetBackgroundDispatcher().RemoveListener(this);
}

void BackgroundColorBox::SetTarget(SequenceView* view)
{
    if (view == m_target)
        return;
    if (m_target)
        m_target->GetBackgroundDispatcher().RemoveListener(this);
    m_target = view;
    if (m_target)
        m_target->GetBackgroundDispatcher().AddListener(this);
    SetEnabled(view != nullptr);
    Invalidate(CRect(CPoint(), GetSize()));
}

void BackgroundColorBox::OnEvent(Event& event)
{
    if (dynamic_cast<SequenceView::BackgroundChange*>(&event)) {
        Invalidate(CRect(CPoint(), GetSize()));
        return;
    }
    ColorBox::OnEvent(event);
}

bool BackgroundColorBox::GetColor(COLORREF& color) const
{
    if (!m_target)
        return false;
    color = m_target->GetBackgroundColor();
    return true;
}

void BackgroundColorBox::SetColor(COLORREF color)
{
    if (!m_target)
        return;
    m_target->SetBackgroundColor(color);
    Invalidate(CRect(CPoint(), GetSize()));
}

DisplayPanel::DisplayPanel(Container* host)
{
    if (host)
        host->AddChild(this);
    AddChild(&m_zoomEdit);
    AddChild(&m_zoomOut);
    AddChild(&m_zoomSlider);
    AddChild(&m_zoomIn);
    AddChild(&m_colorBox);
    m_colorBox.SetAlignment(0x33);
}

DisplayPanel::~DisplayPanel() = default;

void DisplayPanel::SetView(SequenceView* view)
{
    m_view = view;
    m_zoomEdit.SetView(view);
    m_zoomOut.SetView(view);
    m_zoomSlider.SetView(view);
    m_zoomIn.SetView(view);
    m_colorBox.SetTarget(view);
}

void DisplayPanel::AddControl(Widget* control)
{
    m_more.push_back(control);
    AddChild(control);
    Layout();
}

CSize DisplayPanel::GetPreferredSize() const
{
    CDC screen;
    screen.CreateCompatibleDC(nullptr);
    if (CFont* font = GetFont())
        screen.SelectObject(font);
    return CSize(125, screen.GetTextExtent("A").cy + 4);
}

void DisplayPanel::Layout()
{
    const CSize size = GetSize();
    const int h = size.cy;
    // The field is laid out a pixel larger on each side, then shrunk back:
    // its own frame then lines up with the strip's.
    CRect field(-1, -1, 76, h + 1);
    m_zoomEdit.SetBounds(field);
    field.DeflateRect(1, 1);
    m_zoomEdit.SetBounds(field);
    int x = 75;
    m_zoomOut.SetBounds(CRect(x, 0, x + 25, h));
    x += 25;
    const int slider = std::clamp(int(size.cx), 150, 175) - 125;
    m_zoomSlider.SetBounds(CRect(x, 0, x + slider, h));
    x += slider;
    m_zoomIn.SetBounds(CRect(x, 0, x + 25, h));
    x += 25;
    m_colorBox.SetBounds(CRect(x, 0, x + h, h));
    x += h;
    for (Widget* control : m_more) {
        if (!control->IsVisible())
            continue;
        const int w = control->GetPreferredSize().cx;
        control->SetBounds(CRect(x, 0, x + w, h));
        x += w;
    }
}

void DisplayPanel::Draw(CDC& dc, const CRect&)
{
    const CRect r(CPoint(), GetSize());
    dc.FillSolidRect(r, GetSysColor(COLOR_BTNFACE));
    dc.Draw3dRect(r, RGB(255, 255, 255), GetSysColor(COLOR_BTNSHADOW));
}

CRect DisplayPanel::Place(const PanelFrame& frame, bool has_view, int height)
{
    if (!has_view)
        return CRect();
    CRect area = usable_bar_area(frame);
    if (frame.IsRightBarVisible())
        area.right -= frame.GetRightBarSize() + PanelFrame::splitter_size;
    if (frame.IsBottomBarVisible())
        area.bottom -= frame.GetBottomBarSize() + PanelFrame::splitter_size;
    const int bottom = area.bottom - 5;
    return CRect(area.left, bottom - height, area.right, bottom);
}

} // namespace My
