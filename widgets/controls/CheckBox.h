#pragma once

// A check box: the check glyph in a sunken frame, left-aligned and
// vertically centred. The check state (0 unchecked, 1 checked, 2
// indeterminate) comes from the control that binds it to a value; a click
// is that control's business.

#include <string>

#include "widgets/controls/Button.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/Widget.h"

namespace My {

class CheckBox : public Button, public Widget {
public:
    // The unchecked glyph is loaded only when its name is not empty.
    CheckBox(const std::string& check, const std::string& check_mask,
        const std::string& unchecked = std::string(), const std::string& unchecked_mask = std::string());

    virtual int GetCheck() const = 0;

    CSize GetPreferredSize() const override;
    void Draw(CDC& dc, const CRect& clip) override;

private:
    SysColorGlyph m_check;
    SysColorGlyph m_unchecked;
    GrayedGlyph m_grayed;
};

} // namespace My
