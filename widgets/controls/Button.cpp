#include "widgets/controls/Button.h"

#include <chrono>
#include <thread>

namespace My {

void Button::Click() { }

void Button::OnLeftDown(UINT flags, const CPoint& point)
{
    if (is_enabled_in_tree(this)) {
        m_pushed = true;
        SetCapture();
        UpdateState();
    }
    Control::OnLeftDown(flags, point);
}

void Button::OnMouseMove(UINT flags, const CPoint& point)
{
    if (is_enabled_in_tree(this)) {
        const bool inside = CRect(CPoint(), GetSize()).PtInRect(point);
        if (inside != m_inside) {
            m_inside = inside;
            UpdateState();
        }
    }
    Control::OnMouseMove(flags, point);
}

void Button::OnLeftUp(UINT flags, const CPoint& point)
{
    if (is_enabled_in_tree(this)) {
        // The press is over before the click: a click may run a modal loop,
        // which must find neither the capture held nor the button pushed.
        const bool click = m_pushed && m_inside;
        m_pushed = false;
        ReleaseCapture();
        UpdateState();
        if (click)
            Click();
    }
    Control::OnLeftUp(flags, point);
}

void Button::OnLeftDoubleClick(UINT flags, const CPoint& point)
{
    OnLeftDown(flags, point);
    Update();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    OnLeftUp(flags, point);
}

void Button::UpdateState()
{
    int state = Normal;
    if (!is_enabled_in_tree(this)) {
        if (HasCapture())
            ReleaseCapture();
    } else if (m_inside) {
        state = m_pushed ? Pushed : Hot;
    }
    if (state != m_state) {
        m_state = state;
        Invalidate(CRect(CPoint(), GetSize()));
    }
}

} // namespace My
