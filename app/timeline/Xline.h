#pragma once

// The timeline panel with rows: the time axis (Timeline) above a rows area
// of two columns, a name column and a time column, whose header carries the
// time ruler and whose time column carries the row controls. UI thread only.

#include "app/timeline/Timeline.h"
#include "widgets/containers/Grid.h"
#include "widgets/containers/Tree.h"
#include "widgets/scrolling/ScrollBox.h"

#include <string>

namespace My {

class Xline;

class XlineCol : public Column {
public:
    explicit XlineCol(std::string title)
        : m_title(std::move(title))
    {
    }
    const std::string& GetTitle() const { return m_title; }

private:
    std::string m_title;
};

// The rows of the timeline: an expandable tree row cut into the two
// columns; the name cell shows the expander and the name, the time cell
// holds the row's control.
class XlineRow : public TreeRow, public GridRow {
public:
    XlineRow(Xline* xline, std::string name);

    std::string GetName() const override { return m_name; }
    Xline* GetXline() const { return m_xline; }
    // The cell of the name (first) or the time (second) column, in the
    // row's coordinates; empty outside a grid.
    CRect GetNameCell() const;
    CRect GetTimeCell() const;

    CRect GetBounds() const override { return Row::GetBounds(); }
    bool IsVisible() const override { return Row::IsVisible(); }
    void Draw(CDC& dc, const CRect& clip) override;
    void DrawCell(CDC& dc, const CRect& clip, const Column& column, const CRect& cell) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnLeftDoubleClick(UINT flags, const CPoint& point) override;
    void OnEvent(Event& event) override;
    // A drag on the row (not on its control) draws the grid's rubber band.
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;
    void EndDrag(UINT flags, const CPoint& point) override;

private:
    Xline* m_xline;
    std::string m_name;
    CPoint m_bandStart;
};

// The grid of the rows: the time column's background, work area and
// current frame under the rows, the current-frame line over them.
class XlineGrid : public Grid, public Tree {
public:
    // box: the scroll box the rows scroll in (may be null).
    XlineGrid(Xline* xline, ScrollBox* box);

    void Draw(CDC& dc, const CRect& clip) override;
    void Paint(CDC& dc, const CRect& clip) override;
    void OnLeftUp(UINT flags, const CPoint& point) override;
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;
    void EndDrag(UINT flags, const CPoint& point) override;

    // The rubber band between two grid points, kept normalised and drawn
    // by the paint handler; empty when there is none.
    void SetBand(const CPoint& from, const CPoint& to);
    const CRect& GetBand() const { return m_band; }
    // Clears the band and passes its frames and vertical extent to the
    // timeline's rectangle selection.
    void EndBand();
    // The drop position (a row index; -1 for none) and the y of its
    // marker: the top of that row, the bottom of the last row past the end.
    void SetDropPosition(int index);
    int GetDropPosition() const { return m_drop; }
    int GetDropMarkerY(int index) const;

private:
    CRect MarkerRect(int index) const;
    void PaintOverlays(CDC& dc);

    Xline* m_xline;
    CRect m_band;
    int m_drop = -1;
    CPoint m_bandStart;
};

// The rows area: the grid fills the box's view and its rows scroll
// vertically (bar always shown, wheel too); nothing scrolls horizontally.
class XlineBox : public ScrollBox, public Widget {
public:
    XlineBox();
    void SetContent(Widget* content) { m_content = content; }
    // The view's size: the client area when the window exists, else the
    // bounds less the vertical bar.
    CSize GetContentViewSize() const;
    void Layout() override;

    CRect GetBounds() const override { return Widget::GetBounds(); }
    bool IsVisible() const override { return Widget::IsVisible(); }
    CFont* GetFont() const override { return Widget::GetFont(); }
    void BoundsChanged() override;
    void OnShow(bool visible) override;

private:
    Widget* m_content = nullptr;
};

// The frames a rubber band from x1 to x2 (time column coordinates) covers
// whole: ceil of the left edge's time to floor of the right edge's.
Span BandFrames(const Timeline& timeline, int x1, int x2);

class Xline : public Timeline {
public:
    static constexpr int kNameWidth = 150;

    Xline();
    ~Xline() override;

    XlineGrid& GetGrid() { return m_grid; }
    XlineBox& GetRowsBox() { return m_box; }
    XlineCol& GetNameColumn() { return m_nameColumn; }
    XlineCol& GetTimeColumn() { return m_timeColumn; }
    // The time column's horizontal extent in the timeline's coordinates
    // (its right end leaves room for the rows area's vertical bar).
    int GetTimeLeft() const { return kNameWidth; }

    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;
    // A rubber band over frames first .. last and rows top .. bottom;
    // nothing here.
    virtual void SelectRect(int first, int last, int top, int bottom);

private:
    // Repaints the grid on every event the axis sends (its own and those of
    // its sequence).
    class GridRepaint : public EventListener {
    public:
        explicit GridRepaint(XlineGrid& grid)
            : m_grid(grid)
        {
        }
        void OnEvent(My::Event& event) override;

    private:
        XlineGrid& m_grid;
    };

    XlineCol m_nameColumn;
    XlineCol m_timeColumn;
    XlineBox m_box;
    XlineGrid m_grid;
    GridRepaint m_gridRepaint;
};

} // namespace My
