#pragma once

// The time axis of the timeline panel: attached to one sequence, it owns the
// mapping between frames and pixels, the visible time window (time offset and
// time scale), the timeline cursor, a working copy of the work area and the
// auto-scroll of dragged handles. Every timeline control reads its geometry
// from here and writes its edits through here.
//
// Every query has a defined empty value while no sequence is attached, the
// sequence is empty, or the time area is 30 pixels wide or less (no room
// between its margins); every setter then does nothing. UI thread only.

#include "app/timeline/TimeAxis.h"
#include "foundation/numbers/span.h"
#include "widgets/core/Container.h"
#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"
#include "widgets/core/Timer.h"
#include "widgets/core/Widget.h"

#include <cstdint>
#include <memory>

namespace My {

class Navigator;
class ScrollBar;
class Sequence;
class ThumbLine;
class TimeRuler;
class TimeScaleIn;
class TimeScaleOut;
class TimeSlider;

class Timeline : public Widget, public Container, public EventDispatcher {
public:
    class Event : public My::Event {
    public:
        explicit Event(Timeline* source_)
            : source(source_)
        {
        }
        Timeline* source;
    };
    class Attached : public Event {
    public:
        using Event::Event;
    };
    class Detached : public Event {
    public:
        using Event::Event;
    };
    class CurrentFrameChange : public Event {
    public:
        using Event::Event;
    };
    class WorkAreaChange : public Event {
    public:
        using Event::Event;
    };
    class TimeScaleChange : public Event {
    public:
        using Event::Event;
    };
    class TimeOffsetChange : public Event {
    public:
        using Event::Event;
    };

    // What the horizontal scroll bar shows, in pixels of the whole sequence.
    struct ScrollInfo {
        int min = 0;
        int max = 0;
        int page = 0;
        int pos = 0;
        int trackPos = 0;
    };

    static constexpr int kMargin = 15;
    static constexpr double kMaxScale = 50.0;
    static constexpr int kLineStep = 50;
    static constexpr std::uint32_t kFitInWindow = 50036;
    static constexpr std::uint32_t kZoomIn = 50037;
    static constexpr std::uint32_t kZoomOut = 50038;

    Timeline();
    // Detaches from the sequence first.
    ~Timeline() override;
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // Width of the time area W: the time ruler's width.
    virtual int GetTimeWidth() const { return m_timeWidth; }
    // Sets W (the layout of the ruler calls it) and re-clamps scale and
    // offset.
    void SetTimeWidth(int width);
    // Ruler height + the horizontal scroll-bar height + 21.
    CSize GetPreferredSize() const override;
    // Navigator, thumb line and ruler across W; the bottom line with the
    // zoom controls and the scroll bar.
    void Layout() override;
    // The system's horizontal scroll-bar height, at least 12 pixels (a
    // theme may report 0).
    static int GetScrollBarHeight();

    Navigator& GetNavigator() const { return *m_navigator; }
    ThumbLine& GetThumbLine() const { return *m_thumbLine; }
    TimeRuler& GetRuler() const { return *m_ruler; }
    TimeSlider& GetSlider() const { return *m_slider; }
    TimeScaleIn& GetZoomIn() const { return *m_zoomIn; }
    TimeScaleOut& GetZoomOut() const { return *m_zoomOut; }
    ScrollBar& GetScrollBar() const { return *m_scrollBar; }
    virtual void OnOpen();
    virtual void OnClose();
    void OnSize(int width, int height) override;

    // The sequence is not owned and must outlive its attachment.
    void SetSequence(Sequence* sequence);
    Sequence* GetSequence() const { return m_sequence; }

    // Mapping, in the timeline's own coordinates.
    TimeAxis GetAxis() const;
    double XToTime(int x) const { return GetAxis().XToTime(x); }
    int TimeToX(double t) const { return GetAxis().TimeToX(t); }
    int FrameAt(int x) const { return GetAxis().FrameAt(x); }
    int GetMargin() const { return kMargin; }

    bool IsEmpty() const;
    int GetFirstFrame() const;
    int GetFrameCount() const;
    double GetFitScale() const;
    int GetTotalWidth() const;
    int GetScrollPos() const;
    double GetTimeScale() const { return m_scale; }
    double GetTimeOffset() const { return m_offset; }
    int GetCurrentFrame() const { return m_cursor; }

    Span GetWorkArea() const;
    // Only the timeline's copy; CommitWorkArea writes it to the sequence.
    void SetWorkArea(int first, int last);
    void LoadWorkArea();
    void CommitWorkArea();

    void SetTimeScale(double scale);
    void SetTimeOffset(double offset);
    void SetScrollPos(int pixels);
    void UpdateScrollBar();
    const ScrollInfo& GetScrollInfo() const { return m_scrollInfo; }
    // Clamps into the sequence; a new cursor is announced and becomes the
    // sequence's preview frame.
    void SetCurrentFrame(int frame);

    // Pixels per timer tick while a handle is dragged beyond the time area.
    void SetAutoScroll(int step);
    int GetAutoScroll() const { return m_autoScroll; }
    // One auto-scroll step; with resend, the pointer's position is sent again
    // as a mouse move so that the dragged handle follows the scrolled axis.
    void AutoScrollStep(bool resend);
    // The step for a pointer at x over a control `width` pixels wide.
    int AutoScrollDistance(int x, int width) const;

    // Scrolls by an SB_ code (0 .. 8) and position, as the scroll bar asks.
    void Scroll(std::uint32_t code, int position);
    // Zoom state of the three commands and the zoom buttons.
    bool CanZoomIn() const;
    // Whether the slider has scales to choose from: a non-empty sequence
    // whose fit scale is below the maximum.
    bool CanScale() const;
    bool CanZoomOut() const;

    void OnEvent(My::Event& event) override;

protected:
    // Repaints the host window at once (after a scroll or a zoom drag).
    void Repaint();

private:
    bool HandleCommand(CommandEventBase& event);
    void HandleSequenceEvent(My::Event& event);

    Sequence* m_sequence = nullptr;
    int m_cursor = -1;
    Span m_workArea;
    double m_scale = 1.0;
    double m_offset = 0.0;
    int m_autoScroll = 0;
    int m_timeWidth = 0;
    ScrollInfo m_scrollInfo;
    Timer m_timer;
    std::unique_ptr<ScrollBar> m_scrollBar;
    std::unique_ptr<Navigator> m_navigator;
    std::unique_ptr<ThumbLine> m_thumbLine;
    std::unique_ptr<TimeRuler> m_ruler;
    std::unique_ptr<TimeSlider> m_slider;
    std::unique_ptr<TimeScaleIn> m_zoomIn;
    std::unique_ptr<TimeScaleOut> m_zoomOut;
};

} // namespace My
