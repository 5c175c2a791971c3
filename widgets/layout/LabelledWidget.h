#pragma once

// Text labels beside a control, and a row of widgets side by side. The
// control is not owned; it is adopted as a child and placed by Layout.

#include <string>
#include <vector>

#include "widgets/core/Container.h"
#include "widgets/core/Widget.h"

namespace My {

// The extent of a single-line text in the control's font (0 x 0 for an
// empty text).
CSize MeasureLabel(const Control& control, const std::string& text);
// Draws a label single-line, vertically centred, ending in an ellipsis when
// it does not fit; in COLOR_WINDOWTEXT, or COLOR_BTNSHADOW when the control
// is not enabled in its tree.
void DrawLabel(CDC& dc, const Control& control, const std::string& text, const CRect& r);

// One label left (side 0) or right (side 1) of a control.
class LabelledWidget : public virtual Widget, public virtual Container {
public:
    explicit LabelledWidget(
        Widget* control = nullptr, const std::string& label = std::string(), int side = 0);

    void SetControl(Widget* control);
    void SetLabel(const std::string& label);
    void SetSpacing(int spacing);
    void SetAlignment(unsigned code);

    Widget* GetControl() const { return m_control; }
    const CRect& GetLabelRect() const { return m_labelRect; }

    CSize GetPreferredSize() const override;
    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;

private:
    Widget* m_control;
    std::string m_label;
    int m_side;
    unsigned m_alignment = 0x31;
    int m_spacing = 4;
    CRect m_labelRect;
};

// A label left (index 0) and a label right (index 1) of a control.
class DoublyLabelledWidget : public virtual Widget, public virtual Container {
public:
    explicit DoublyLabelledWidget(Widget* control = nullptr);

    void SetControl(Widget* control);
    void SetLabel(int index, const std::string& label);
    void SetAlignment(unsigned code);

    const CRect& GetLabelRect(int index) const { return m_labelRect[index & 1]; }

    CSize GetPreferredSize() const override;
    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;

private:
    Widget* m_control;
    std::string m_label[2];
    unsigned m_alignment = 0x31;
    CRect m_labelRect[2];
};

// Widgets side by side with a gap; lays out and claims a size only when no
// slot is empty.
class StringContainer : public virtual Widget, public virtual Container {
public:
    void AddControl(Widget* control);
    void SetControl(std::size_t index, Widget* control);
    void SetAlignment(unsigned code);
    // The space between neighbours; `gap` at first.
    void SetGap(int gap);
    int GetGap() const { return m_gap; }
    std::size_t GetCount() const { return m_slots.size(); }
    Widget* GetControl(std::size_t index) const { return m_slots[index]; }

    CSize GetPreferredSize() const override;
    void Layout() override;

    static constexpr int gap = 10;
    static constexpr int left_margin = 4;
    static constexpr int top_margin = 2;

private:
    bool HasEmptySlot() const;

    std::vector<Widget*> m_slots;
    unsigned m_alignment = 0x31;
    int m_gap = gap;
};

} // namespace My
