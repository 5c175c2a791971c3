#include "app/timeline/TimelineHandles.h"

#include "app/timeline/Timeline.h"
#include "document/composition/Layer.h"
#include "document/composition/Sequence.h"
#include "document/segments/Segment.h"

#include <algorithm>
#include <cmath>

namespace My {

namespace {

// One last auto-scroll step without a mouse move, then auto-scroll off.
void StopAutoScroll(Timeline& timeline)
{
    timeline.AutoScrollStep(false);
    timeline.SetAutoScroll(0);
}

} // namespace

bool WorkAreaDrag::Begin(Kind kind, int pressX)
{
    m_active = false;
    if (m_timeline.IsEmpty())
        return false;
    const Span area = m_timeline.GetWorkArea();
    m_kind = kind;
    m_pressX = pressX;
    m_length = area.last - area.first;
    m_handleX = m_timeline.TimeToX(kind == Right ? area.last : area.first);
    m_active = true;
    return true;
}

void WorkAreaDrag::Move(int x, int width)
{
    if (!m_active || m_timeline.IsEmpty())
        return;
    const int seqFirst = m_timeline.GetFirstFrame();
    const int seqEnd = seqFirst + m_timeline.GetFrameCount();
    const Span area = m_timeline.GetWorkArea();
    int handle = x - m_pressX + m_handleX;
    switch (m_kind) {
    case Left: {
        const int f = m_timeline.FrameAt(handle);
        m_timeline.SetWorkArea(std::max(std::min(f, area.last - 1), seqFirst), area.last);
        break;
    }
    case Right: {
        const int f = m_timeline.FrameAt(handle);
        m_timeline.SetWorkArea(area.first, std::min(std::max(f, area.first + 1), seqEnd));
        break;
    }
    case Grip: {
        handle = std::clamp(handle, m_timeline.TimeToX(seqFirst),
            std::max(m_timeline.TimeToX(seqFirst), m_timeline.TimeToX(seqEnd - m_length)));
        const int f = std::clamp(m_timeline.FrameAt(handle), seqFirst, seqEnd - m_length);
        m_timeline.SetWorkArea(f, f + m_length);
        break;
    }
    }
    m_timeline.SetAutoScroll(m_timeline.AutoScrollDistance(x, width));
}

void WorkAreaDrag::End()
{
    if (!m_active)
        return;
    m_active = false;
    m_timeline.CommitWorkArea();
    StopAutoScroll(m_timeline);
}

bool ScrubDrag::Begin(int pressX)
{
    m_active = false;
    if (m_timeline.IsEmpty())
        return false;
    m_timeline.SetCurrentFrame(int(std::floor(m_timeline.XToTime(pressX) + 0.5)));
    m_pressX = pressX;
    m_handleX = m_timeline.TimeToX(m_timeline.GetCurrentFrame());
    m_active = true;
    return true;
}

void ScrubDrag::Move(int x, int width)
{
    if (!m_active)
        return;
    m_timeline.SetCurrentFrame(m_timeline.FrameAt(x - m_pressX + m_handleX));
    m_timeline.SetAutoScroll(m_timeline.AutoScrollDistance(x, width));
}

void ScrubDrag::End()
{
    if (!m_active)
        return;
    m_active = false;
    StopAutoScroll(m_timeline);
    if (Sequence* sequence = m_timeline.GetSequence(); sequence && !m_timeline.IsEmpty())
        sequence->SetCurrentFrame(m_timeline.GetCurrentFrame());
}

LayerBar::LayerBar(Timeline& timeline)
    : m_timeline(timeline)
{
}

LayerBar::~LayerBar()
{
    SetLayer(nullptr);
}

void LayerBar::SetLayer(Layer* layer)
{
    if (m_layer)
        m_layer->RemoveListener(this);
    m_layer = layer;
    m_trim = { -1, -1 };
    m_drag = None;
    if (!m_layer)
        return;
    m_layer->AddListener(this);
    m_start = m_layer->GetStart();
    m_trim = m_layer->GetTrimming();
}

void LayerBar::OnEvent(Event& event)
{
    // The bar shows the layer as it stands. The limits that keep a drag
    // touching the sequence do not apply here: a project being read changes
    // its layer while the sequence is still closed and has no frames.
    if (m_layer && dynamic_cast<Layer::Event*>(&event)) {
        m_start = m_layer->GetStart();
        m_trim = m_layer->GetTrimming();
    }
}

bool LayerBar::IsActive() const
{
    return m_layer && !m_layer->IsEmpty();
}

void LayerBar::SetTrim(int first, int last)
{
    if (!IsActive())
        return;
    if (last < first)
        last = first;
    const int length = m_layer->GetLength();
    first = std::clamp(first, 0, length);
    last = std::clamp(last, 0, length);
    // The trimmed part keeps touching the sequence.
    const int count = m_timeline.GetFrameCount();
    first = std::min(first, count - m_start);
    last = std::max(last, -m_start);
    m_trim = { first, last };
}

void LayerBar::SetStart(int start)
{
    if (!IsActive())
        return;
    const int seqFirst = m_timeline.GetFirstFrame();
    const int count = m_timeline.GetFrameCount();
    const int low = seqFirst - m_trim.last;
    const int high = seqFirst + count - m_trim.first;
    m_start = std::max(std::min(start, high), low);
}

bool LayerBar::PressesFootage(int x) const
{
    if (!IsActive())
        return false;
    return x >= m_timeline.TimeToX(m_start) && x <= m_timeline.TimeToX(m_start + m_layer->GetLength());
}

bool LayerBar::BeginBracket(bool left, int pressX)
{
    m_drag = None;
    if (!IsActive())
        return false;
    m_pressX = pressX;
    m_handleX = m_timeline.TimeToX(m_start + (left ? m_trim.first : m_trim.last));
    m_drag = left ? LeftBracket : RightBracket;
    return true;
}

bool LayerBar::BeginBody(int pressX)
{
    m_drag = None;
    if (!PressesFootage(pressX))
        return false;
    m_pressX = pressX;
    m_handleX = m_timeline.TimeToX(m_start);
    m_startAtPress = m_start;
    m_absoluteAtPress = { m_start + m_trim.first, m_start + m_trim.last };
    const bool onTrimmed = pressX >= m_timeline.TimeToX(m_absoluteAtPress.first)
        && pressX <= m_timeline.TimeToX(m_absoluteAtPress.last);
    m_keepTrimming = !onTrimmed;
    m_drag = Body;
    return true;
}

void LayerBar::Move(int x, int width)
{
    if (m_drag == None || !IsActive())
        return;
    const int f = m_timeline.FrameAt(x - m_pressX + m_handleX);
    switch (m_drag) {
    case LeftBracket:
        SetTrim(std::min(f - m_start, m_trim.last), m_trim.last);
        break;
    case RightBracket:
        SetTrim(m_trim.first, std::max(f - m_start, m_trim.first));
        break;
    case Body:
        if (m_keepTrimming) {
            // The trimmed part stays at the same sequence frames while the
            // footage slides under it.
            const int length = m_layer->GetLength();
            const int g = std::max(std::min(f, m_absoluteAtPress.first), m_absoluteAtPress.last - length);
            SetTrim(m_absoluteAtPress.first - g, m_absoluteAtPress.last - g);
            SetStart(g);
        } else
            SetStart(f);
        break;
    case None:
        break;
    }
    m_timeline.SetAutoScroll(m_timeline.AutoScrollDistance(x, width));
}

void LayerBar::End()
{
    if (m_drag == None)
        return;
    const auto drag = m_drag;
    m_drag = None;
    if (IsActive()) {
        const int oldStart = m_layer->GetStart();
        const Span oldTrim = m_layer->GetTrimming();
        const int start = m_start;
        const Span trim = m_trim;
        if (drag == Body) {
            m_layer->SetStart(start);
            if (m_keepTrimming)
                m_layer->SetTrimming(trim.first, trim.last);
        } else
            m_layer->SetTrimming(trim.first, trim.last);
        if ((m_layer->GetStart() != oldStart || !(m_layer->GetTrimming() == oldTrim)) && m_edited)
            m_edited();
    }
    StopAutoScroll(m_timeline);
}

void SegmentBar::SetSegment(Segment* segment)
{
    m_segment = segment;
    m_drag = None;
    LoadSpan();
}

void SegmentBar::LoadSpan()
{
    if (!m_segment)
        return;
    StorePending(m_segment->GetTimeSpan());
}

bool SegmentBar::StorePending(Span span)
{
    const int low = m_timeline.GetFirstFrame();
    const int high = low + m_timeline.GetFrameCount();
    if (!m_timeline.IsEmpty()) {
        span.first = std::clamp(span.first, low, high);
        span.last = std::clamp(span.last, low, high);
    }
    if (span == m_pending)
        return false;
    m_pending = span;
    return true;
}

int SegmentBar::TimeToX(double t, int w) const
{
    const TimeAxis axis = m_timeline.GetAxis();
    if (w <= 2 * axis.margin || axis.IsDegenerate())
        return axis.margin;
    return RoundHalfAway(axis.margin + (t - axis.offset) * (w - 2 * axis.margin) / axis.VisibleFrames());
}

int SegmentBar::FrameAt(int x, int w) const
{
    const TimeAxis axis = m_timeline.GetAxis();
    if (w <= 2 * axis.margin || axis.IsDegenerate())
        return RoundHalfAway(axis.offset);
    return RoundHalfAway(
        axis.offset + double(x - axis.margin) * axis.VisibleFrames() / (w - 2 * axis.margin));
}

bool SegmentBar::BeginBracket(bool left, int pressX, int width)
{
    m_drag = None;
    if (!m_segment || m_segment->IsProcessing() || m_timeline.IsEmpty())
        return false;
    LoadSpan();
    m_pressX = pressX;
    m_handleX = TimeToX(left ? m_pending.first : m_pending.last, width);
    m_drag = left ? Left : Right;
    return true;
}

void SegmentBar::Move(int x, int width)
{
    if (m_drag == None || !m_segment)
        return;
    const int f = FrameAt(x - m_pressX + m_handleX, width);
    const int key = m_segment->GetKeyFrame();
    Span span = m_pending;
    if (m_drag == Left)
        span.first = std::min(f, key);
    else
        span.last = std::max(f, key + 1);
    StorePending(span);
    // The view shows the frame under the dragged bracket.
    if (Sequence* sequence = m_timeline.GetSequence())
        sequence->SetPreviewFrame(m_drag == Left ? m_pending.first : m_pending.last);
    m_timeline.SetAutoScroll(m_timeline.AutoScrollDistance(x, width));
}

void SegmentBar::End()
{
    if (m_drag == None)
        return;
    m_drag = None;
    if (Sequence* sequence = m_timeline.GetSequence(); sequence && !m_timeline.IsEmpty())
        sequence->SetPreviewFrame(m_timeline.GetCurrentFrame());
    if (m_segment)
        m_segment->SetTimeSpan(m_pending.first, m_pending.last);
    StopAutoScroll(m_timeline);
}

} // namespace My
