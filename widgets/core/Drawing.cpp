#include "widgets/core/Drawing.h"

#include <utility>

#include "platform/gui/colors.h"
#include "widgets/core/Control.h"

namespace My {

DCObjectScope::DCObjectScope(CDC& dc)
    : m_dc(dc)
    , m_pen(dc.GetCurrentPen())
    , m_brush(dc.GetCurrentBrush())
    , m_font(dc.GetCurrentFont())
{
}

DCObjectScope::~DCObjectScope()
{
    m_dc.SelectObject(m_pen);
    m_dc.SelectObject(m_brush);
    m_dc.SelectObject(m_font);
}

ClipRegionScope::ClipRegionScope(CDC& dc, const Control& control, const CRect& rect, bool enabled)
    : m_dc(enabled ? &dc : nullptr)
{
    if (!m_dc)
        return;
    m_hadRegion = dc.GetClipRgn(&m_saved) == 1;
    const CRect r = rect + control.GetOrigin();
    CRgn area;
    area.CreateRectRgnIndirect(&r);
    dc.SelectClipRgn(&area, m_hadRegion ? RGN_AND : RGN_COPY);
}

ClipRegionScope::~ClipRegionScope()
{
    if (m_dc)
        m_dc->SelectClipRgn(m_hadRegion ? &m_saved : nullptr);
}

CRect align_rect(const CRect& rect, const CRect& frame, unsigned code)
{
    CRect r = rect;
    switch (code & 0x0F) {
    case 1:
        r.OffsetRect(frame.left - r.left, 0);
        break;
    case 2:
        r.OffsetRect(frame.right - r.right, 0);
        break;
    case 3:
        r.OffsetRect(frame.left + (frame.Width() - r.Width()) / 2 - r.left, 0);
        break;
    default:
        break;
    }
    switch (code & 0xF0) {
    case 0x10:
        r.OffsetRect(0, frame.top - r.top);
        break;
    case 0x20:
        r.OffsetRect(0, frame.bottom - r.bottom);
        break;
    case 0x30:
        r.OffsetRect(0, frame.top + (frame.Height() - r.Height()) / 2 - r.top);
        break;
    default:
        break;
    }
    return r;
}

CRect place_rect(const CSize& size, const CPoint& anchor, unsigned code)
{
    CRect r(CPoint(), size);
    switch (code & 0x0F) {
    case 1:
        r.OffsetRect(anchor.x, 0);
        break;
    case 2:
        r.OffsetRect(anchor.x - size.cx, 0);
        break;
    case 3:
        r.OffsetRect(anchor.x - size.cx / 2, 0);
        break;
    default:
        break;
    }
    switch (code & 0xF0) {
    case 0x10:
        r.OffsetRect(0, anchor.y);
        break;
    case 0x20:
        r.OffsetRect(0, anchor.y - size.cy);
        break;
    case 0x30:
        r.OffsetRect(0, anchor.y - size.cy / 2);
        break;
    default:
        break;
    }
    return r;
}

COLORREF mix_colors(COLORREF a, COLORREF b)
{
    return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
        (GetBValue(a) + GetBValue(b)) / 2);
}

COLORREF mix_sys_colors(int i, int j)
{
    return mix_colors(GetSysColor(i), GetSysColor(j));
}

void draw_3d_frame(CDC& dc, const CRect& rect, COLORREF c1, COLORREF c2)
{
    if (rect.IsRectEmpty())
        return;
    const COLORREF bk = dc.GetBkColor();
    const COLORREF mean = mix_colors(c1, c2);
    dc.FillSolidRect(CRect(rect.left, rect.top, rect.right - 1, rect.top + 1), c1);
    dc.FillSolidRect(CRect(rect.left, rect.top + 1, rect.left + 1, rect.bottom - 1), c1);
    dc.FillSolidRect(CRect(rect.right - 1, rect.top + 1, rect.right, rect.bottom), c2);
    dc.FillSolidRect(CRect(rect.left + 1, rect.bottom - 1, rect.right - 1, rect.bottom), c2);
    dc.SetPixel(rect.left, rect.bottom - 1, mean);
    dc.SetPixel(rect.right - 1, rect.top, mean);
    dc.SetBkColor(bk);
}

void draw_dotted_hline(CDC& dc, int y, int x1, int x2, COLORREF color)
{
    if (x1 > x2)
        std::swap(x1, x2);
    CPen pen(PS_ALTERNATE, 1, color);
    DCObjectScope scope(dc);
    dc.SelectObject(&pen);
    const CPoint keep = dc.MoveTo(x1, y);
    dc.LineTo(x2, y);
    dc.MoveTo(keep.x, keep.y);
}

void draw_xor_vline(CDC& dc, int x, int y1, int y2, COLORREF color)
{
    if (y1 > y2)
        std::swap(y1, y2);
    CPen pen(PS_ALTERNATE, 1, color);
    DCObjectScope scope(dc);
    dc.SelectObject(&pen);
    const int rop = dc.SetROP2(R2_XORPEN);
    const CPoint keep = dc.MoveTo(x, y1);
    dc.LineTo(x, y2);
    dc.MoveTo(keep.x, keep.y);
    dc.SetROP2(rop);
}

} // namespace My
