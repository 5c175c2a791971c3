#include "widgets/scrolling/ScrollBar.h"

#include "widgets/core/Event.h"

namespace My {

ScrollBar::ScrollBar(DWORD orientation)
{
    m_info.cbSize = 0;
    SetCreationStyle(WS_CHILD | WS_VISIBLE | orientation);
}

void ScrollBar::SetScrollInfo(const SCROLLINFO& info)
{
    m_info = info;
    if (GetSafeHwnd())
        CWnd::SetScrollInfo(SB_CTL, info, TRUE);
}

void ScrollBar::BoundsChanged()
{
    WindowBoundsEvent e(false);
    Window<CScrollBar>::OnEvent(e);
    PlaceWindow();
}

void ScrollBar::OnShow(bool visible)
{
    SetWindowShown(visible);
}

void ScrollBar::OnWindowCreate()
{
    SetCreationStyle(GetCreationStyle() | WS_DISABLED);
    Window<CScrollBar>::OnWindowCreate();
    if (GetSafeHwnd())
        CWnd::SetScrollInfo(SB_CTL, m_info, TRUE);
}

LRESULT ScrollBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == WM_HSCROLL || message == WM_VSCROLL) && lParam == 0) {
        // The full position of a drag is the track position; the message
        // holds only 16 bits of it.
        SCROLLINFO si;
        CWnd::GetScrollInfo(SB_CTL, &si);
        const UINT code = LOWORD(wParam);
        const bool thumb = code == SB_THUMBTRACK || code == SB_THUMBPOSITION;
        const auto pos = std::uint32_t(thumb ? si.nTrackPos : int(HIWORD(wParam)));
        if (message == WM_HSCROLL) {
            HorzScrollEvent e(this, code, pos);
            Send(e);
        } else {
            VertScrollEvent e(this, code, pos);
            Send(e);
        }
        return 0;
    }
    return Window<CScrollBar>::WindowProc(message, wParam, lParam);
}

} // namespace My
