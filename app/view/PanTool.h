#pragma once

// The hand: a left drag scrolls the view by the pointer's travel; the page
// and arrow keys, Home and End scroll too ("Hand (H)").

#include "app/view/Tool.h"

namespace My {

class SequenceView;

class PanTool : public Tool {
public:
    explicit PanTool(SequenceView& view);

    bool IsDragging() const { return m_dragging; }

    void Deactivate() override;
    void KeyDown(UINT key, bool repeat) override;
    void LeftDown(UINT flags, CPoint p) override;
    void LeftUp(UINT flags, CPoint p) override;
    void MouseMove(UINT flags, CPoint p) override;
    void MouseLeave() override;
    bool SetCursor(UINT hit) override;

private:
    SequenceView& m_view;
    bool m_dragging = false;
    CPoint m_startPoint;
    CPoint m_startScroll;
};

} // namespace My
