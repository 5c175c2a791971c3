#pragma once

// The magnifier ("Zoom (Z)"): a left click zooms in by 2 at the point, a
// left drag zooms the rubber band's rectangle to the client area, a right
// click zooms out by 2; numeric-pad '*' fits, '+' and '-' zoom at the centre.
// The rubber band is state, drawn by RedrawOverlay.

#include "app/view/Tool.h"

namespace My {

class SequenceView;

class ZoomTool : public Tool {
public:
    explicit ZoomTool(SequenceView& view);

    // 0 idle, 1 zooming in (left button), 2 zooming out (right button).
    int GetMode() const { return m_mode; }
    // The rubber band (normalised), empty while none is drawn.
    CRect GetRubberBand() const;

    void Deactivate() override;
    void KeyDown(UINT key, bool repeat) override;
    void LeftDown(UINT flags, CPoint p) override;
    void LeftUp(UINT flags, CPoint p) override;
    void MouseMove(UINT flags, CPoint p) override;
    void RightDown(UINT flags, CPoint p) override;
    void RightUp(UINT flags, CPoint p) override;
    bool SetCursor(UINT hit) override;
    void RedrawOverlay(CDC& dc) override;

private:
    void InvalidateBand();

    SequenceView& m_view;
    int m_mode = 0;
    CPoint m_start;
    CPoint m_end;
};

} // namespace My
