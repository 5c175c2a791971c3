#pragma once

// The rows area of the property editor: a list window of property rows with
// one selected row, the caption-column splitter, and the editor's keys.

#include "widgets/core/Widget.h"
#include "widgets/scrolling/ListControl.h"

namespace My {

class PEditor;
class PropertyRow;

class PropertyList : public ListControl, public Widget {
public:
    explicit PropertyList(PEditor* editor);

    // Placed by the editor as a widget; the window follows.
    CRect GetBounds() const override { return Widget::GetBounds(); }
    bool IsVisible() const override { return Widget::IsVisible(); }
    CFont* GetFont() const override { return Widget::GetFont(); }
    void BoundsChanged() override;
    void OnShow(bool visible) override;

    // Clamps into [-1, count - 1]; when the selection changes, repaints
    // both rows, scrolls the new one into view and repaints the info pane.
    void SelectRow(int index);
    PropertyRow* GetPropertyRow(int index) const;
    PropertyRow* GetSelectedRow() const;
    // The first row, in list order, whose bottom edge is at or below the
    // content position (the last row when none is).
    int RowAtContent(int position);

    // Return toggles, Left collapses, Right expands the selected row; Up,
    // Down, Home, End, Page Up and Page Down move the selection. Nothing
    // while no row is selected.
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void Draw(CDC& dc, const CRect& clip) override;
    void AddSplitter(Control* splitter);

protected:
    void OnRowCountChanged() override;

private:
    PEditor* m_editor;
    Control* m_splitter = nullptr;
};

} // namespace My
