#include "app/view/PanTool.h"

#include "app/view/SequenceView.h"
#include "platform/gui/cursor.h"

namespace My {

PanTool::PanTool(SequenceView& view)
    : m_view(view)
{
}

void PanTool::Deactivate()
{
    m_dragging = false;
}

void PanTool::KeyDown(UINT key, bool)
{
    const CPoint s = m_view.GetGeometry().GetScroll();
    const CSize client = m_view.GetGeometry().GetClientSize();
    const CSize bench = m_view.GetGeometry().GetWorkbenchSize();
    switch (key) {
    case VK_PRIOR:
        m_view.ScrollTo(s.x, s.y - client.cy, false);
        break;
    case VK_NEXT:
        m_view.ScrollTo(s.x, s.y + client.cy, false);
        break;
    case VK_LEFT:
        m_view.ScrollTo(s.x - 5, s.y, false);
        break;
    case VK_RIGHT:
        m_view.ScrollTo(s.x + 5, s.y, false);
        break;
    case VK_UP:
        m_view.ScrollTo(s.x, s.y - 5, false);
        break;
    case VK_DOWN:
        m_view.ScrollTo(s.x, s.y + 5, false);
        break;
    case VK_HOME:
        m_view.ScrollTo(0, s.y, false);
        break;
    case VK_END:
        m_view.ScrollTo(bench.cx - client.cx, s.y, false);
        break;
    default:
        break;
    }
}

void PanTool::LeftDown(UINT, CPoint p)
{
    m_startPoint = p;
    m_startScroll = m_view.GetGeometry().GetScroll();
    m_dragging = true;
    m_view.SetCapture();
    m_view.SetFocus();
    m_view.RefreshCursor();
}

void PanTool::LeftUp(UINT, CPoint)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    if (CWnd::GetCapture() == &m_view)
        ReleaseCapture();
    m_view.RefreshCursor();
}

void PanTool::MouseMove(UINT, CPoint p)
{
    if (m_dragging)
        m_view.ScrollTo(
            m_startScroll.x + m_startPoint.x - p.x, m_startScroll.y + m_startPoint.y - p.y, false);
}

void PanTool::MouseLeave()
{
    if (m_dragging && CWnd::GetCapture() != &m_view)
        m_dragging = false;
}

bool PanTool::SetCursor(UINT hit)
{
    if (hit > 1)
        return false;
    ::SetCursor(LoadCursor(m_dragging ? IDC_SIZEALL : IDC_HAND));
    return true;
}

} // namespace My
