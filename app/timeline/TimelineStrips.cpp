#include "app/timeline/TimelineStrips.h"

#include "app/timeline/Timeline.h"
#include "app/timeline/TimelineGlyphs.h"
#include "document/composition/Sequence.h"
#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Strings.h"

#include <algorithm>
#include <cmath>

namespace My {

namespace {

void Line(CDC& dc, int x1, int y1, int x2, int y2, COLORREF color)
{
    CPen pen(PS_SOLID, 1, color);
    CPen* old = dc.SelectObject(&pen);
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
    dc.SelectObject(old);
}

// A glyph's rectangle placed against a point (alignment codes).
CRect PlaceGlyph(const Glyph& glyph, int x, int y, unsigned code)
{
    return place_rect(glyph.GetSize(), CPoint(x, y), code);
}

void DrawGlyph(CDC& dc, const Glyph& glyph, const CRect& r)
{
    glyph.Draw(dc, r.left, r.top);
}

bool IsRepaintEvent(Event& event)
{
    return dynamic_cast<Timeline::Event*>(&event) || dynamic_cast<Sequence::Event*>(&event);
}

constexpr unsigned kLeftEdgeAt = 0x11;
constexpr unsigned kRightEdgeAt = 0x12;
constexpr unsigned kCentredAt = 0x13;

} // namespace

bool StripHandle::BeginDrag(UINT, const CPoint& press, const CPoint&)
{
    return Begin(ParentX(press));
}

void StripHandle::Drag(UINT, const CPoint& point)
{
    Move(ParentX(point), ParentWidth());
}

void StripHandle::EndDrag(UINT, const CPoint&)
{
    End();
}

int StripHandle::ParentWidth() const
{
    const Container* parent = GetContainer();
    return parent ? parent->GetSize().cx : 0;
}

// The time ruler.

void ScrubbingStrip::OnLeftDown(UINT flags, const CPoint& point)
{
    Container::OnLeftDown(flags, point);
    m_scrubbing = m_scrub.Begin(point.x);
}

bool ScrubbingStrip::BeginDrag(UINT, const CPoint&, const CPoint&)
{
    return m_scrubbing;
}

void ScrubbingStrip::Drag(UINT, const CPoint& point)
{
    m_scrub.Move(point.x, GetSize().cx);
}

void ScrubbingStrip::EndDrag(UINT, const CPoint&)
{
    m_scrubbing = false;
    m_scrub.End();
}

void ScrubbingStrip::OnLeftUp(UINT flags, const CPoint& point)
{
    const bool dragged = IsDragging();
    Container::OnLeftUp(flags, point);
    if (!dragged && m_scrubbing) {
        m_scrubbing = false;
        m_scrub.End();
    }
}

TimeRuler::TimeRuler(Timeline* timeline)
    : ScrubbingStrip(*timeline)
    , m_timeline(timeline)
{
}

TimeRuler::~TimeRuler() = default;

int TimeRuler::MeasureText(const std::string& text) const
{
    if (m_measurer)
        return m_measurer(text);
    CWnd* wnd = GetWnd();
    if (!wnd)
        return int(text.size()) * 7;
    CClientDC dc(wnd);
    CFont* font = GetFont();
    CFont* old = font ? dc.SelectObject(font) : nullptr;
    const int width = dc.GetTextExtent(text).cx;
    if (font)
        dc.SelectObject(old);
    return width;
}

void TimeRuler::UpdateStep()
{
    if (m_timeline->IsEmpty())
        m_step = 1;
    else
        m_step = RulerStep(m_timeline->GetTimeOffset(), m_timeline->GetTimeScale(),
            [this](const std::string& text) { return MeasureText(text); });
    Invalidate(CRect(CPoint(0, 0), GetSize()));
}

CSize TimeRuler::GetPreferredSize() const
{
    int height = 13;
    if (CWnd* wnd = GetWnd()) {
        CClientDC dc(wnd);
        CFont* font = GetFont();
        CFont* old = font ? dc.SelectObject(font) : nullptr;
        height = dc.GetTextExtent("A").cy;
        if (font)
            dc.SelectObject(old);
    }
    return CSize(0, height + 8);
}

std::string TimeRuler::GetToolTipText() const
{
    return LoadString(57010);
}

void TimeRuler::Draw(CDC& dc, const CRect& clip)
{
    const CSize size = GetSize();
    // Labels and the current frame's cell near an end stay inside the
    // ruler, off the name column's header.
    ClipRegionScope inside(dc, *this, CRect(CPoint(), size));
    dc.FillSolidRect(0, 0, size.cx, size.cy, GetSysColor(COLOR_BTNFACE));
    Line(dc, 0, 0, size.cx, 0, GetSysColor(COLOR_BTNHIGHLIGHT));
    Line(dc, 0, size.cy - 1, size.cx, size.cy - 1, GetSysColor(COLOR_BTNSHADOW));
    if (m_timeline->IsEmpty())
        return;
    const int cursor = m_timeline->GetCurrentFrame();
    const int x1 = m_timeline->TimeToX(cursor);
    const int x2 = m_timeline->TimeToX(cursor + 1);
    dc.FillSolidRect(x1, 1, std::max(1, x2 - x1), size.cy - 2, 0xFFF2F2);
    dc.SetTextColor(0);
    dc.SetBkMode(TRANSPARENT);
    const TimeAxis axis = m_timeline->GetAxis();
    for (int f : RulerTicks(
             axis, m_step, clip.left, clip.right, m_timeline->GetFirstFrame(), m_timeline->GetFrameCount())) {
        const int x = axis.TimeToX(f);
        Line(dc, x, 1, x, 4, 0);
        const std::string label = RulerLabel(f);
        const CSize extent = dc.GetTextExtent(label);
        dc.TextOut(x - extent.cx / 2, 4, label);
    }
}

void TimeRuler::OnEvent(Event& event)
{
    if (dynamic_cast<Sequence::PreviewFrameChange*>(&event)) {
        Invalidate(CRect(CPoint(0, 0), GetSize()));
        return;
    }
    if (dynamic_cast<Sequence::Event*>(&event) || dynamic_cast<Timeline::TimeScaleChange*>(&event)) {
        UpdateStep();
        return;
    }
    if (IsRepaintEvent(event)) {
        Invalidate(CRect(CPoint(0, 0), GetSize()));
        return;
    }
    Container::OnEvent(event);
}

// The thumb line.

class ThumbLine::WorkAreaHandle : public StripHandle {
public:
    WorkAreaHandle(ThumbLine& line, WorkAreaDrag::Kind kind, std::string tooltip)
        : StripHandle(std::move(tooltip))
        , m_line(line)
        , m_kind(kind)
        , m_drag(*line.m_timeline)
    {
    }

protected:
    CRect Place() const override
    {
        const Timeline& t = *m_line.m_timeline;
        if (t.IsEmpty())
            return {};
        const Span area = t.GetWorkArea();
        switch (m_kind) {
        case WorkAreaDrag::Left:
            return PlaceGlyph(m_line.m_left, t.TimeToX(area.first), 3, kRightEdgeAt);
        case WorkAreaDrag::Right:
            return PlaceGlyph(m_line.m_right, t.TimeToX(area.last), 3, kLeftEdgeAt);
        case WorkAreaDrag::Grip:
            if (!m_line.IsGripShown())
                return {};
            return PlaceGlyph(m_line.m_grip, t.TimeToX((area.first + area.last) * 0.5), 4, kCentredAt);
        }
        return {};
    }
    bool Begin(int x) override { return m_drag.Begin(m_kind, x); }
    void Move(int x, int width) override
    {
        m_drag.Move(x, width);
        m_line.m_timeline->Update();
    }
    void End() override { m_drag.End(); }

private:
    ThumbLine& m_line;
    WorkAreaDrag::Kind m_kind;
    WorkAreaDrag m_drag;
};

class ThumbLine::Thumb : public StripHandle {
public:
    explicit Thumb(ThumbLine& line)
        : StripHandle(LoadString(57004))
        , m_line(line)
        , m_drag(*line.m_timeline)
    {
    }

protected:
    CRect Place() const override
    {
        const Timeline& t = *m_line.m_timeline;
        if (t.IsEmpty())
            return {};
        return PlaceGlyph(m_line.m_thumb, t.TimeToX(t.GetCurrentFrame()), -1, kCentredAt);
    }
    bool Begin(int x) override
    {
        // The press keeps the thumb where it is: scrub relative to it.
        const Timeline& t = *m_line.m_timeline;
        return m_drag.Begin(t.TimeToX(t.GetCurrentFrame()))
            && (m_offset = x - t.TimeToX(t.GetCurrentFrame()), true);
    }
    void Move(int x, int width) override { m_drag.Move(x - m_offset, width); }
    void End() override { m_drag.End(); }

private:
    ThumbLine& m_line;
    ScrubDrag m_drag;
    int m_offset = 0;
};

ThumbLine::ThumbLine(Timeline* timeline)
    : ScrubbingStrip(*timeline)
    , m_timeline(timeline)
{
    AddTimelineGlyphs();
    m_thumb.Load("Thumb", "ThumbMask");
    m_left.Load("WALeft", "WALeftMask");
    m_right.Load("WARight", "WARightMask");
    m_grip.Load("WAThumb", "");
    m_handles.push_back(std::make_unique<WorkAreaHandle>(*this, WorkAreaDrag::Grip, LoadString(57009)));
    m_handles.push_back(std::make_unique<WorkAreaHandle>(*this, WorkAreaDrag::Left, LoadString(57007)));
    m_handles.push_back(std::make_unique<WorkAreaHandle>(*this, WorkAreaDrag::Right, LoadString(57008)));
    m_handles.push_back(std::make_unique<Thumb>(*this));
    for (auto& handle : m_handles)
        AddChild(handle.get());
}

ThumbLine::~ThumbLine()
{
    for (auto& handle : m_handles)
        RemoveChild(handle.get());
}

bool ThumbLine::IsGripShown() const
{
    if (m_timeline->IsEmpty())
        return false;
    const Span area = m_timeline->GetWorkArea();
    const int first = m_timeline->GetFirstFrame();
    if (area.first == first && area.last == first + m_timeline->GetFrameCount())
        return false;
    return m_timeline->TimeToX(area.last) - m_timeline->TimeToX(area.first) > m_grip.GetWidth() + 4;
}

void ThumbLine::Draw(CDC& dc, const CRect&)
{
    const CSize size = GetSize();
    // Across the strip's width only; the thumb's top reaches one pixel
    // above it.
    ClipRegionScope inside(dc, *this, CRect(0, -1, size.cx, size.cy));
    dc.FillSolidRect(0, 0, size.cx, size.cy, GetSysColor(COLOR_BTNFACE));
    const bool open = !m_timeline->IsEmpty();
    const int first = m_timeline->GetFirstFrame();
    const int x1 = open ? m_timeline->TimeToX(first) : Timeline::kMargin;
    const int x2
        = open ? m_timeline->TimeToX(first + m_timeline->GetFrameCount()) : size.cx - Timeline::kMargin;
    // The groove.
    const int y = 4;
    Line(dc, x1, y, x2, y, GetSysColor(COLOR_BTNSHADOW));
    Line(dc, x1, y + 1, x2, y + 1, GetSysColor(COLOR_3DDKSHADOW));
    Line(dc, x1, size.cy - 2, x2, size.cy - 2, GetSysColor(COLOR_BTNFACE));
    Line(dc, x1, size.cy - 1, x2, size.cy - 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    if (!open)
        return;
    dc.FillSolidRect(x1, 4, x2 - x1, size.cy - 4, GetSysColor(COLOR_BTNHIGHLIGHT));
    const Span area = m_timeline->GetWorkArea();
    const int a1 = m_timeline->TimeToX(area.first);
    const int a2 = m_timeline->TimeToX(area.last);
    dc.FillSolidRect(a1, 4, a2 - a1, size.cy - 4, mix_sys_colors(COLOR_BTNFACE, COLOR_BTNHIGHLIGHT));
    Line(dc, a1, 4, a2, 4, GetSysColor(COLOR_BTNSHADOW));
    if (IsGripShown())
        DrawGlyph(dc, m_grip,
            PlaceGlyph(m_grip, m_timeline->TimeToX((area.first + area.last) * 0.5), 4, kCentredAt));
    DrawGlyph(dc, m_left, PlaceGlyph(m_left, a1, 3, kRightEdgeAt));
    DrawGlyph(dc, m_right, PlaceGlyph(m_right, a2, 3, kLeftEdgeAt));
    DrawGlyph(
        dc, m_thumb, PlaceGlyph(m_thumb, m_timeline->TimeToX(m_timeline->GetCurrentFrame()), -1, kCentredAt));
}

void ThumbLine::OnEvent(Event& event)
{
    if (IsRepaintEvent(event)) {
        if (!dynamic_cast<Sequence::PreviewFrameChange*>(&event))
            Invalidate(CRect(CPoint(0, 0), GetSize()));
        return;
    }
    Container::OnEvent(event);
}

// The navigator.

int Navigator::NavTimeToX(double t) const
{
    return NavigatorAxis { GetSize().cx, Timeline::kMargin, m_timeline->GetFirstFrame(),
        m_timeline->GetFrameCount() }
        .TimeToX(t);
}

double Navigator::NavXToTime(int x) const
{
    return NavigatorAxis { GetSize().cx, Timeline::kMargin, m_timeline->GetFirstFrame(),
        m_timeline->GetFrameCount() }
        .XToTime(x);
}

class Navigator::Bracket : public StripHandle {
public:
    Bracket(Navigator& nav, bool left)
        : StripHandle(LoadString(left ? 57001 : 57002))
        , m_nav(nav)
        , m_left(left)
    {
    }

protected:
    CRect Place() const override
    {
        const Timeline& t = *m_nav.m_timeline;
        if (t.IsEmpty() || t.GetTimeWidth() <= 2 * Timeline::kMargin)
            return {};
        const double t0 = t.GetTimeOffset();
        if (m_left)
            return PlaceGlyph(m_nav.m_visibleLeft, m_nav.NavTimeToX(t0), 0, kRightEdgeAt);
        return PlaceGlyph(
            m_nav.m_visibleRight, m_nav.NavTimeToX(t0 + t.GetAxis().VisibleFrames()), 0, kLeftEdgeAt);
    }
    bool Begin(int x) override
    {
        Timeline& t = *m_nav.m_timeline;
        if (t.IsEmpty())
            return false;
        const double w = t.GetTimeWidth();
        m_t0 = t.GetTimeOffset();
        m_end = m_t0 + t.GetAxis().VisibleFrames();
        m_pressX = x;
        if (m_left) {
            m_handleX = m_nav.NavTimeToX(m_t0);
            m_low = Timeline::kMargin;
            m_high = m_nav.NavTimeToX(m_end - 0.02 * w);
        } else {
            m_handleX = m_nav.NavTimeToX(m_end);
            m_low = m_nav.NavTimeToX(m_t0 + 0.02 * w);
            m_high = m_nav.GetSize().cx - Timeline::kMargin;
        }
        return true;
    }
    void Move(int x, int) override
    {
        Timeline& t = *m_nav.m_timeline;
        const int handle
            = std::clamp(x - m_pressX + m_handleX, std::min(m_low, m_high), std::max(m_low, m_high));
        const double w = t.GetTimeWidth();
        if (m_left) {
            // The right end of the visible area stays where it was.
            const double time = m_nav.NavXToTime(handle);
            t.SetTimeScale(time >= m_end ? Timeline::kMaxScale : w / (m_end - time));
            t.SetTimeOffset(m_end - w / t.GetTimeScale());
        } else {
            const double d = m_nav.NavXToTime(handle) - m_t0;
            t.SetTimeScale(d <= 0 ? Timeline::kMaxScale : w / d);
            t.SetTimeOffset(m_t0);
        }
        t.Update();
    }
    void End() override { }

private:
    Navigator& m_nav;
    bool m_left;
    double m_t0 = 0;
    double m_end = 0;
    int m_pressX = 0;
    int m_handleX = 0;
    int m_low = 0;
    int m_high = 0;
};

class Navigator::Bar : public StripHandle {
public:
    explicit Bar(Navigator& nav)
        : StripHandle(LoadString(57003))
        , m_nav(nav)
    {
    }

protected:
    CRect Place() const override
    {
        const Timeline& t = *m_nav.m_timeline;
        if (t.IsEmpty() || t.GetTimeWidth() <= 2 * Timeline::kMargin)
            return {};
        const double t0 = t.GetTimeOffset();
        return CRect(
            m_nav.NavTimeToX(t0), 0, m_nav.NavTimeToX(t0 + t.GetAxis().VisibleFrames()), m_nav.GetSize().cy);
    }
    bool Begin(int x) override
    {
        if (m_nav.m_timeline->IsEmpty())
            return false;
        m_pressX = x;
        m_handleX = m_nav.NavTimeToX(m_nav.m_timeline->GetTimeOffset());
        return true;
    }
    void Move(int x, int) override
    {
        m_nav.m_timeline->SetTimeOffset(m_nav.NavXToTime(x - m_pressX + m_handleX));
        m_nav.m_timeline->Update();
    }
    void End() override { }

private:
    Navigator& m_nav;
    int m_pressX = 0;
    int m_handleX = 0;
};

class Navigator::Thumb : public StripHandle {
public:
    explicit Thumb(Navigator& nav)
        : StripHandle(LoadString(57004))
        , m_nav(nav)
    {
    }

protected:
    CRect Place() const override
    {
        const Timeline& t = *m_nav.m_timeline;
        if (t.IsEmpty())
            return {};
        return PlaceGlyph(m_nav.m_thumb, m_nav.NavTimeToX(t.GetCurrentFrame()), 0, kCentredAt);
    }
    bool Begin(int x) override
    {
        if (m_nav.m_timeline->IsEmpty())
            return false;
        m_pressX = x;
        m_handleX = m_nav.NavTimeToX(m_nav.m_timeline->GetCurrentFrame());
        return true;
    }
    void Move(int x, int) override
    {
        m_nav.m_timeline->SetCurrentFrame(RoundHalfAway(m_nav.NavXToTime(x - m_pressX + m_handleX)));
    }
    void End() override
    {
        Timeline& t = *m_nav.m_timeline;
        if (Sequence* sequence = t.GetSequence(); sequence && !t.IsEmpty())
            sequence->SetCurrentFrame(t.GetCurrentFrame());
    }

private:
    Navigator& m_nav;
    int m_pressX = 0;
    int m_handleX = 0;
};

Navigator::Navigator(Timeline* timeline)
    : m_timeline(timeline)
{
    AddTimelineGlyphs();
    m_thumb.Load("NAVTHUMB", "NAVTHUMBMASK");
    m_waLeft.Load("NAVWALEFT", "NAVWALEFTMASK");
    m_waRight.Load("NAVWARIGHT", "NAVWARIGHTMASK");
    m_visibleLeft.Load("NAVVISIBLELEFT", "NAVVISIBLELEFTMASK");
    m_visibleRight.Load("NAVVISIBLERIGHT", "NAVVISIBLERIGHTMASK");
    m_handles.push_back(std::make_unique<Bar>(*this));
    m_handles.push_back(std::make_unique<Bracket>(*this, true));
    m_handles.push_back(std::make_unique<Bracket>(*this, false));
    m_handles.push_back(std::make_unique<Thumb>(*this));
    for (auto& handle : m_handles)
        AddChild(handle.get());
}

Navigator::~Navigator()
{
    for (auto& handle : m_handles)
        RemoveChild(handle.get());
}

std::string Navigator::GetToolTipText() const
{
    return LoadString(57006);
}

void Navigator::Draw(CDC& dc, const CRect&)
{
    const CSize size = GetSize();
    ClipRegionScope inside(dc, *this, CRect(CPoint(), size));
    dc.FillSolidRect(0, 0, size.cx, size.cy, GetSysColor(COLOR_BTNFACE));
    if (m_timeline->IsEmpty())
        return;
    const int m = Timeline::kMargin;
    dc.FillSolidRect(m, 0, size.cx - 2 * m, size.cy, mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
    const double t0 = m_timeline->GetTimeOffset();
    const int v1 = NavTimeToX(t0);
    const int v2 = NavTimeToX(t0 + m_timeline->GetAxis().VisibleFrames());
    dc.FillSolidRect(v1, 0, v2 - v1, size.cy, GetSysColor(COLOR_BTNHIGHLIGHT));
    const Span area = m_timeline->GetWorkArea();
    const int a1 = NavTimeToX(area.first);
    const int a2 = NavTimeToX(area.last);
    dc.FillSolidRect(a1, 4, a2 - a1, size.cy - 4, mix_sys_colors(COLOR_BTNFACE, COLOR_BTNHIGHLIGHT));
    Line(dc, a1, 4, a2, 4, GetSysColor(COLOR_BTNSHADOW));
    DrawGlyph(dc, m_waLeft, PlaceGlyph(m_waLeft, a1, 0, kRightEdgeAt));
    DrawGlyph(dc, m_waRight, PlaceGlyph(m_waRight, a2, 0, kLeftEdgeAt));
    DrawGlyph(dc, m_visibleLeft, PlaceGlyph(m_visibleLeft, v1, 0, kRightEdgeAt));
    DrawGlyph(dc, m_visibleRight, PlaceGlyph(m_visibleRight, v2, 0, kLeftEdgeAt));
    DrawGlyph(dc, m_thumb, PlaceGlyph(m_thumb, NavTimeToX(m_timeline->GetCurrentFrame()), 0, kCentredAt));
}

void Navigator::OnEvent(Event& event)
{
    if (IsRepaintEvent(event)) {
        if (!dynamic_cast<Sequence::PreviewFrameChange*>(&event))
            Invalidate(CRect(CPoint(0, 0), GetSize()));
        return;
    }
    Container::OnEvent(event);
}

} // namespace My
