#include "app/timeline/Timeline.h"

#include "app/timeline/TimeScaleControls.h"
#include "app/timeline/TimelineStrips.h"
#include "document/composition/Sequence.h"
#include "platform/gui/metrics.h"
#include "platform/gui/wnd.h"
#include "widgets/core/CommandMap.h"
#include "widgets/scrolling/ScrollBar.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace My {

Timeline::Timeline()
    : m_scrollBar(std::make_unique<ScrollBar>(SBS_HORZ))
    , m_navigator(std::make_unique<Navigator>(this))
    , m_thumbLine(std::make_unique<ThumbLine>(this))
    , m_ruler(std::make_unique<TimeRuler>(this))
    , m_slider(std::make_unique<TimeSlider>(this))
    , m_zoomIn(std::make_unique<TimeScaleIn>(this))
    , m_zoomOut(std::make_unique<TimeScaleOut>(this))
{
    m_timer.SetInterval(100);
    m_timer.AddListener(this);
    m_scrollBar->AddListener(this);
    AddChild(m_navigator.get());
    AddChild(m_thumbLine.get());
    AddChild(m_ruler.get());
    AddChild(m_scrollBar.get());
    AddChild(m_slider.get());
    AddChild(m_zoomIn.get());
    AddChild(m_zoomOut.get());
    for (EventListener* strip : std::initializer_list<EventListener*> { m_navigator.get(), m_thumbLine.get(),
             m_ruler.get(), m_slider.get(), m_zoomIn.get(), m_zoomOut.get() })
        AddListener(strip);
}

Timeline::~Timeline()
{
    m_timer.SetRunning(false);
    m_timer.RemoveListener(this);
    SetSequence(nullptr);
    m_scrollBar->RemoveListener(this);
    for (Control* child : std::initializer_list<Control*> { m_navigator.get(), m_thumbLine.get(),
             m_ruler.get(), m_scrollBar.get(), m_slider.get(), m_zoomIn.get(), m_zoomOut.get() })
        if (child->GetContainer())
            child->GetContainer()->RemoveChild(child);
}

int Timeline::GetScrollBarHeight()
{
    return std::max(12, GetSystemMetrics(SM_CYHSCROLL));
}

CSize Timeline::GetPreferredSize() const
{
    return CSize(0, m_ruler->GetPreferredSize().cy + GetScrollBarHeight() + 21);
}

void Timeline::Layout()
{
    const CSize size = GetSize();
    const int cy = GetScrollBarHeight();
    const int width = size.cx;
    m_navigator->SetBounds(CRect(0, 0, width, 8));
    m_thumbLine->SetBounds(CRect(0, 8, width, 21));
    m_ruler->SetBounds(CRect(0, 21, width, 21 + m_ruler->GetPreferredSize().cy));
    SetTimeWidth(width);
    const int bottom = size.cy;
    m_zoomOut->SetBounds(CRect(0, bottom - cy, 25, bottom));
    m_slider->SetBounds(CRect(25, bottom - cy, 85, bottom));
    m_zoomIn->SetBounds(CRect(85, bottom - cy, 110, bottom));
    m_scrollBar->SetBounds(CRect(110, bottom - cy, std::max(110, width), bottom));
}

void Timeline::SetTimeWidth(int width)
{
    if (width == m_timeWidth)
        return;
    m_timeWidth = width;
    OnSize(GetBounds().Width(), GetBounds().Height());
}

void Timeline::OnSize(int /*width*/, int /*height*/)
{
    SetTimeScale(m_scale);
    SetTimeOffset(m_offset);
    UpdateScrollBar();
}

void Timeline::SetSequence(Sequence* sequence)
{
    if (sequence == m_sequence)
        return;
    if (m_sequence) {
        m_sequence->RemoveListener(this);
        m_sequence = nullptr;
        Detached detached(this);
        Send(detached);
    }
    if (sequence) {
        m_sequence = sequence;
        m_sequence->AddListener(this);
        Attached attached(this);
        Send(attached);
    }
}

TimeAxis Timeline::GetAxis() const
{
    TimeAxis axis;
    axis.width = GetTimeWidth();
    axis.margin = kMargin;
    axis.scale = m_scale;
    axis.offset = m_offset;
    return axis;
}

bool Timeline::IsEmpty() const
{
    return !m_sequence || m_sequence->IsEmpty();
}

int Timeline::GetFirstFrame() const
{
    return IsEmpty() ? 0 : m_sequence->GetFirstFrame();
}

int Timeline::GetFrameCount() const
{
    return IsEmpty() ? 0 : m_sequence->GetFrameCount();
}

double Timeline::GetFitScale() const
{
    const int count = GetFrameCount();
    const int width = GetTimeWidth();
    // A time area with no room between its margins shows no sequence.
    if (count <= 0 || width <= 2 * kMargin)
        return 1.0;
    return double(width) / count;
}

int Timeline::GetTotalWidth() const
{
    if (!m_sequence)
        return 0;
    const double total = GetFrameCount() * m_scale;
    return total >= 2147483647.0 ? 2147483647 : int(total);
}

int Timeline::GetScrollPos() const
{
    if (!m_sequence)
        return 0;
    const double pos = (m_offset - GetFirstFrame()) * m_scale;
    return pos >= 2147483647.0 ? 2147483647 : int(pos);
}

Span Timeline::GetWorkArea() const
{
    if (IsEmpty())
        return {};
    const int first = m_sequence->GetFirstFrame();
    return { m_workArea.first + first, m_workArea.last + first };
}

void Timeline::SetWorkArea(int first, int last)
{
    if (!m_sequence)
        return;
    const int base = m_sequence->GetFirstFrame();
    const Span span { first - base, last - base };
    if (span == m_workArea)
        return;
    m_workArea = span;
    WorkAreaChange change(this);
    Send(change);
}

void Timeline::LoadWorkArea()
{
    if (!m_sequence)
        return;
    const Span area = m_sequence->GetWorkArea();
    SetWorkArea(area.first, area.last);
}

void Timeline::CommitWorkArea()
{
    if (IsEmpty())
        return;
    const Span area = GetWorkArea();
    m_sequence->SetWorkArea(area.first, area.last);
}

void Timeline::SetTimeScale(double scale)
{
    if (IsEmpty() || GetTimeWidth() <= 2 * kMargin || !(scale == scale))
        return;
    const double fit = GetFitScale();
    if (scale > kMaxScale)
        scale = kMaxScale;
    if (scale < fit)
        scale = fit;
    if (scale == m_scale)
        return;
    const int x = TimeToX(m_cursor);
    m_scale = scale;
    SetTimeOffset(m_offset);
    UpdateScrollBar();
    TimeScaleChange change(this);
    Send(change);
    // Zooming is anchored at the cursor: it keeps its pixel position.
    SetTimeOffset(m_offset + m_cursor - XToTime(x));
}

void Timeline::SetTimeOffset(double offset)
{
    if (IsEmpty() || GetTimeWidth() <= 2 * kMargin || !(offset == offset))
        return;
    const double first = GetFirstFrame();
    const double end = first + GetFrameCount();
    const double visible = GetTimeWidth() / m_scale;
    if (offset > end - visible)
        offset = end - visible;
    if (offset < first)
        offset = first;
    if (offset == m_offset)
        return;
    m_offset = offset;
    UpdateScrollBar();
    TimeOffsetChange change(this);
    Send(change);
}

void Timeline::SetScrollPos(int pixels)
{
    if (IsEmpty())
        return;
    SetTimeOffset(GetFirstFrame() + pixels / m_scale);
}

void Timeline::UpdateScrollBar()
{
    ScrollInfo info;
    info.min = 0;
    info.max = GetTotalWidth();
    info.page = GetTimeWidth();
    if (info.max == info.page)
        ++info.page;
    info.pos = GetScrollPos();
    info.trackPos = info.pos;
    m_scrollInfo = info;
    SCROLLINFO bar {};
    bar.cbSize = sizeof bar;
    bar.fMask = 31;
    bar.nMin = info.min;
    bar.nMax = info.max;
    bar.nPage = UINT(std::max(0, info.page));
    bar.nPos = info.pos;
    bar.nTrackPos = info.trackPos;
    m_scrollBar->SetScrollInfo(bar);
}

void Timeline::SetCurrentFrame(int frame)
{
    if (IsEmpty())
        return;
    const int first = m_sequence->GetFirstFrame();
    const int last = first + m_sequence->GetFrameCount() - 1;
    if (frame < first)
        frame = first;
    if (frame > last)
        frame = last;
    if (frame == m_cursor)
        return;
    m_cursor = frame;
    CurrentFrameChange change(this);
    Send(change);
    m_sequence->SetPreviewFrame(frame);
}

void Timeline::SetAutoScroll(int step)
{
    m_autoScroll = step;
    m_timer.SetRunning(step != 0);
}

int Timeline::AutoScrollDistance(int x, int width) const
{
    if (x < kMargin)
        return x - kMargin;
    if (x > width - kMargin)
        return kMargin + x - width;
    return 0;
}

void Timeline::AutoScrollStep(bool resend)
{
    if (m_autoScroll == 0)
        return;
    SetScrollPos(GetScrollPos() + m_autoScroll);
    if (!resend || !GetWnd())
        return;
    POINT screen {};
    if (!GetCursorPos(&screen))
        return;
    const CPoint client = ScreenToClient(CPoint(screen.x, screen.y));
    const CPoint origin = GetOrigin();
    MouseMoveEvent move(0, CPoint(client.x - origin.x, client.y - origin.y));
    // The container's routing gives it to the capture child when one holds
    // the capture, else to the timeline's own handling.
    Container::OnEvent(move);
}

void Timeline::Scroll(std::uint32_t code, int position)
{
    int pos = GetScrollPos();
    switch (code) {
    case 0:
        pos -= kLineStep;
        break;
    case 1:
        pos += kLineStep;
        break;
    case 2:
        pos -= GetTimeWidth();
        break;
    case 3:
        pos += GetTimeWidth();
        break;
    case 4:
    case 5:
        pos = position;
        break;
    case 6:
        pos = 0;
        break;
    case 7:
        pos = GetTotalWidth() - GetTimeWidth();
        break;
    case 8:
        break;
    default:
        return;
    }
    SetScrollPos(pos);
    Repaint();
}

bool Timeline::CanZoomIn() const
{
    return !IsEmpty() && GetTimeWidth() > 2 * kMargin && m_scale < kMaxScale;
}

bool Timeline::CanScale() const
{
    return !IsEmpty() && GetTimeWidth() > 2 * kMargin && GetFitScale() < kMaxScale;
}

bool Timeline::CanZoomOut() const
{
    return !IsEmpty() && GetTimeWidth() > 2 * kMargin && GetFitScale() < m_scale;
}

void Timeline::Repaint()
{
    Update();
}

bool Timeline::HandleCommand(CommandEventBase& event)
{
    auto* update = dynamic_cast<UpdateCommandUIEvent*>(&event);
    bool enabled = false;
    switch (event.id) {
    case kFitInWindow:
    case kZoomOut:
        enabled = CanZoomOut();
        break;
    case kZoomIn:
        enabled = CanZoomIn();
        break;
    default:
        return false;
    }
    event.handled = true;
    if (update) {
        if (update->cmdui)
            update->cmdui->Enable(enabled);
        return true;
    }
    if (event.id == kFitInWindow)
        SetTimeScale(GetFitScale());
    else if (event.id == kZoomIn)
        SetTimeScale(2 * m_scale);
    else
        SetTimeScale(m_scale / 2);
    return true;
}

void Timeline::HandleSequenceEvent(My::Event& event)
{
    if (dynamic_cast<Sequence::OpenEvent*>(&event))
        OnOpen();
    else if (dynamic_cast<Sequence::CloseEvent*>(&event))
        OnClose();
    else if (dynamic_cast<Sequence::CurrentFrameChange*>(&event)) {
        if (m_sequence)
            SetCurrentFrame(m_sequence->GetCurrentFrame());
    } else if (dynamic_cast<Sequence::WorkAreaChange*>(&event))
        LoadWorkArea();
    Send(event);
}

void Timeline::OnEvent(My::Event& event)
{
    if (dynamic_cast<Sequence::Event*>(&event)) {
        HandleSequenceEvent(event);
        return;
    }
    if (dynamic_cast<TimerEvent*>(&event)) {
        AutoScrollStep(true);
        return;
    }
    if (auto* scroll = dynamic_cast<ScrollEvent*>(&event)) {
        Scroll(scroll->code, int(scroll->pos));
        return;
    }
    if (auto* command = dynamic_cast<CommandEventBase*>(&event))
        HandleCommand(*command);
    Container::OnEvent(event);
}

void Timeline::OnOpen()
{
    SetTimeScale(m_scale);
    SetTimeOffset(m_offset);
    UpdateScrollBar();
    SetTimeScale(GetFitScale());
    LoadWorkArea();
    SetTimeOffset(GetFirstFrame());
    if (m_sequence)
        SetCurrentFrame(m_sequence->GetCurrentFrame());
    Invalidate(CRect(CPoint(0, 0), GetSize()));
}

void Timeline::OnClose()
{
    m_scale = 1.0;
    m_offset = 0.0;
    m_workArea = {};
    m_cursor = -1;
    SetTimeScale(m_scale);
    SetTimeOffset(m_offset);
    UpdateScrollBar();
    Invalidate(CRect(CPoint(0, 0), GetSize()));
}

} // namespace My
