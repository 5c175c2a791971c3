#pragma once

// The splitters between the view and the right and bottom panel bars, the
// grips in them that show or hide a bar with one click, and the corner grip
// that shows or hides both. Each computes its rectangle from the frame's
// values (Place) and calls back into the frame when dragged or clicked.
// Drags are measured in the host window's coordinates, since the control
// itself moves while the frame re-arranges. UI thread only.

#include "widgets/containers/PanelBar.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/Widget.h"

namespace My {

// A drag of one side: a bar narrower than 10 pixels is hidden at the size
// it had at the press.
class BarDrag {
public:
    static constexpr int min_size = 10;

    // Remembers the bar's size (0 while hidden) and the pointer.
    void Begin(const PanelFrame& frame, bool right_side, const CPoint& point);
    // The bar's size and visibility for the pointer now.
    void Move(PanelFrame& frame, const CPoint& point) const;

private:
    bool m_right = true;
    int m_size = 0;
    CPoint m_point;
};

// The splitter beside one bar: it fills its strip, shows the sizing cursor
// across the bar's edge and resizes the bar while dragged.
class BarSplitter : public Widget {
public:
    BarSplitter(PanelFrame& frame, bool right);
    CRect ComputeRect() const;
    void Place() { SetBounds(ComputeRect()); }

    void Draw(CDC& dc, const CRect& clip) override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;

private:
    PanelFrame& m_frame;
    bool m_right;
    BarDrag m_drag;
};

// The 5 pixels left of the right bar, over the bar's height.
class RightSplitter : public BarSplitter {
public:
    explicit RightSplitter(PanelFrame& frame)
        : BarSplitter(frame, true)
    {
    }
};

// The 5 pixels above the bottom bar, over the full width.
class BottomSplitter : public BarSplitter {
public:
    explicit BottomSplitter(PanelFrame& frame)
        : BarSplitter(frame, false)
    {
    }
};

// A grip drags once the pointer has moved 2 pixels (horizontal plus
// vertical distance) from the press; a release without a drag toggles.
class Grip : public Widget {
public:
    static constexpr int drag_threshold = 2;

    explicit Grip(PanelFrame& frame);
    void Place() { SetBounds(ComputeRect()); }
    virtual CRect ComputeRect() const = 0;
    // A click without a drag.
    virtual void Toggle() = 0;
    // Which glyph shows now.
    virtual const Glyph& CurrentGlyph() const = 0;

    void Draw(CDC& dc, const CRect& clip) override;
    void OnLeftUp(UINT flags, const CPoint& point) override;
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;

protected:
    PanelFrame& m_frame;
};

class RightGrip : public Grip {
public:
    explicit RightGrip(PanelFrame& frame);
    // 21 pixels high in the middle of the right splitter (empty when the
    // splitter is lower than 51 pixels).
    CRect ComputeRect() const override;
    void Toggle() override;
    const Glyph& CurrentGlyph() const override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void Drag(UINT flags, const CPoint& point) override;

private:
    Glyph m_shown, m_hidden;
    BarDrag m_drag;
};

class BottomGrip : public Grip {
public:
    explicit BottomGrip(PanelFrame& frame);
    // 21 pixels wide in the bottom splitter, centred under the view (empty
    // when that span is narrower than 51 pixels).
    CRect ComputeRect() const override;
    void Toggle() override;
    const Glyph& CurrentGlyph() const override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void Drag(UINT flags, const CPoint& point) override;

private:
    Glyph m_shown, m_hidden;
    BarDrag m_drag;
};

class CornerGrip : public Grip {
public:
    static constexpr int size = 15;

    explicit CornerGrip(PanelFrame& frame);
    // The 15 x 15 pixels at the bottom-right corner of the area the bars
    // leave.
    CRect ComputeRect() const override;
    // Shows both bars when both are hidden, else hides both.
    void Toggle() override;
    const Glyph& CurrentGlyph() const override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void Drag(UINT flags, const CPoint& point) override;

private:
    Glyph m_normal, m_up;
    BarDrag m_right, m_bottom;
};

} // namespace My
