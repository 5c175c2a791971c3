#pragma once

// The abstract choice control behind enumeration editors: the current
// entry's text with a drop-down button. The button opens a popup menu of all
// entries; a click on the text steps to the next entry. The entries belong
// to the derived control, which answers the five operations below.

#include <string>

#include "widgets/controls/Glyph.h"
#include "widgets/core/Widget.h"

namespace My {

class DropDown : public Widget {
public:
    DropDown();

    virtual int GetCount() const = 0;
    virtual std::string GetText(int index) const = 0;
    // Shown when no entry is current.
    virtual std::string GetEmptyText() const = 0;
    // False when the current value cannot be read; index -1 when no entry
    // is current.
    virtual bool GetIndex(int& index) const = 0;
    virtual void SetIndex(int index) = 0;

    // The next entry, wrapping from the last to the first; the first when
    // the value cannot be read or none is current. Nothing without entries.
    void SelectNext();
    // Shows the entry menu under the button and selects the chosen entry.
    void ShowEntryMenu();

    // The button and text rectangles of an area of this size (and the
    // control's font); stored for hit testing.
    void ComputeRects(const CSize& size);
    const CRect& GetButtonRect() const { return m_buttonRect; }
    const CRect& GetTextRect() const { return m_textRect; }

    void Draw(CDC& dc, const CRect& clip) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnLeftDoubleClick(UINT flags, const CPoint& point) override;
    bool OnCursor(UINT flags, const CPoint& point) override;

private:
    // The text shown and whether the value could be read.
    std::string CurrentText(bool& readable) const;

    SysColorGlyph m_button;
    CRect m_buttonRect;
    CRect m_textRect;
};

} // namespace My
