#include "widgets/controls/Slider.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"

namespace My {

Slider::Slider()
{
    m_thumb.Load("SliderThumb", "SliderThumbMask");
}

CRect Slider::ComputeTrack(const CSize& size)
{
    CRect band(horizontal_margin, vertical_margin, size.cx - horizontal_margin, size.cy - vertical_margin);
    band.bottom = band.top + m_thumb.GetHeight();
    band = align_rect(band, CRect(CPoint(), size), 0x33);
    CRect track = band;
    track.DeflateRect(1, 1);
    m_trackLeft = track.left;
    m_trackWidth = track.Width();
    return band;
}

int Slider::ThumbLeft(double value) const
{
    return m_trackLeft + int(m_trackWidth * std::clamp(value, 0.0, 1.0)) - m_thumb.GetWidth() / 2;
}

void Slider::Draw(CDC& dc, const CRect&)
{
    const CRect area(CPoint(), GetSize());
    dc.FillSolidRect(area, GetSysColor(COLOR_BTNFACE));
    dc.Draw3dRect(area, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    const CRect band = ComputeTrack(area.Size());
    const bool enabled = is_enabled_in_tree(this);
    const COLORREF upper
        = enabled ? GetSysColor(COLOR_BTNSHADOW) : mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW);
    const COLORREF lower = enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNSHADOW);
    if (band.Width() > 0) {
        dc.FillSolidRect(CRect(band.left, band.top - 1, band.right, band.top), upper);
        dc.FillSolidRect(CRect(band.left, band.top, band.right, band.top + 1), lower);
    }
    if (enabled)
        m_thumb.Draw(dc, ThumbLeft(GetValue()), band.top + 1);
}

void Slider::OnLeftDown(UINT flags, const CPoint& point)
{
    // A disabled slider shows no thumb and takes no value from the pointer.
    if (m_trackWidth > 0 && is_enabled_in_tree(this))
        SetValue(double(point.x - m_trackLeft) / m_trackWidth);
    Widget::OnLeftDown(flags, point);
}

bool Slider::BeginDrag(UINT, const CPoint& press, const CPoint&)
{
    m_pressX = press.x;
    m_thumbOffset = int(GetValue() * m_trackWidth);
    return m_trackWidth > 0 && is_enabled_in_tree(this);
}

void Slider::Drag(UINT, const CPoint& point)
{
    if (m_trackWidth <= 0)
        return;
    const double v = std::clamp(double(point.x - m_pressX + m_thumbOffset) / m_trackWidth, 0.0, 1.0);
    SetValue(v);
    Update();
}

} // namespace My
