#pragma once

// A scrolled child window holding a vertical list of row controls with one
// selected row and keyboard navigation. Rows are controls inside the window,
// each with a top (content coordinates) and a height; the window paints
// through an off-screen buffer and has its own vertical scroll bar. Row tops
// are recomputed lazily from the first row that changed. Rows are not owned.

#include <vector>

#include "widgets/core/Control.h"
#include "widgets/core/Window.h"

namespace My {

class ListControl;

class RowControl : public virtual Control {
public:
    // x from 0 to the list's width, y from the top to top + height, moved by
    // the list's scroll position.
    CRect GetBounds() const override;

    // Moves the rows after this one at the next layout.
    void SetHeight(int height);
    int GetHeight() const { return m_height; }
    int GetTop() const { return m_top; }
    int GetIndex() const { return m_index; }
    ListControl* GetList() const { return m_list; }

private:
    friend class ListControl;

    ListControl* m_list = nullptr;
    int m_index = -1;
    int m_top = 0;
    int m_height = 0;
};

class ListControl : public CustomWindow<CWnd> {
public:
    ListControl();

    // Throws std::invalid_argument, changing nothing, for a null row or one
    // that is in a list already (this one included).
    void InsertRows(int index, RowControl* const* rows, int count);
    void RemoveRows(int index, int count);
    void RemoveAll();
    int GetRowCount() const { return int(m_rows.size()); }
    RowControl* GetRow(int index) const { return m_rows.at(std::size_t(index)); }

    // -1 clears the selection; other indexes are pinned to the rows.
    void Select(int index);
    int GetSelected() const { return m_selected; }
    void EnsureVisible(int index);

    // The row under a window position (y in window coordinates), -1 past
    // the last row.
    int RowFromPoint(int y);
    void SetScrollPos(int y);
    int GetScrollPos() const { return m_scrollPos; }
    int GetContentHeight() const { return m_contentHeight; }
    int GetPageHeight() const { return m_pageHeight; }

    // Recomputes the tops from the first changed row, the content height,
    // the page height and the scroll bar.
    void Layout() override;
    // The rows from `index` on need new tops.
    void MarkDirty(int index);
    int GetFirstDirty() const { return m_firstDirty; }

    bool AcceptsFocus() const override { return true; }
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnFocus() override;
    void OnUnfocus() override;
    void OnWindowCreate() override;

    static constexpr int line_step = 10;
    // Pixels per wheel notch (WM_MOUSEWHEEL): three lines, more than a row
    // of the property editor.
    static constexpr int wheel_step = 3 * line_step;

protected:
    // The number of rows changed.
    virtual void OnRowCountChanged() { }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Renumber();
    void UpdateScrollBar();
    void RowsMoved();
    void InvalidateRow(int index);
    int ClientHeight() const;

    std::vector<RowControl*> m_rows;
    int m_contentHeight = 0;
    int m_pageHeight = 0;
    int m_scrollPos = 0;
    int m_firstDirty = 0;
    int m_selected = -1;
};

} // namespace My
