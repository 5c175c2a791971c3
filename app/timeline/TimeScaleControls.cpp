#include "app/timeline/TimeScaleControls.h"

#include "app/timeline/Timeline.h"
#include "document/composition/Sequence.h"
#include "widgets/core/Strings.h"

#include <cmath>

namespace My {

namespace {

// Timeline and sequence events repaint; a moving preview frame does not.
bool IsAxisEvent(Event& event)
{
    if (dynamic_cast<Sequence::PreviewFrameChange*>(&event))
        return false;
    return dynamic_cast<Timeline::Event*>(&event) || dynamic_cast<Sequence::Event*>(&event);
}

void Repaint(Control& control)
{
    control.Invalidate(CRect(CPoint(0, 0), control.GetSize()));
}

} // namespace

double TimeScaleToSliderValue(double scale, double fit)
{
    if (!(fit > 0) || fit >= Timeline::kMaxScale || !(scale > 0))
        return 0.0;
    return std::log(scale / fit) / std::log(Timeline::kMaxScale / fit);
}

double SliderValueToTimeScale(double value, double fit)
{
    return fit * std::pow(Timeline::kMaxScale / fit, value);
}

TimeScaleOut::TimeScaleOut(Timeline* timeline)
    : GlyphButton("ZoomOut", "ZoomOutMask")
    , m_timeline(timeline)
{
}

void TimeScaleOut::Click()
{
    m_timeline->SetTimeScale(m_timeline->GetTimeScale() / 2);
}

bool TimeScaleOut::IsEnabled() const
{
    return Widget::IsEnabled() && m_timeline->CanZoomOut();
}

std::string TimeScaleOut::GetToolTipText() const
{
    return LoadString(57013);
}

void TimeScaleOut::OnEvent(Event& event)
{
    if (IsAxisEvent(event))
        Repaint(*this);
    else
        GlyphButton::OnEvent(event);
}

TimeScaleIn::TimeScaleIn(Timeline* timeline)
    : GlyphButton("ZoomIn", "ZoomInMask")
    , m_timeline(timeline)
{
}

void TimeScaleIn::Click()
{
    m_timeline->SetTimeScale(m_timeline->GetTimeScale() * 2);
}

bool TimeScaleIn::IsEnabled() const
{
    return Widget::IsEnabled() && m_timeline->CanZoomIn();
}

std::string TimeScaleIn::GetToolTipText() const
{
    return LoadString(57012);
}

void TimeScaleIn::OnEvent(Event& event)
{
    if (IsAxisEvent(event))
        Repaint(*this);
    else
        GlyphButton::OnEvent(event);
}

TimeSlider::TimeSlider(Timeline* timeline)
    : m_timeline(timeline)
{
}

double TimeSlider::GetValue() const
{
    if (m_timeline->IsEmpty() || m_timeline->GetTimeWidth() <= 2 * Timeline::kMargin)
        return 0.0;
    return TimeScaleToSliderValue(m_timeline->GetTimeScale(), m_timeline->GetFitScale());
}

void TimeSlider::SetValue(double value)
{
    const double fit = m_timeline->GetFitScale();
    if (m_timeline->IsEmpty() || fit >= Timeline::kMaxScale)
        return;
    m_timeline->SetTimeScale(SliderValueToTimeScale(value, fit));
    m_timeline->Update();
}

bool TimeSlider::IsEnabled() const
{
    return Widget::IsEnabled() && m_timeline->CanScale();
}

std::string TimeSlider::GetToolTipText() const
{
    return LoadString(57011);
}

void TimeSlider::OnEvent(Event& event)
{
    if (IsAxisEvent(event))
        Repaint(*this);
    else
        Slider::OnEvent(event);
}

} // namespace My
