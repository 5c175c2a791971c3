#include "widgets/containers/PanelBar.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"

namespace My {

CRect usable_bar_area(const PanelFrame& frame)
{
    CRect r = frame.GetBarArea();
    if (frame.IsStatusBarVisible())
        r.bottom -= PanelFrame::status_bar_height;
    return r;
}

Panel::Panel(std::string title, int alignment)
    : m_title(std::move(title))
    , m_alignment(alignment)
{
}

Panel::~Panel()
{
    if (m_bar) {
        auto& panels = m_bar->m_panels;
        panels.erase(std::remove(panels.begin(), panels.end(), this), panels.end());
        for (std::size_t i = 0; i < panels.size(); ++i)
            panels[i]->m_barIndex = int(i);
    }
}

CSize Panel::GetContentSize() const
{
    return CSize();
}

void Panel::SetTitle(const std::string& title)
{
    if (title == m_title)
        return;
    m_title = title;
    Invalidate(CRect(CPoint(), GetSize()));
    if (m_bar)
        m_bar->RequestLayout();
}

void Panel::SetAlignment(int code)
{
    if (code == m_alignment)
        return;
    m_alignment = code;
    if (m_bar)
        m_bar->Layout();
}

int Panel::GetCaptionHeight() const
{
    CDC screen;
    screen.CreateCompatibleDC(nullptr);
    if (CFont* font = GetFont())
        screen.SelectObject(font);
    return screen.GetTextExtent("A").cy + 2;
}

int Panel::GetTitleWidth() const
{
    if (m_title.empty())
        return 0;
    CDC screen;
    screen.CreateCompatibleDC(nullptr);
    if (CFont* font = GetFont())
        screen.SelectObject(font);
    CRect r;
    screen.DrawText(m_title, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return r.Width() + 2 * title_inset;
}

CSize Panel::GetNeededSize() const
{
    CSize size = GetContentSize();
    // A narrow content (the tool bar's one column of buttons) would cut
    // the title down to its ellipsis.
    size.cx = std::max<decltype(size.cx)>(size.cx, GetTitleWidth());
    size.cy += GetCaptionHeight();
    return size;
}

void Panel::Draw(CDC& dc, const CRect&)
{
    const CRect r(CPoint(), GetSize());
    dc.FillSolidRect(r, GetSysColor(COLOR_BTNFACE));
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const CRect band(0, 0, r.right, GetCaptionHeight());
    dc.FillSolidRect(band, mix_colors(shadow, mix_colors(shadow, RGB(0, 0, 0))));
    DCObjectScope scope(dc);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 255));
    CRect text = band;
    text.DeflateRect(title_inset, 0);
    dc.DrawText(m_title, &text, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

WidgetPanel::WidgetPanel(Widget* widget, int border, std::string title)
    : Panel(std::move(title))
    , m_widget(nullptr)
    , m_border(border)
{
    SetWidget(widget);
}

WidgetPanel::~WidgetPanel()
{
    SetWidget(nullptr);
}

void WidgetPanel::SetWidget(Widget* widget)
{
    if (widget == m_widget)
        return;
    if (m_widget)
        RemoveChild(m_widget);
    m_widget = widget;
    if (m_widget) {
        AddChild(m_widget);
        Layout();
    }
}

CSize WidgetPanel::GetContentSize() const
{
    const CSize preferred = m_widget ? m_widget->GetPreferredSize() : CSize();
    return CSize(preferred.cx + 2 * m_border, preferred.cy + 2 * m_border);
}

void WidgetPanel::Layout()
{
    if (!m_widget)
        return;
    const CSize size = GetSize();
    const int top = GetCaptionHeight() + m_border;
    m_widget->SetBounds(
        CRect(m_border, top, std::max(m_border, size.cx - m_border), std::max(top, size.cy - m_border)));
}

PanelBar::PanelBar(PanelFrame& frame)
    : m_frame(frame)
{
}

PanelBar::~PanelBar()
{
    for (Panel* panel : m_panels) {
        RemoveChild(panel);
        panel->m_bar = nullptr;
        panel->m_barIndex = -1;
    }
    m_panels.clear();
}

void PanelBar::RequestLayout()
{
    m_frame.RecalcLayout();
}

void PanelBar::AddPanel(Panel* panel)
{
    if (panel->m_bar == this)
        return;
    AddChild(panel);
    panel->m_bar = this;
    panel->m_barIndex = int(m_panels.size());
    m_panels.push_back(panel);
    RequestLayout();
}

CSize PanelBar::GetNeededSize() const
{
    int width = 0, height = 0, added_width = 0, added_height = 0;
    for (const Panel* panel : m_panels) {
        if (!panel->Widget::IsVisible())
            continue;
        const CSize need = panel->GetNeededSize();
        switch (panel->GetAlignment()) {
        case 1:
        case 2:
            width += need.cx;
            added_width += need.cx;
            height = std::max(height, need.cy);
            break;
        case 3:
        case 4:
            height += need.cy;
            added_height += need.cy;
            width = std::max(width, need.cx);
            break;
        default:
            width = std::max(width, need.cx + added_width);
            height = std::max(height, need.cy + added_height);
            break;
        }
    }
    return CSize(width, height);
}

CSize PanelBar::GetRequiredSize() const
{
    return GetNeededSize();
}

void PanelBar::Place()
{
    SetBounds(ComputeRect());
    Layout();
}

void PanelBar::Layout()
{
    CRect space(CPoint(), GetSize());
    for (Panel* panel : m_panels) {
        if (!panel->Widget::IsVisible())
            continue;
        if (space.IsRectEmpty()) {
            panel->SetBounds(CRect(space.TopLeft(), CSize()));
            continue;
        }
        const CSize need = panel->GetNeededSize();
        const int w = std::min<int>(need.cx, space.Width()), h = std::min<int>(need.cy, space.Height());
        CRect r = space;
        switch (panel->GetAlignment()) {
        case 1:
            r.right = r.left + w;
            space.left = r.right;
            break;
        case 2:
            r.left = r.right - w;
            space.right = r.left;
            break;
        case 3:
            r.bottom = r.top + h;
            space.top = r.bottom;
            break;
        case 4:
            r.top = r.bottom - h;
            space.bottom = r.top;
            break;
        default:
            space = CRect(space.BottomRight(), CSize());
            break;
        }
        panel->SetBounds(r);
    }
}

void PanelBar::Draw(CDC& dc, const CRect& clip)
{
    dc.FillSolidRect(clip, GetSysColor(COLOR_BTNFACE));
}

CSize ToolPanelBar::GetSize() const
{
    const CRect b = GetBounds();
    return CSize(std::max<int>(b.Width() - 1, 0), b.Height());
}

CSize ToolPanelBar::GetRequiredSize() const
{
    CSize need = GetNeededSize();
    need.cx += 1;
    return need;
}

CRect ToolPanelBar::ComputeRect() const
{
    const CRect area = usable_bar_area(m_frame);
    int bottom = area.bottom - PanelFrame::splitter_size;
    if (m_frame.IsBottomBarVisible())
        bottom -= m_frame.GetBottomBarSize();
    return CRect(area.left, area.top, area.left + GetRequiredSize().cx, bottom);
}

void ToolPanelBar::Draw(CDC& dc, const CRect& clip)
{
    PanelBar::Draw(dc, clip);
    const CRect b = GetBounds();
    dc.FillSolidRect(b.Width() - 1, 0, 1, b.Height(), GetSysColor(COLOR_BTNSHADOW));
}

bool RightPanelBar::IsVisible() const
{
    return m_frame.IsRightBarVisible();
}

CRect RightPanelBar::ComputeRect() const
{
    const CRect area = usable_bar_area(m_frame);
    int bottom = area.bottom - PanelFrame::splitter_size;
    if (m_frame.IsBottomBarVisible())
        bottom -= m_frame.GetBottomBarSize();
    return CRect(area.right - m_frame.GetRightBarSize(), area.top, area.right, bottom);
}

bool BottomPanelBar::IsVisible() const
{
    return m_frame.IsBottomBarVisible();
}

CRect BottomPanelBar::ComputeRect() const
{
    const CRect area = usable_bar_area(m_frame);
    return CRect(area.left, area.bottom - m_frame.GetBottomBarSize(), area.right, area.bottom);
}

} // namespace My
