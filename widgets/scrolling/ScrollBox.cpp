#include "widgets/scrolling/ScrollBox.h"

#include "platform/gui/metrics.h"

namespace My {

namespace {

CSize bar_thickness()
{
    return CSize(GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
}

} // namespace

void ScrollBox::Axis::SetScrollable(bool scrollable)
{
    if (scrollable == m_axis.scrollable)
        return;
    m_axis.scrollable = scrollable;
    m_owner.UpdateScrollBars();
}

void ScrollBox::Axis::SetAlwaysShown(bool always)
{
    if (always == m_axis.always_shown)
        return;
    m_axis.always_shown = always;
    m_owner.UpdateScrollBars();
}

ScrollBox::ScrollBox()
{
    SetCreationStyle(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_HSCROLL | WS_VSCROLL);
}

void ScrollBox::SetAlignment(unsigned code)
{
    if (code == m_alignment)
        return;
    m_alignment = code;
    Refit();
}

void ScrollBox::SetContentSize(int width, int height)
{
    if (width == m_contentWidth && height == m_contentHeight)
        return;
    m_contentWidth = width;
    m_contentHeight = height;
    Refit();
}

void ScrollBox::Refit()
{
    const CPoint p = GetScrollPos();
    ScrollTo(p.x, p.y);
    UpdateScrollBars();
    Layout();
}

CSize ScrollBox::GetFullClientSize() const
{
    CRect client;
    if (GetSafeHwnd())
        GetClientRect(&client);
    CSize full = client.Size();
    const CSize bar = bar_thickness();
    SCROLLINFO si;
    GetScrollInfo(SB_HORZ, &si);
    if (m_horz.Get().always_shown || can_scroll(si))
        full.cy += bar.cy;
    GetScrollInfo(SB_VERT, &si);
    if (m_vert.Get().always_shown || can_scroll(si))
        full.cx += bar.cx;
    return full;
}

CSize ScrollBox::GetViewSize() const
{
    return ScrollViewSize(GetFullClientSize(), bar_thickness(), GetContentSize(), m_horz.Get(), m_vert.Get());
}

CSize ScrollBox::GetLayoutSize() const
{
    const CSize view = GetViewSize();
    return CSize(
        ScrollLayoutExtent(view.cx, m_contentWidth, ScrollAlignOf(m_alignment), m_horz.Get().scrollable),
        ScrollLayoutExtent(
            view.cy, m_contentHeight, ScrollAlignOf(m_alignment >> 4), m_vert.Get().scrollable));
}

void ScrollBox::ScrollTo(int x, int y)
{
    if (!GetSafeHwnd())
        return;
    const CSize view = GetViewSize();
    const CSize layout = GetLayoutSize();
    const CPoint p(ScrollClamp(x, view.cx, layout.cx, ScrollAlignOf(m_alignment)),
        ScrollClamp(y, view.cy, layout.cy, ScrollAlignOf(m_alignment >> 4)));
    if (m_placed && p == m_pos)
        return;
    m_pos = p;
    m_placed = true;
    Layout();
    UpdateScrollBars();
    Invalidate(FALSE);
}

void ScrollBox::UpdateScrollBars()
{
    if (!GetSafeHwnd() || m_updating)
        return;
    m_updating = true;
    struct reset {
        bool& flag;
        ~reset() { flag = false; }
    } r { m_updating };
    const CSize view = GetViewSize();
    const CSize layout = GetLayoutSize();
    const CPoint p = GetScrollPos();
    SetScrollInfo(SB_HORZ, ScrollBarInfo(layout.cx, view.cx, p.x, m_horz.Get().always_shown), TRUE);
    SetScrollInfo(SB_VERT, ScrollBarInfo(layout.cy, view.cy, p.y, m_vert.Get().always_shown), TRUE);
}

void ScrollBox::BoundsChanged()
{
    if (m_updating)
        return;
    CustomWindow<CWnd>::BoundsChanged();
    const CPoint p = GetScrollPos();
    ScrollTo(p.x, p.y);
    UpdateScrollBars();
}

void ScrollBox::OnWindowCreate()
{
    CustomWindow<CWnd>::OnWindowCreate();
    if (m_horz.Get().always_shown || m_vert.Get().always_shown)
        UpdateScrollBars();
}

void ScrollBox::OnScroll(bool horizontal, UINT code)
{
    CRect client;
    GetClientRect(&client);
    SCROLLINFO si;
    GetScrollInfo(horizontal ? SB_HORZ : SB_VERT, &si);
    const CPoint p = GetScrollPos();
    const CSize layout = GetLayoutSize();
    if (horizontal)
        ScrollTo(ScrollCodeTarget(code, p.x, line_step, client.Width(), layout.cx, si.nTrackPos), p.y);
    else
        ScrollTo(p.x, ScrollCodeTarget(code, p.y, line_step, client.Height(), layout.cy, si.nTrackPos));
}

LRESULT ScrollBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam == 0) {
            OnScroll(message == WM_HSCROLL, LOWORD(wParam));
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        if (m_vert.Get().scrollable) {
            // A notch is 120; finer wheels send parts of it.
            const int delta = static_cast<short>(HIWORD(wParam));
            const CPoint p = GetScrollPos();
            ScrollTo(p.x, p.y - delta * wheel_step / 120);
            return 0;
        }
        break;
    case WM_SIZE: {
        const LRESULT r = CustomWindow<CWnd>::WindowProc(message, wParam, lParam);
        if (!m_updating) {
            const CPoint p = GetScrollPos();
            ScrollTo(p.x, p.y);
            UpdateScrollBars();
        }
        return r;
    }
    default:
        break;
    }
    return CustomWindow<CWnd>::WindowProc(message, wParam, lParam);
}

} // namespace My
