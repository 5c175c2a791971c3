#pragma once

// A button that shows a colour swatch and edits the colour with the system
// colour dialog. The colour itself comes from whoever binds the box to a
// value (GetColor / SetColor).

#include "platform/gui/types.h"
#include "widgets/controls/Button.h"
#include "widgets/core/Widget.h"

namespace My {

class ColorBox : public Button, public Widget {
public:
    // Offers the colour in the dialog when the box is enabled in its tree;
    // OK sets the chosen colour, cancel leaves it.
    void Click() override;
    // False when there is no colour to show.
    virtual bool GetColor(COLORREF& color) const = 0;
    virtual void SetColor(COLORREF color) = 0;

    CSize GetPreferredSize() const override;
    void Draw(CDC& dc, const CRect& clip) override;
    // The alignment code of the swatch in the box (0x31 at first).
    void SetAlignment(unsigned code);
    unsigned GetAlignment() const { return m_alignment; }

private:
    int m_swatchWidth = 11;
    int m_swatchHeight = 11;
    unsigned m_alignment = 0x31;
};

} // namespace My
