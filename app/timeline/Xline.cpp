#include "app/timeline/Xline.h"

#include "app/timeline/TimeScaleControls.h"
#include "app/timeline/TimelineStrips.h"
#include "document/Doc.h"
#include "document/composition/Sequence.h"
#include "platform/gui/colors.h"
#include "platform/gui/metrics.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Strings.h"
#include "widgets/scrolling/ScrollBar.h"

#include <algorithm>
#include <cmath>

namespace My {

XlineRow::XlineRow(Xline* xline, std::string name)
    : m_xline(xline)
    , m_name(std::move(name))
{
}

CRect XlineRow::GetNameCell() const
{
    return GetCellRect(m_xline->GetNameColumn());
}

CRect XlineRow::GetTimeCell() const
{
    return GetCellRect(m_xline->GetTimeColumn());
}

void XlineRow::Draw(CDC& dc, const CRect& clip)
{
    const CRect r(CPoint(), GetSize());
    dc.FillSolidRect(GetNameCell(), GetSysColor(COLOR_BTNFACE));
    GridRow::Draw(dc, clip);
    dc.FillSolidRect(r.left, r.bottom - 1, r.Width(), 1, GetSysColor(COLOR_BTNHIGHLIGHT));
}

void XlineRow::DrawCell(CDC& dc, const CRect&, const Column& column, const CRect& cell)
{
    if (&column == &m_xline->GetNameColumn()) {
        DrawExpander(dc, cell);
        dc.FillSolidRect(
            cell.right - 1, cell.top, 1, cell.Height(), mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
    }
}

void XlineRow::OnLeftDown(UINT flags, const CPoint& point)
{
    TreeRow::OnLeftDown(flags, point);
}

void XlineRow::OnLeftDoubleClick(UINT flags, const CPoint& point)
{
    TreeRow::OnLeftDoubleClick(flags, point);
}

void XlineRow::OnEvent(Event& event)
{
    GridRow::OnEvent(event);
}

bool XlineRow::BeginDrag(UINT, const CPoint& press, const CPoint&)
{
    if (!GetList())
        return false;
    m_bandStart = press + GetTopLeft();
    return true;
}

void XlineRow::Drag(UINT, const CPoint& point)
{
    m_xline->GetGrid().SetBand(m_bandStart, point + GetTopLeft());
}

void XlineRow::EndDrag(UINT, const CPoint&)
{
    m_xline->GetGrid().EndBand();
}

Span BandFrames(const Timeline& timeline, int x1, int x2)
{
    return Span { int(std::ceil(timeline.XToTime(std::min(x1, x2)))),
        int(std::floor(timeline.XToTime(std::max(x1, x2)))) };
}

XlineGrid::XlineGrid(Xline* xline, ScrollBox* box)
    : List(box)
    , Grid(box)
    , Tree(box)
    , m_xline(xline)
{
}

XlineBox::XlineBox()
{
    Horizontal().SetScrollable(false);
    Vertical().SetAlwaysShown(true);
}

CSize XlineBox::GetContentViewSize() const
{
    if (GetSafeHwnd())
        return GetViewSize();
    const CSize size = GetSize();
    return CSize(std::max(0, int(size.cx) - GetSystemMetrics(SM_CXVSCROLL)), size.cy);
}

void XlineBox::BoundsChanged()
{
    WindowBoundsEvent e(false);
    ScrollBox::OnEvent(e);
    PlaceWindow();
    ScrollBox::BoundsChanged();
    Layout();
}

void XlineBox::OnShow(bool visible)
{
    SetWindowShown(visible);
}

void XlineBox::Layout()
{
    if (m_content)
        m_content->SetBounds(CRect(CPoint(0, 0), GetContentViewSize()));
}

void XlineGrid::Draw(CDC& dc, const CRect&)
{
    const CSize size = GetSize();
    const int left = m_xline->GetTimeColumn().GetStart();
    dc.FillSolidRect(0, 0, size.cx, size.cy, GetSysColor(COLOR_BTNFACE));
    dc.FillSolidRect(left - 1, 0, 1, size.cy, mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
    if (m_xline->IsEmpty())
        return;
    ClipRegionScope inside(dc, *this, CRect(left, 0, m_xline->GetTimeColumn().GetEnd(), size.cy));
    const Span area = m_xline->GetWorkArea();
    const int a1 = left + m_xline->TimeToX(area.first);
    const int a2 = left + m_xline->TimeToX(area.last);
    dc.FillSolidRect(std::max(a1, left), 0, a2 - std::max(a1, left), size.cy,
        mix_sys_colors(COLOR_BTNHIGHLIGHT, COLOR_BTNFACE));
    const int cursor = m_xline->GetCurrentFrame();
    const int c1 = left + m_xline->TimeToX(cursor);
    const int c2 = left + m_xline->TimeToX(cursor + 1);
    if (c2 > left)
        dc.FillSolidRect(std::max(c1, left), 0, c2 - std::max(c1, left), size.cy, 0xFFF2F2);
}

void XlineGrid::Paint(CDC& dc, const CRect& clip)
{
    Grid::Paint(dc, clip);
    if (m_xline->IsEmpty()) {
        PaintOverlays(dc);
        return;
    }
    const int left = m_xline->GetTimeColumn().GetStart();
    const int right = m_xline->GetTimeColumn().GetEnd();
    const int x = left + m_xline->TimeToX(m_xline->GetCurrentFrame());
    if (x >= left && x < right)
        dc.FillSolidRect(x, 0, 1, GetSize().cy, RGB(255, 0, 0));
    // While scrubbing or playing, the preview frame's marker: an inverted
    // line (the grid repaints on every preview change, so it never stays).
    const Sequence* sequence = m_xline->GetSequence();
    if (sequence && sequence->GetPreviewFrame() != sequence->GetCurrentFrame()) {
        const int p = left + m_xline->TimeToX(sequence->GetPreviewFrame());
        if (p >= left && p < right)
            draw_xor_vline(dc, p, 0, GetSize().cy, RGB(255, 255, 255));
    }
    PaintOverlays(dc);
}

void XlineGrid::PaintOverlays(CDC& dc)
{
    // Kept as state and drawn over the rows on every paint: the toolkit
    // offers no dependable inverting pen.
    if (m_drop >= 0)
        dc.FillSolidRect(MarkerRect(m_drop), 0x404040);
    if (!m_band.IsRectEmpty()) {
        const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
        dc.Draw3dRect(m_band, ink, ink);
    }
}

bool XlineGrid::BeginDrag(UINT, const CPoint& press, const CPoint&)
{
    m_bandStart = press;
    return true;
}

void XlineGrid::Drag(UINT, const CPoint& point)
{
    SetBand(m_bandStart, point);
}

void XlineGrid::EndDrag(UINT, const CPoint&)
{
    EndBand();
}

void XlineGrid::SetBand(const CPoint& from, const CPoint& to)
{
    const CRect old = m_band;
    m_band = CRect(std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1,
        std::max(from.y, to.y) + 1);
    CRect dirty;
    dirty.UnionRect(old, m_band);
    Invalidate(dirty);
}

void XlineGrid::EndBand()
{
    if (m_band.IsRectEmpty())
        return;
    const CRect band = m_band;
    m_band = CRect();
    Invalidate(band);
    const int left = m_xline->GetTimeColumn().GetStart();
    const Span frames = BandFrames(*m_xline, band.left - left, band.right - 1 - left);
    m_xline->SelectRect(frames.first, frames.last, band.top, band.bottom);
}

int XlineGrid::GetDropMarkerY(int index) const
{
    const int count = GetRowCount();
    for (int i = std::max(0, index); i < count; ++i)
        if (GetRow(i)->IsShown())
            return GetRow(i)->GetBounds().top;
    for (int i = count - 1; i >= 0; --i)
        if (GetRow(i)->IsShown())
            return GetRow(i)->GetBounds().bottom;
    return 0;
}

CRect XlineGrid::MarkerRect(int index) const
{
    const int y = GetDropMarkerY(index);
    return CRect(-4, y - 2, GetSize().cx + 4, y + 2);
}

void XlineGrid::SetDropPosition(int index)
{
    if (index == m_drop)
        return;
    if (m_drop >= 0)
        Invalidate(MarkerRect(m_drop));
    m_drop = index;
    if (m_drop >= 0)
        Invalidate(MarkerRect(m_drop));
}

void XlineGrid::OnLeftUp(UINT flags, const CPoint& point)
{
    const bool dragged = IsDragging();
    Grid::OnLeftUp(flags, point);
    if (!dragged && !(flags & MK_CONTROL))
        if (Doc* doc = GetDoc())
            doc->Select(nullptr);
}

Xline::Xline()
    : m_nameColumn(LoadString(57000))
    , m_timeColumn("")
    , m_grid(this, &m_box)
    , m_gridRepaint(m_grid)
{
    m_nameColumn.SetWidth(kNameWidth);
    m_grid.GetColumns().InsertColumn(0, &m_nameColumn);
    m_grid.GetColumns().InsertColumn(1, &m_timeColumn);
    m_box.SetContent(&m_grid);
    m_box.AddChild(&m_grid);
    AddChild(&m_box);
    AddListener(&m_gridRepaint);
}

Xline::~Xline()
{
    RemoveListener(&m_gridRepaint);
    RemoveChild(&m_box);
    m_box.RemoveChild(&m_grid);
    m_box.SetContent(nullptr);
    m_grid.GetColumns().RemoveColumn(&m_timeColumn);
    m_grid.GetColumns().RemoveColumn(&m_nameColumn);
}

void Xline::Layout()
{
    const CSize size = GetSize();
    const int cy = GetScrollBarHeight();
    const int left = kNameWidth;
    // The rows area's vertical bar is always shown at the right.
    const int right = std::max(left, int(size.cx) - GetSystemMetrics(SM_CXVSCROLL));
    const int rulerHeight = GetRuler().GetPreferredSize().cy;
    m_timeColumn.SetWidth(right - left);
    GetRuler().SetBounds(CRect(left, 21, right, 21 + rulerHeight));
    m_box.SetBounds(
        CRect(0, 21 + rulerHeight, std::max(0, int(size.cx)), std::max(21 + rulerHeight, int(size.cy) - cy)));
    m_box.Layout();
    SetTimeWidth(right - left);
    GetNavigator().SetBounds(CRect(left, 0, right, 8));
    GetThumbLine().SetBounds(CRect(left, 8, right, 21));
    const int bottom = size.cy;
    GetScrollBar().SetBounds(CRect(left + 110, bottom - cy, std::max(left + 110, right), bottom));
    GetZoomOut().SetBounds(CRect(left, bottom - cy, left + 25, bottom));
    GetSlider().SetBounds(CRect(left + 25, bottom - cy, left + 85, bottom));
    GetZoomIn().SetBounds(CRect(left + 85, bottom - cy, left + 110, bottom));
}

void Xline::Draw(CDC& dc, const CRect&)
{
    const CSize size = GetSize();
    dc.FillSolidRect(0, 0, size.cx, size.cy, GetSysColor(COLOR_BTNFACE));
    // The name column's title cell of the header.
    const int rulerHeight = GetRuler().GetBounds().Height();
    CRect title(0, 21, kNameWidth, 21 + rulerHeight);
    draw_3d_frame(dc, title, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    title.DeflateRect(1, 1);
    DCObjectScope scope(dc);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    CRect text = title;
    text.DeflateRect(4, 0);
    dc.DrawText(
        m_nameColumn.GetTitle(), &text, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void Xline::SelectRect(int, int, int, int) { }

void Xline::GridRepaint::OnEvent(My::Event& event)
{
    if (dynamic_cast<Timeline::Event*>(&event) || dynamic_cast<Sequence::Event*>(&event))
        m_grid.Invalidate(CRect(CPoint(0, 0), m_grid.GetSize()));
}

} // namespace My
