#pragma once

// The strips above the timeline's rows: the navigator (the whole sequence
// and its visible part), the thumb line (work area and current-frame thumb)
// and the time ruler (frame labels at a step that fits the zoom). Each
// reads and writes the timeline's state; their handles are child controls
// that follow the pointer while dragged. UI thread only.

#include "app/timeline/RulerSteps.h"
#include "app/timeline/TimelineHandles.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/Container.h"
#include "widgets/core/Widget.h"

#include <memory>
#include <string>
#include <vector>

namespace My {

class Timeline;

// A handle of a strip: its bounds follow the timeline; its drag works in
// the strip's coordinates.
class StripHandle : public virtual Control {
public:
    explicit StripHandle(std::string tooltip)
        : m_tooltip(std::move(tooltip))
    {
    }
    CRect GetBounds() const override { return Place(); }
    bool IsVisible() const override { return !Place().IsRectEmpty(); }
    std::string GetToolTipText() const override { return m_tooltip; }
    bool OnCursor(UINT, const CPoint&) override { return false; }
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;
    void EndDrag(UINT flags, const CPoint& point) override;

protected:
    // Empty when the handle is not shown.
    virtual CRect Place() const = 0;
    virtual bool Begin(int x) = 0;
    virtual void Move(int x, int width) = 0;
    virtual void End() = 0;

private:
    int ParentX(const CPoint& p) const { return p.x + GetBounds().left; }
    int ParentWidth() const;

    std::string m_tooltip;
};

// A strip that scrubs: a press that its scrub accepts sets the current
// frame and a drag moves it; a press released without a drag ends the
// scrub too.
class ScrubbingStrip : public Widget, public Container {
public:
    explicit ScrubbingStrip(Timeline& timeline)
        : m_scrub(timeline)
    {
    }
    void OnLeftDown(UINT flags, const CPoint& point) override;
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;
    void EndDrag(UINT flags, const CPoint& point) override;
    void OnLeftUp(UINT flags, const CPoint& point) override;

private:
    ScrubDrag m_scrub;
    bool m_scrubbing = false;
};

class TimeRuler : public ScrubbingStrip {
public:
    static constexpr int kThumbWidth = 15;

    explicit TimeRuler(Timeline* timeline);
    ~TimeRuler() override;

    int GetStep() const { return m_step; }
    // Recomputes the label step with the ruler's font (or the measurer).
    void UpdateStep();
    // Widths of label texts; the ruler's font when none is set.
    void SetMeasurer(TextMeasurer measurer) { m_measurer = std::move(measurer); }

    CSize GetPreferredSize() const override;
    std::string GetToolTipText() const override;
    bool OnCursor(UINT, const CPoint&) override { return false; }
    void Draw(CDC& dc, const CRect& clip) override;
    void OnEvent(Event& event) override;

private:
    int MeasureText(const std::string& text) const;

    Timeline* m_timeline;
    int m_step = 1;
    TextMeasurer m_measurer;
};

class ThumbLine : public ScrubbingStrip {
public:
    explicit ThumbLine(Timeline* timeline);
    ~ThumbLine() override;

    std::string GetToolTipText() const override { return {}; }
    bool OnCursor(UINT, const CPoint&) override { return false; }
    void Draw(CDC& dc, const CRect& clip) override;
    void OnEvent(Event& event) override;

    // Whether the grip shows: a work area narrower than the sequence and
    // wider than the grip glyph + 4 pixels.
    bool IsGripShown() const;

private:
    class WorkAreaHandle;
    class Thumb;
    friend class WorkAreaHandle;
    friend class Thumb;

    Timeline* m_timeline;
    SysColorGlyph m_thumb;
    SysColorGlyph m_left;
    SysColorGlyph m_right;
    SysColorGlyph m_grip;
    std::vector<std::unique_ptr<StripHandle>> m_handles;
};

class Navigator : public Widget, public Container {
public:
    explicit Navigator(Timeline* timeline);
    ~Navigator() override;

    std::string GetToolTipText() const override;
    bool OnCursor(UINT, const CPoint&) override { return false; }
    void Draw(CDC& dc, const CRect& clip) override;
    void OnEvent(Event& event) override;

    int NavTimeToX(double t) const;
    double NavXToTime(int x) const;

private:
    class Bracket;
    class Bar;
    class Thumb;
    friend class Bracket;
    friend class Bar;
    friend class Thumb;

    Timeline* m_timeline;
    SysColorGlyph m_thumb;
    SysColorGlyph m_waLeft;
    SysColorGlyph m_waRight;
    SysColorGlyph m_visibleLeft;
    SysColorGlyph m_visibleRight;
    std::vector<std::unique_ptr<StripHandle>> m_handles;
};

} // namespace My
