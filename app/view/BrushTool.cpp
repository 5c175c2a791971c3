#include "app/view/BrushTool.h"

#include "app/view/MaskEditor.h"
#include "app/view/SequenceView.h"
#include "app/view/StampAlong.h"
#include "foundation/image/blit.h"
#include "platform/gui/cursor.h"
#include "platform/gui/dc.h"
#include "platform/gui/messages.h"

#include <algorithm>
#include <cmath>

namespace My {

namespace {

// The size step of the n-th press of a held key (n from 1).
int StepOf(int n)
{
    if (n <= 1)
        return 1;
    if (n <= 3)
        return 2;
    if (n <= 5)
        return 5;
    return 10;
}

} // namespace

WireTool::WireTool(SequenceView& view)
    : m_view(view)
{
}

bool WireTool::OutlineWanted() const
{
    return m_pointerInside && !m_suppressed && m_held == 0;
}

void WireTool::EraseOutline()
{
    if (!m_outlineShown)
        return;
    m_outlineShown = false;
    if (m_view.GetSafeHwnd()) {
        CRect r = OutlineRect(m_outlinePoint);
        r.InflateRect(2, 2);
        m_view.InvalidateRect(&r, FALSE);
    }
}

void WireTool::ShowOutline()
{
    if (!OutlineWanted())
        return;
    EraseOutline();
    m_outlineShown = true;
    m_outlinePoint = m_last;
    if (m_view.GetSafeHwnd()) {
        CRect r = OutlineRect(m_outlinePoint);
        r.InflateRect(2, 2);
        m_view.InvalidateRect(&r, FALSE);
    }
}

void WireTool::Selected()
{
    m_pointerInside = m_view.IsPointerOver();
    m_suppressed = false;
    ShowOutline();
}

void WireTool::Deselected()
{
    EraseOutline();
    m_altMode = false;
    m_suppressed = true;
    // A stroke cut short (a temporary tool took over, editing ended) keeps
    // what it painted: it is committed as if its buttons came up here.
    if (m_held != 0) {
        m_held = 0;
        EndStroke();
    }
}

void WireTool::KeyDown(UINT key, bool)
{
    if (key == VK_MENU) {
        if (!m_altMode) {
            m_altMode = true;
            EraseOutline();
            ShowOutline();
        }
        return;
    }
    int direction = 0;
    if (key == VK_OEM_4)
        direction = -1;
    else if (key == VK_OEM_6)
        direction = 1;
    else if (m_altMode && key == VK_SUBTRACT)
        direction = -1;
    else if (m_altMode && key == VK_ADD)
        direction = 1;
    if (direction == 0)
        return;
    ++m_repeat;
    ChangeSize(direction * StepOf(m_repeat));
}

void WireTool::KeyUp(UINT key)
{
    m_repeat = 0;
    if (key == VK_MENU && m_altMode) {
        m_altMode = false;
        EraseOutline();
        ShowOutline();
    }
}

void WireTool::PaintStep(CPoint p)
{
    if (m_view.GetSafeHwnd()) {
        CRect r = OutlineRect(p);
        r.InflateRect(2, 2);
        m_view.InvalidateRect(&r, FALSE);
    }
    PaintAt(p, m_held);
    if (m_view.GetSafeHwnd())
        m_view.UpdateWindow();
}

void WireTool::ButtonDown(int bit, int sizeStep, CPoint p)
{
    m_last = p;
    if (m_altMode) {
        ChangeSize(sizeStep);
        return;
    }
    EraseOutline();
    if (m_held == 0 && m_view.GetSafeHwnd())
        m_view.SetCapture();
    m_held |= bit;
    PaintStep(p);
}

void WireTool::ButtonUp(int bit, CPoint p)
{
    if (!(m_held & bit))
        return;
    m_held &= ~bit;
    if (m_held == 0) {
        EndStroke();
        m_last = p;
        ShowOutline();
    } else {
        PaintStep(p);
    }
}

void WireTool::EndStroke()
{
    if (CWnd::GetCapture() == &m_view)
        ReleaseCapture();
    Commit();
}

void WireTool::LeftDown(UINT, CPoint p)
{
    ButtonDown(1, 1, p);
}

void WireTool::RightDown(UINT, CPoint p)
{
    ButtonDown(2, -1, p);
}

void WireTool::LeftUp(UINT, CPoint p)
{
    ButtonUp(1, p);
}

void WireTool::RightUp(UINT, CPoint p)
{
    ButtonUp(2, p);
}

void WireTool::MouseMove(UINT, CPoint p)
{
    m_pointerInside = true;
    if (m_held != 0) {
        const CPoint from = m_last;
        m_last = p;
        if (m_view.GetSafeHwnd()) {
            // Everything between the two points may change.
            CRect r;
            r.UnionRect(OutlineRect(from), OutlineRect(p));
            r.InflateRect(2, 2);
            m_view.InvalidateRect(&r, FALSE);
        }
        PaintAlong(from, p, m_held);
        if (m_view.GetSafeHwnd())
            m_view.UpdateWindow();
        return;
    }
    m_last = p;
    ShowOutline();
}

void WireTool::MouseEnter()
{
    m_pointerInside = true;
    ShowOutline();
}

void WireTool::MouseLeave()
{
    EraseOutline();
    m_pointerInside = false;
    if (m_held != 0) {
        m_held = 0;
        EndStroke();
    }
}

bool WireTool::SetCursor(UINT)
{
    ::SetCursor(LoadCursor(IDC_CROSS));
    return true;
}

void WireTool::RedrawOverlay(CDC& dc)
{
    if (m_outlineShown)
        DrawOutline(dc, m_outlinePoint, m_altMode ? 2 : 1);
}

CircleTool::CircleTool(SequenceView& view, int radius)
    : WireTool(view)
    , m_radius(std::clamp(radius, min_radius, max_radius))
{
    BuildStamp();
}

void CircleTool::BuildStamp()
{
    const unsigned side = static_cast<unsigned>(2 * m_radius);
    m_stamp.resize(side, side, 4);
    const double c = m_radius - 0.5;
    const double r2 = static_cast<double>(m_radius) * m_radius;
    for (unsigned y = 0; y < side; ++y) {
        unsigned char* row = m_stamp.row(y);
        std::fill(row, row + m_stamp.stride, static_cast<unsigned char>(0));
        for (unsigned x = 0; x < side; ++x) {
            const double dx = x - c;
            const double dy = y - c;
            if (dx * dx + dy * dy < r2)
                row[x >> 3] = static_cast<unsigned char>(row[x >> 3] | (0x80u >> (x & 7)));
        }
    }
}

void CircleTool::ChangeSize(int step)
{
    const int next = std::clamp(m_radius + step, min_radius, max_radius);
    if (next == m_radius)
        return;
    EraseOutline();
    m_radius = next;
    BuildStamp();
    ShowOutline();
}

CRect CircleTool::OutlineRect(CPoint p) const
{
    const int h = static_cast<int>(m_radius * GetView().GetGeometry().GetZoom());
    return CRect(p.x - h, p.y - h, p.x + h + 1, p.y + h + 1);
}

void CircleTool::DrawOutline(CDC& dc, CPoint p, int style)
{
    // Black and white rings, so the outline shows over any picture.
    const CRect r = OutlineRect(p);
    CPen black(PS_SOLID, style, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&black);
    CBrush* oldBrush = dc.SelectObject(CBrush::Hollow());
    dc.Ellipse(r.left, r.top, r.right, r.bottom);
    CPen white(PS_SOLID, 1, RGB(255, 255, 255));
    dc.SelectObject(&white);
    dc.Ellipse(r.left + style, r.top + style, r.right - style, r.bottom - style);
    dc.SelectObject(old);
    dc.SelectObject(oldBrush);
}

BrushTool::BrushTool(SequenceView& view, MaskEditor& editor)
    : CircleTool(view, 20)
    , m_editor(editor)
{
}

void BrushTool::Commit()
{
    m_editor.Commit("Brush");
}

void BrushTool::PaintAt(CPoint p, int buttons)
{
    if (buttons == 3 || buttons == 0 || !m_editor.IsEditing())
        return;
    img::image<img::bit>& mask = m_editor.GetMask();
    const ViewGeometry& g = GetView().GetGeometry();
    const CRect outline = OutlineRect(p);
    const ImagePoint a = g.ClientToImage(CPoint(outline.left, outline.top));
    const ImagePoint b = g.ClientToImage(CPoint(outline.right, outline.bottom));
    const auto trunc = [](double v) { return static_cast<long long>(std::clamp(v, -1e9, 1e9)); };
    const long long left = std::max(0LL, trunc(std::min(a.x, b.x)));
    const long long top = std::max(0LL, trunc(std::min(a.y, b.y)));
    const long long right = std::min<long long>(mask.width, trunc(std::max(a.x, b.x)));
    const long long bottom = std::min<long long>(mask.height, trunc(std::max(a.y, b.y)));
    if (left >= right || top >= bottom)
        return;
    // Signed: a stamp near the left or top edge starts before the mask and
    // the blit clips it.
    const ImagePoint centre = g.ClientToImage(p);
    const long long x = std::lround(std::clamp(centre.x, -1e9, 1e9)) - GetRadius();
    const long long y = std::lround(std::clamp(centre.y, -1e9, 1e9)) - GetRadius();
    const int side = 2 * GetRadius();
    if (buttons & 1)
        img::blit_or(mask, static_cast<int>(x), static_cast<int>(y), side, side, GetStamp(), 0, 0);
    else
        img::blit_and_not(mask, static_cast<int>(x), static_cast<int>(y), side, side, GetStamp(), 0, 0);
    m_editor.NotifyStroke();
}

void BrushTool::PaintAlong(CPoint from, CPoint to, int buttons)
{
    if (buttons == 3 || buttons == 0 || !m_editor.IsEditing())
        return;
    const ViewGeometry& g = GetView().GetGeometry();
    if (StampAlong(m_editor.GetMask(), GetStamp(), GetRadius(), g.ClientToImage(from), g.ClientToImage(to),
            (buttons & 1) != 0))
        m_editor.NotifyStroke();
}

} // namespace My
