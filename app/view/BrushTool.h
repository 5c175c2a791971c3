#pragma once

// The drawing tools of the mask editor that follow the pointer with an
// outline: My::WireTool (strokes with either button, the outline, the size
// keys), My::CircleTool (a round stamp and its outline) and My::BrushTool
// (stamps the circle into the edited key mask: the left button sets, the
// right button clears; one stroke is one undoable "Brush" action).

#include "app/view/Tool.h"
#include "foundation/image/image.h"

namespace My {

class MaskEditor;
class SequenceView;

class WireTool : public Tool {
public:
    explicit WireTool(SequenceView& view);

    // Held buttons: bit 1 left, bit 2 right.
    int GetHeldButtons() const { return m_held; }
    bool IsAltMode() const { return m_altMode; }
    bool IsOutlineShown() const { return m_outlineShown; }
    CPoint GetOutlinePoint() const { return m_outlinePoint; }

    void Selected() override;
    void Deselected() override;
    void KeyDown(UINT key, bool repeat) override;
    void KeyUp(UINT key) override;
    void LeftDown(UINT flags, CPoint p) override;
    void LeftUp(UINT flags, CPoint p) override;
    void RightDown(UINT flags, CPoint p) override;
    void RightUp(UINT flags, CPoint p) override;
    void MouseMove(UINT flags, CPoint p) override;
    void MouseEnter() override;
    void MouseLeave() override;
    bool SetCursor(UINT hit) override;
    void RedrawOverlay(CDC& dc) override;

    // Grows (positive) or shrinks the tool.
    virtual void ChangeSize(int step) = 0;
    // The outline's client rectangle around p.
    virtual CRect OutlineRect(CPoint p) const = 0;
    virtual void DrawOutline(CDC& dc, CPoint p, int style) = 0;
    virtual void Commit() = 0;
    virtual void PaintAt(CPoint p, int buttons) = 0;
    // Paints the pointer's way from `from` to `to` (the stamp at `from` was
    // made by the step before), so that a fast stroke has no gaps.
    virtual void PaintAlong(CPoint from, CPoint to, int buttons) = 0;

protected:
    SequenceView& GetView() const { return m_view; }
    void EraseOutline();
    void ShowOutline();

private:
    void ButtonDown(int bit, int sizeStep, CPoint p);
    void ButtonUp(int bit, CPoint p);
    void PaintStep(CPoint p);
    void EndStroke();
    bool OutlineWanted() const;

    SequenceView& m_view;
    bool m_altMode = false;
    int m_held = 0;
    CPoint m_last;
    bool m_outlineShown = false;
    CPoint m_outlinePoint;
    bool m_pointerInside = false;
    bool m_suppressed = true;
    int m_repeat = 0;
};

class CircleTool : public WireTool {
public:
    static constexpr int min_radius = 1;
    static constexpr int max_radius = 150;

    CircleTool(SequenceView& view, int radius);

    int GetRadius() const { return m_radius; }
    // The stamp: a square of side 2r whose bit (x, y) is set when
    // (x - (r - 0.5))^2 + (y - (r - 0.5))^2 < r^2.
    const img::image<img::bit>& GetStamp() const { return m_stamp; }

    void ChangeSize(int step) override;
    CRect OutlineRect(CPoint p) const override;
    void DrawOutline(CDC& dc, CPoint p, int style) override;

private:
    void BuildStamp();

    int m_radius;
    img::image<img::bit> m_stamp;
};

class BrushTool : public CircleTool {
public:
    BrushTool(SequenceView& view, MaskEditor& editor);

    void Commit() override;
    void PaintAt(CPoint p, int buttons) override;
    void PaintAlong(CPoint from, CPoint to, int buttons) override;

private:
    MaskEditor& m_editor;
};

} // namespace My
