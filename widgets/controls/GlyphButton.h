#pragma once

// A push button showing a glyph (greyed when disabled); subclasses say what
// a click does.

#include <string>

#include "widgets/controls/Button.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/Widget.h"

namespace My {

class GlyphButton : public Button, public Widget {
public:
    GlyphButton(const std::string& glyph, const std::string& mask);

    CSize GetPreferredSize() const override;
    void Draw(CDC& dc, const CRect& clip) override;

private:
    Glyph m_glyph;
    GrayedGlyph m_grayed;
};

} // namespace My
