#include "widgets/containers/Splitters.h"

#include <cstdlib>

#include "platform/gui/colors.h"
#include "platform/gui/cursor.h"
#include "widgets/containers/ContainerGlyphs.h"
#include "widgets/core/Drawing.h"

namespace My {

namespace {

// The bottom of the right bar and its splitter.
int right_column_bottom(const PanelFrame& frame)
{
    int bottom = usable_bar_area(frame).bottom - PanelFrame::splitter_size;
    if (frame.IsBottomBarVisible())
        bottom -= frame.GetBottomBarSize();
    return bottom;
}

int right_extent(const PanelFrame& frame)
{
    return frame.IsRightBarVisible() ? frame.GetRightBarSize() : 0;
}

int bottom_extent(const PanelFrame& frame)
{
    return frame.IsBottomBarVisible() ? frame.GetBottomBarSize() : 0;
}

CRect right_splitter_rect(const PanelFrame& frame)
{
    const CRect area = usable_bar_area(frame);
    const int left = area.right - right_extent(frame) - PanelFrame::splitter_size;
    return CRect(left, area.top, left + PanelFrame::splitter_size, right_column_bottom(frame));
}

CRect bottom_splitter_rect(const PanelFrame& frame)
{
    const CRect area = usable_bar_area(frame);
    const int top = area.bottom - bottom_extent(frame) - PanelFrame::splitter_size;
    return CRect(area.left, top, area.right, top + PanelFrame::splitter_size);
}

void fill_splitter(CDC& dc, const CSize& size, bool right)
{
    dc.FillSolidRect(CRect(CPoint(), size), mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    if (right)
        dc.FillSolidRect(0, 0, 1, size.cy, face);
    else
        dc.FillSolidRect(0, 0, size.cx, 1, face);
}

bool set_cursor(int id)
{
    ::SetCursor(LoadCursor(id));
    return true;
}

void load(Glyph& glyph, const char* name, const char* mask)
{
    EnsureContainerGlyphs();
    glyph.Load(name, mask);
}

} // namespace

void BarDrag::Begin(const PanelFrame& frame, bool right_side, const CPoint& point)
{
    m_right = right_side;
    m_size = right_side ? right_extent(frame) : bottom_extent(frame);
    m_point = point;
}

void BarDrag::Move(PanelFrame& frame, const CPoint& point) const
{
    const int moved = m_right ? m_point.x - point.x : m_point.y - point.y;
    const int size = m_size + moved;
    const bool shown = size >= min_size;
    const int kept = shown ? size : m_size;
    frame.ClearHiddenBySize(m_right);
    if (m_right)
        frame.ArrangeBars(kept, frame.GetBottomBarSize(), shown, frame.IsBottomBarVisible());
    else
        frame.ArrangeBars(frame.GetRightBarSize(), kept, frame.IsRightBarVisible(), shown);
}

BarSplitter::BarSplitter(PanelFrame& frame, bool right)
    : m_frame(frame)
    , m_right(right)
{
}

CRect BarSplitter::ComputeRect() const
{
    return m_right ? right_splitter_rect(m_frame) : bottom_splitter_rect(m_frame);
}

void BarSplitter::Draw(CDC& dc, const CRect&)
{
    fill_splitter(dc, GetSize(), m_right);
}

bool BarSplitter::OnCursor(UINT, const CPoint&)
{
    return set_cursor(m_right ? IDC_SIZEWE : IDC_SIZENS);
}

void BarSplitter::OnLeftDown(UINT flags, const CPoint& point)
{
    Widget::OnLeftDown(flags, point);
    m_drag.Begin(m_frame, m_right, point + GetOrigin());
}

bool BarSplitter::BeginDrag(UINT, const CPoint&, const CPoint&)
{
    return true;
}

void BarSplitter::Drag(UINT, const CPoint& point)
{
    m_drag.Move(m_frame, point + GetOrigin());
}

Grip::Grip(PanelFrame& frame)
    : m_frame(frame)
{
}

void Grip::Draw(CDC& dc, const CRect&)
{
    CurrentGlyph().Draw(dc, 0, 0);
}

void Grip::OnLeftUp(UINT flags, const CPoint& point)
{
    const bool clicked = IsPressed() && !IsDragging();
    Widget::OnLeftUp(flags, point);
    if (clicked)
        Toggle();
}

bool Grip::BeginDrag(UINT, const CPoint& press, const CPoint& now)
{
    return std::abs(now.x - press.x) + std::abs(now.y - press.y) >= drag_threshold;
}

RightGrip::RightGrip(PanelFrame& frame)
    : Grip(frame)
{
    load(m_shown, "RightGrip", "");
    load(m_hidden, "RightGripBack", "");
}

CRect RightGrip::ComputeRect() const
{
    const CRect s = right_splitter_rect(m_frame);
    const int middle = (s.top + s.bottom) / 2;
    if (s.Height() < 51)
        return CRect(s.left, middle, s.left, middle);
    return CRect(s.left, middle - 10, s.right, middle + 11);
}

void RightGrip::Toggle()
{
    m_frame.ArrangeBars(m_frame.GetRightBarSize(), m_frame.GetBottomBarSize(), !m_frame.IsRightBarVisible(),
        m_frame.IsBottomBarVisible());
}

const Glyph& RightGrip::CurrentGlyph() const
{
    return m_frame.IsRightBarVisible() ? m_shown : m_hidden;
}

bool RightGrip::OnCursor(UINT, const CPoint&)
{
    return set_cursor(IDC_SIZEWE);
}

void RightGrip::OnLeftDown(UINT flags, const CPoint& point)
{
    Grip::OnLeftDown(flags, point);
    m_drag.Begin(m_frame, true, point + GetOrigin());
}

void RightGrip::Drag(UINT, const CPoint& point)
{
    m_drag.Move(m_frame, point + GetOrigin());
}

BottomGrip::BottomGrip(PanelFrame& frame)
    : Grip(frame)
{
    load(m_shown, "BottomGrip", "");
    load(m_hidden, "BottomGripBack", "");
}

CRect BottomGrip::ComputeRect() const
{
    const CRect s = bottom_splitter_rect(m_frame);
    const int right = s.right - PanelFrame::splitter_size - right_extent(m_frame);
    const int middle = (s.left + right) / 2;
    if (right - s.left < 51)
        return CRect(middle, s.top, middle, s.top);
    return CRect(middle - 10, s.top, middle + 11, s.bottom);
}

void BottomGrip::Toggle()
{
    m_frame.ArrangeBars(m_frame.GetRightBarSize(), m_frame.GetBottomBarSize(), m_frame.IsRightBarVisible(),
        !m_frame.IsBottomBarVisible());
}

const Glyph& BottomGrip::CurrentGlyph() const
{
    return m_frame.IsBottomBarVisible() ? m_shown : m_hidden;
}

bool BottomGrip::OnCursor(UINT, const CPoint&)
{
    return set_cursor(IDC_SIZENS);
}

void BottomGrip::OnLeftDown(UINT flags, const CPoint& point)
{
    Grip::OnLeftDown(flags, point);
    m_drag.Begin(m_frame, false, point + GetOrigin());
}

void BottomGrip::Drag(UINT, const CPoint& point)
{
    m_drag.Move(m_frame, point + GetOrigin());
}

CornerGrip::CornerGrip(PanelFrame& frame)
    : Grip(frame)
{
    load(m_normal, "CornerGrip", "CornerGripMask");
    load(m_up, "CornerGripUp", "CornerGripMask");
}

CRect CornerGrip::ComputeRect() const
{
    const CRect area = usable_bar_area(m_frame);
    const int right = area.right - right_extent(m_frame);
    const int bottom = area.bottom - bottom_extent(m_frame);
    return CRect(right - size, bottom - size, right, bottom);
}

void CornerGrip::Toggle()
{
    const bool show = !m_frame.IsRightBarVisible() && !m_frame.IsBottomBarVisible();
    m_frame.ArrangeBars(m_frame.GetRightBarSize(), m_frame.GetBottomBarSize(), show, show);
}

const Glyph& CornerGrip::CurrentGlyph() const
{
    return !m_frame.IsRightBarVisible() && !m_frame.IsBottomBarVisible() ? m_up : m_normal;
}

bool CornerGrip::OnCursor(UINT, const CPoint&)
{
    return set_cursor(IDC_SIZENWSE);
}

void CornerGrip::OnLeftDown(UINT flags, const CPoint& point)
{
    Grip::OnLeftDown(flags, point);
    m_right.Begin(m_frame, true, point + GetOrigin());
    m_bottom.Begin(m_frame, false, point + GetOrigin());
}

void CornerGrip::Drag(UINT, const CPoint& point)
{
    // Each side judged on its own; the right side's arrangement is read
    // back before the bottom one is applied.
    m_right.Move(m_frame, point + GetOrigin());
    m_bottom.Move(m_frame, point + GetOrigin());
}

} // namespace My
