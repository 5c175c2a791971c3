#pragma once

// What the timeline's drag handles do, apart from their drawing: each
// remembers the press on Begin, follows the pointer on each Move and writes
// the result to the document once on End. Pointer positions are in the
// coordinates of the handle's parent strip or bar, `width` pixels wide; the
// axis auto-scrolls while the pointer lies beyond the time area. UI thread
// only.

#include "foundation/numbers/span.h"
#include "widgets/core/EventDispatcher.h"

#include <functional>

namespace My {

class Layer;
class Segment;
class Timeline;

// The work-area brackets and grip of the thumb line.
class WorkAreaDrag {
public:
    enum Kind { Left, Right, Grip };

    explicit WorkAreaDrag(Timeline& timeline)
        : m_timeline(timeline)
    {
    }
    // False (no drag) without an open sequence.
    bool Begin(Kind kind, int pressX);
    void Move(int x, int width);
    // Commits the timeline's work area to the sequence (undoable there).
    void End();

private:
    Timeline& m_timeline;
    Kind m_kind = Left;
    bool m_active = false;
    int m_pressX = 0;
    int m_handleX = 0;
    int m_length = 0;
};

// The current-frame handles of the ruler and the thumb line: the timeline
// cursor and the preview frame follow the pointer; the sequence's current
// frame is set on release.
class ScrubDrag {
public:
    explicit ScrubDrag(Timeline& timeline)
        : m_timeline(timeline)
    {
    }
    // A press at x moves the cursor there at once.
    bool Begin(int pressX);
    void Move(int x, int width);
    void End();

private:
    Timeline& m_timeline;
    bool m_active = false;
    int m_pressX = 0;
    int m_handleX = 0;
};

// The bar of a layer row: where the layer's footage lies on the axis (its
// start) and which part is used (its trimming), with the trimming brackets
// and the body that slides the footage.
class LayerBar : public EventListener {
public:
    explicit LayerBar(Timeline& timeline);
    ~LayerBar();
    // Follows the layer's start, trimming and footage changes.
    void OnEvent(Event& event) override;
    LayerBar(const LayerBar&) = delete;
    LayerBar& operator=(const LayerBar&) = delete;

    // The layer is not owned; null detaches.
    void SetLayer(Layer* layer);
    Layer* GetLayer() const { return m_layer; }
    bool IsActive() const;
    // Called after a drag changed the layer's start or trimming (these edits
    // record no undo entry; the owner marks the document modified).
    void SetEditedHandler(std::function<void()> handler) { m_edited = std::move(handler); }

    int GetStart() const { return m_start; }
    Span GetTrim() const { return m_trim; }
    // Ordered and clamped into the footage and so that the trimmed part
    // keeps touching the sequence.
    void SetTrim(int first, int last);
    void SetStart(int start);

    // The layer's press notification for a press at x: true on the footage.
    bool PressesFootage(int x) const;
    bool BeginBracket(bool left, int pressX);
    // A body drag starts only on the footage.
    bool BeginBody(int pressX);
    void Move(int x, int width);
    void End();

private:
    Timeline& m_timeline;
    Layer* m_layer = nullptr;
    std::function<void()> m_edited;
    int m_start = 0;
    Span m_trim { -1, -1 };
    enum { None, LeftBracket, RightBracket, Body } m_drag = None;
    int m_pressX = 0;
    int m_handleX = 0;
    bool m_keepTrimming = false;
    int m_startAtPress = 0;
    Span m_absoluteAtPress;
};

// The bar of a segment row: its time span shown on the axis and the two
// brackets that move its back and front ends around its key frame.
class SegmentBar {
public:
    explicit SegmentBar(Timeline& timeline)
        : m_timeline(timeline)
    {
    }
    // The segment is not owned; null detaches. Loads its time span.
    void SetSegment(Segment* segment);
    Segment* GetSegment() const { return m_segment; }
    Span GetPendingSpan() const { return m_pending; }
    // Loads the segment's time span (on its change event).
    void LoadSpan();

    // The bar's own mapping over its width w.
    int TimeToX(double t, int w) const;
    int FrameAt(int x, int w) const;

    // No drag without a segment or while it is processing.
    bool BeginBracket(bool left, int pressX, int width);
    void Move(int x, int width);
    // The segment's time span := the pending span ("Adjust Segment").
    void End();

private:
    bool StorePending(Span span);

    Timeline& m_timeline;
    Segment* m_segment = nullptr;
    Span m_pending;
    enum { None, Left, Right } m_drag = None;
    int m_pressX = 0;
    int m_handleX = 0;
};

} // namespace My
