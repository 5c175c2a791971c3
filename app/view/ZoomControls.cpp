#include "app/view/ZoomControls.h"

#include "app/view/SequenceView.h"
#include "app/view/ZoomMath.h"
#include "platform/gui/colors.h"
#include "platform/gui/cursor.h"
#include "platform/gui/menu.h"
#include "widgets/core/Strings.h"

#include <chrono>
#include <thread>

namespace My {

namespace {

std::string Text(std::uint32_t id, const char* fallback)
{
    const std::string s = LoadString(id);
    return s.empty() ? fallback : s;
}

} // namespace

ZoomSlider::ZoomSlider()
{
    SetEnabled(false);
}

void ZoomSlider::SetView(SequenceView* view)
{
    m_view = view;
    SetEnabled(view != nullptr);
    Invalidate(CRect(CPoint(), GetSize()));
}

double ZoomSlider::GetValue() const
{
    return m_view ? ZoomMath::SliderValue(m_view->GetGeometry().GetZoom()) : 0.0;
}

void ZoomSlider::SetValue(double value)
{
    if (m_view)
        m_view->ZoomAt(ZoomMath::SliderZoom(value));
}

std::string ZoomSlider::GetToolTipText() const
{
    return Text(56002, "Zoom");
}

ZoomIn::ZoomIn()
    : GlyphButton("ZoomIn", "ZoomInMask")
{
    SetEnabled(false);
}

void ZoomIn::SetView(SequenceView* view)
{
    m_view = view;
    SetEnabled(view != nullptr);
}

void ZoomIn::Click()
{
    if (m_view)
        m_view->ZoomBy(2.0);
}

std::string ZoomIn::GetToolTipText() const
{
    return Text(56003, "Zoom In");
}

ZoomOut::ZoomOut()
    : GlyphButton("ZoomOut", "ZoomOutMask")
{
    SetEnabled(false);
}

void ZoomOut::SetView(SequenceView* view)
{
    m_view = view;
    SetEnabled(view != nullptr);
}

void ZoomOut::Click()
{
    if (m_view)
        m_view->ZoomBy(0.5);
}

std::string ZoomOut::GetToolTipText() const
{
    return Text(56004, "Zoom Out");
}

ZoomTextEdit::ZoomTextEdit()
{
    SetEnabled(false);
}

void ZoomTextEdit::SetView(SequenceView* view)
{
    m_view = view;
    SetEnabled(view != nullptr);
    Invalidate(CRect(CPoint(), GetSize()));
}

bool ZoomTextEdit::GetText(std::string& out) const
{
    if (!m_view)
        return false;
    out = ZoomMath::FormatPercent(m_view->GetGeometry().GetZoom());
    return true;
}

void ZoomTextEdit::SetText(const std::string& text)
{
    if (!m_view)
        return;
    if (const auto zoom = ZoomMath::ParsePercent(text))
        m_view->SetZoom(*zoom);
    // Accepted or not, the field shows the view's zoom again.
    Invalidate(CRect(CPoint(), GetSize()));
}

ZoomEdit::ZoomEdit()
{
    m_button.Load("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK");
}

void ZoomEdit::ComputeButton()
{
    const CSize size = GetSize();
    m_buttonRect = CRect(size.cx - (m_button.GetWidth() + 8), 0, size.cx, size.cy);
}

CSize ZoomEdit::GetPreferredSize() const
{
    CSize s = ZoomTextEdit::GetPreferredSize();
    s.cx += m_button.GetWidth() + 8;
    return s;
}

void ZoomEdit::Layout()
{
    ComputeButton();
    ZoomTextEdit::Layout();
}

void ZoomEdit::Draw(CDC& dc, const CRect& clip)
{
    ComputeButton();
    {
        // The text part leaves the button's column alone.
        CRgn saved;
        const bool clipped = dc.GetClipRgn(&saved) == 1;
        dc.IntersectClipRect(0, 0, m_buttonRect.left, GetSize().cy);
        ZoomTextEdit::Draw(dc, clip);
        dc.SelectClipRgn(clipped ? &saved : nullptr);
    }
    dc.FillSolidRect(m_buttonRect, GetSysColor(COLOR_BTNFACE));
    if (is_enabled_in_tree(this))
        m_button.DrawIn(dc, m_buttonRect, m_pressed ? 0x44 : 0x33);
}

void ZoomEdit::Choose(int id)
{
    SequenceView* view = GetView();
    if (!view)
        return;
    if (id == ZoomMath::fit_on_screen_id)
        view->FitOnScreen();
    else if (const double z = ZoomMath::MenuZoom(id); z > 0)
        view->ZoomAt(z);
    Invalidate(CRect(CPoint(), GetSize()));
}

void ZoomEdit::ShowMenu()
{
    SequenceView* view = GetView();
    if (!view)
        return;
    CMenu menu;
    menu.CreatePopupMenu();
    const double zoom = view->GetGeometry().GetZoom();
    for (int id = 1; id <= ZoomMath::menu_steps; ++id)
        menu.AppendMenu(
            MF_STRING | (ZoomMath::MenuZoom(id) == zoom ? MF_CHECKED : 0), UINT(id), ZoomMath::MenuText(id));
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(
        MF_STRING, UINT(ZoomMath::fit_on_screen_id), ZoomMath::MenuText(ZoomMath::fit_on_screen_id));
    const CPoint at = ClientToScreen(CPoint(m_buttonRect.right, m_buttonRect.bottom));
    const int chosen
        = menu.TrackPopupMenu(TPM_RIGHTALIGN | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, GetWnd());
    menu.DestroyMenu();
    Choose(chosen);
}

void ZoomEdit::OnLeftDown(UINT flags, const CPoint& point)
{
    ComputeButton();
    if (!m_buttonRect.PtInRect(point)) {
        ZoomTextEdit::OnLeftDown(flags, point);
        return;
    }
    if (!is_enabled_in_tree(this) || !GetView())
        return;
    // The button shows pressed for a moment, then the menu opens.
    m_pressed = true;
    Invalidate(m_buttonRect);
    Update();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_pressed = false;
    Invalidate(m_buttonRect);
    ReleaseCapture();
    ShowMenu();
}

bool ZoomEdit::OnCursor(UINT flags, const CPoint& point)
{
    ComputeButton();
    if (m_buttonRect.PtInRect(point)) {
        ::SetCursor(LoadCursor(is_enabled_in_tree(this) ? IDC_HAND : IDC_ARROW));
        return true;
    }
    return ZoomTextEdit::OnCursor(flags, point);
}

} // namespace My
