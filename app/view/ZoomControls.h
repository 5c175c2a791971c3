#pragma once

// The zoom controls of one sequence view: a logarithmic slider, zoom-in and
// zoom-out glyph buttons, a text field in percent and a field with a
// drop-down of fixed steps and "Fit on Screen". Each reads the view's zoom
// whenever it is asked, and is disabled while it has no view (from its
// construction on). The main frame places them and binds them (SetView), and
// refreshes them from the view's zoom-changed notification. UI thread only.

#include "widgets/controls/Glyph.h"
#include "widgets/controls/GlyphButton.h"
#include "widgets/controls/Slider.h"
#include "widgets/text/TextControl.h"

namespace My {

class SequenceView;

class ZoomSlider : public Slider {
public:
    ZoomSlider();
    void SetView(SequenceView* view);
    // log(z / 0.25) / log(16 / 0.25); 0 without a view.
    double GetValue() const override;
    // Zooms at the centre of the view's client area.
    void SetValue(double value) override;
    std::string GetToolTipText() const override;

private:
    SequenceView* m_view = nullptr;
};

class ZoomIn : public GlyphButton {
public:
    ZoomIn();
    void SetView(SequenceView* view);
    void Click() override;
    std::string GetToolTipText() const override;

private:
    SequenceView* m_view = nullptr;
};

class ZoomOut : public GlyphButton {
public:
    ZoomOut();
    void SetView(SequenceView* view);
    void Click() override;
    std::string GetToolTipText() const override;

private:
    SequenceView* m_view = nullptr;
};

class ZoomTextEdit : public TextControl {
public:
    ZoomTextEdit();
    void SetView(SequenceView* view);
    SequenceView* GetView() const { return m_view; }
    // "100%" at zoom 1; false without a view.
    bool GetText(std::string& out) const override;
    // A number with an optional "%" zooms to it x 0.01 (clamped by the
    // view); anything else leaves the zoom as it is.
    void SetText(const std::string& text) override;

private:
    SequenceView* m_view = nullptr;
};

// The text field with a drop-down button at its right.
class ZoomEdit : public ZoomTextEdit {
public:
    ZoomEdit();
    const CRect& GetButtonRect() const { return m_buttonRect; }
    // Shows the menu of steps at the button and applies the chosen entry.
    void ShowMenu();
    // Applies a menu entry: 1..7 the fixed zooms, 1000 "Fit on Screen",
    // anything else nothing.
    void Choose(int id);

    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    CSize GetPreferredSize() const override;

private:
    void ComputeButton();

    SysColorGlyph m_button;
    CRect m_buttonRect;
    bool m_pressed = false;
};

} // namespace My
