#include "app/view/ZoomTool.h"

#include "app/view/SequenceView.h"
#include "platform/gui/cursor.h"
#include "platform/gui/dc.h"
#include "platform/gui/messages.h"

#include <algorithm>
#include <cstdlib>

namespace My {

namespace {
constexpr int click_size = 5;
} // namespace

ZoomTool::ZoomTool(SequenceView& view)
    : m_view(view)
{
}

CRect ZoomTool::GetRubberBand() const
{
    if (m_mode != 1)
        return {};
    CRect r(m_start.x, m_start.y, m_end.x, m_end.y);
    r.NormalizeRect();
    return r;
}

void ZoomTool::InvalidateBand()
{
    CRect r = GetRubberBand();
    if (r.IsRectEmpty() && m_mode != 1)
        return;
    r.InflateRect(2, 2);
    if (m_view.GetSafeHwnd())
        m_view.InvalidateRect(&r, FALSE);
}

void ZoomTool::Deactivate()
{
    if (m_mode != 0) {
        InvalidateBand();
        m_mode = 0;
        if (CWnd::GetCapture() == &m_view)
            ReleaseCapture();
    }
}

void ZoomTool::KeyDown(UINT key, bool)
{
    if (key == VK_MULTIPLY)
        m_view.FitOnScreen();
    else if (key == VK_ADD)
        m_view.ZoomBy(2.0);
    else if (key == VK_SUBTRACT)
        m_view.ZoomBy(0.5);
}

void ZoomTool::LeftDown(UINT, CPoint p)
{
    m_mode = 1;
    m_view.SetFocus();
    m_start = m_end = p;
    m_view.SetCapture();
    m_view.RefreshCursor();
}

void ZoomTool::MouseMove(UINT, CPoint p)
{
    if (m_mode != 1)
        return;
    InvalidateBand();
    m_end = p;
    InvalidateBand();
}

void ZoomTool::LeftUp(UINT, CPoint p)
{
    if (m_mode != 1)
        return;
    InvalidateBand();
    m_end = p;
    const CRect band = GetRubberBand();
    m_mode = 0;
    if (CWnd::GetCapture() == &m_view)
        ReleaseCapture();
    if (band.Width() < click_size && band.Height() < click_size) {
        m_view.ZoomBy(2.0, p);
    } else {
        const ViewGeometry& g = m_view.GetGeometry();
        const CSize client = g.GetClientSize();
        const double fx = static_cast<double>(client.cx - 2) / std::max(band.Width(), 1);
        const double fy = static_cast<double>(client.cy - 2) / std::max(band.Height(), 1);
        // The band's centre in the image, then at the client's centre.
        const ImagePoint centre
            = g.ClientToImage(CPoint((band.left + band.right) / 2, (band.top + band.bottom) / 2));
        const double z = g.GetZoom() * std::min(fx, fy);
        m_view.SetZoom(z);
        const ViewGeometry& after = m_view.GetGeometry();
        const CPoint at = after.ImageToClient(centre);
        const CPoint mid = after.GetClientCentre();
        m_view.ScrollTo(after.GetScroll().x + at.x - mid.x, after.GetScroll().y + at.y - mid.y, true);
    }
    m_view.RefreshCursor();
}

void ZoomTool::RightDown(UINT, CPoint)
{
    m_mode = 2;
    m_view.SetFocus();
    m_view.RefreshCursor();
}

void ZoomTool::RightUp(UINT, CPoint p)
{
    if (m_mode != 2)
        return;
    m_view.ZoomBy(0.5, p);
    m_mode = 0;
    m_view.RefreshCursor();
}

bool ZoomTool::SetCursor(UINT)
{
    const ViewGeometry& g = m_view.GetGeometry();
    int id = IDC_CROSS;
    if (m_mode == 1 && g.GetZoom() >= g.GetMaxZoom())
        id = IDC_NO;
    else if (m_mode == 2 && g.GetZoom() <= g.GetMinZoom())
        id = IDC_NO;
    ::SetCursor(LoadCursor(id));
    return true;
}

void ZoomTool::RedrawOverlay(CDC& dc)
{
    const CRect band = GetRubberBand();
    if (band.IsRectEmpty())
        return;
    CBrush black;
    black.CreateSolidBrush(RGB(0, 0, 0));
    dc.FrameRect(&band, &black);
    CRect inner = band;
    inner.DeflateRect(1, 1);
    if (!inner.IsRectEmpty()) {
        CBrush white;
        white.CreateSolidBrush(RGB(255, 255, 255));
        dc.FrameRect(&inner, &white);
    }
}

} // namespace My
