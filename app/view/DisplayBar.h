#pragma once

// The strip that the frame lays over the bottom of its view area: the zoom
// field, the zoom buttons, the zoom slider and a colour box showing and
// setting the current view's background colour, then any further controls
// at their preferred widths. UI thread only.

#include "app/view/ZoomControls.h"
#include "widgets/controls/ColorBox.h"
#include "widgets/core/Container.h"
#include "widgets/core/EventDispatcher.h"

#include <vector>

namespace My {

class PanelFrame;
class SequenceView;

// The background colour of a target view; disabled while there is none.
// It redraws whenever the view's colour changes, whoever changed it.
class BackgroundColorBox : public ColorBox {
public:
    BackgroundColorBox();
    ~BackgroundColorBox() override;
    // A different target is stored; the box is enabled when it is not null
    // and redraws its colour.
    void SetTarget(SequenceView* view);
    SequenceView* GetTarget() const { return m_target; }
    // The target's background colour; false without a target.
    bool GetColor(COLORREF& color) const override;
    // Hands the colour to the target's setter; nothing without one.
    void SetColor(COLORREF color) override;
    void OnEvent(Event& event) override;

private:
    SequenceView* m_target = nullptr;
};

class DisplayPanel : public virtual Container, public virtual Widget {
public:
    // Adds itself to `host` (the frame's control tree) when given.
    explicit DisplayPanel(Container* host = nullptr);
    ~DisplayPanel() override;

    // Binds the zoom controls and the colour box to a view (null: none).
    void SetView(SequenceView* view);
    SequenceView* GetView() const { return m_view; }
    // Placed after the colour box, at their preferred widths while visible.
    void AddControl(Widget* control);

    ZoomEdit& GetZoomEdit() { return m_zoomEdit; }
    ZoomOut& GetZoomOut() { return m_zoomOut; }
    ZoomSlider& GetZoomSlider() { return m_zoomSlider; }
    ZoomIn& GetZoomIn() { return m_zoomIn; }
    BackgroundColorBox& GetColorBox() { return m_colorBox; }

    // 125 wide, the font's text height plus 4 high.
    CSize GetPreferredSize() const override;
    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;

    // The strip's rectangle in a frame: empty without a view; else at the
    // bottom of the frame's client area above the status bar, left of the
    // right bar and above the bottom bar while they show, its bottom edge 5
    // pixels above that area's bottom, `height` high.
    static CRect Place(const PanelFrame& frame, bool has_view, int height);

private:
    SequenceView* m_view = nullptr;
    ZoomEdit m_zoomEdit;
    ZoomOut m_zoomOut;
    ZoomSlider m_zoomSlider;
    ZoomIn m_zoomIn;
    BackgroundColorBox m_colorBox;
    std::vector<Widget*> m_more;
};

} // namespace My
