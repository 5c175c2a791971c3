#pragma once

// A layer in the timeline: a row with the layer's name and, in the time
// column, a control that shows where the layer's footage lies and which
// part is used, lets the footage slide in time and trims it with two
// brackets ("Trimming"). Edits reach the layer when a drag ends. UI thread
// only.

#include "app/timeline/TimelineHandles.h"
#include "app/timeline/TimelineStrips.h"
#include "app/timeline/Xline.h"

#include <functional>
#include <memory>

namespace My {

class Layer;
class LayerRow;

class LayerControl : public Container {
public:
    explicit LayerControl(LayerRow& row);
    ~LayerControl() override;

    void SetLayer(Layer* layer);
    LayerBar& GetBar() { return m_bar; }

    CRect GetBounds() const override;
    bool OnCursor(UINT, const CPoint&) override { return false; }
    void Draw(CDC& dc, const CRect& clip) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;
    void EndDrag(UINT flags, const CPoint& point) override;
    void OnEvent(Event& event) override;

private:
    class Bracket;

    LayerRow& m_row;
    Timeline& m_timeline;
    LayerBar m_bar;
    SysColorGlyph m_leftGlyph;
    SysColorGlyph m_rightGlyph;
    std::vector<std::unique_ptr<StripHandle>> m_brackets;
};

class LayerRow : public XlineRow {
public:
    LayerRow(Xline* xline, std::string name);
    ~LayerRow() override;

    void SetLayer(Layer* layer);
    Layer* GetLayer() const { return m_layer; }
    LayerControl& GetControl() { return m_control; }
    // After a drag changed the layer (no undo entry): the owner marks the
    // document modified.
    void SetEditedHandler(std::function<void()> handler);

    void DrawCell(CDC& dc, const CRect& clip, const Column& column, const CRect& cell) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnEvent(Event& event) override;

private:
    Layer* m_layer = nullptr;
    LayerControl m_control;
};

} // namespace My
