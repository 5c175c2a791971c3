#pragma once

// The segments in the timeline: one expandable row named "Mask" with a
// child row per segment. Each segment row carries a bar in the time column
// that shows the segment's time span and data span and its key frame, with
// two brackets that move its back and front ends; clicks select, start and
// end key-mask editing; a double click processes or cancels. UI thread
// only.

#include "app/timeline/TimelineHandles.h"
#include "app/timeline/TimelineStrips.h"
#include "app/timeline/Xline.h"

#include <memory>
#include <vector>

namespace My {

class Segment;
class SegmentSet;
class SegmentSetRow;
class SegmentRow;

// The segment's name as its row shows it (My::SegmentName): "<%02d-[%02d]-%02d>"
// of the time span's first frame, the key frame and the span's last frame.
std::string SegmentRowName(const Span& span, int key);

class SegmentRowControl : public Container {
public:
    explicit SegmentRowControl(SegmentRow& row);
    ~SegmentRowControl() override;

    SegmentBar& GetBar() { return m_bar; }
    // Follows the row's segment (after a rebuild).
    void Attach();

    CRect GetBounds() const override;
    bool OnCursor(UINT, const CPoint&) override { return false; }
    std::string GetToolTipText() const override;
    void Draw(CDC& dc, const CRect& clip) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnLeftDoubleClick(UINT flags, const CPoint& point) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
    void OnEvent(Event& event) override;

private:
    class Bracket;
    // The union of the pending span and the data span, in pixels.
    bool InSpanArea(int x) const;
    CRect KeyGlyphRect() const;
    // Where a bracket glyph is drawn.
    CRect BracketRect(bool left) const;

    SegmentRow& m_row;
    Timeline& m_timeline;
    SegmentBar m_bar;
    Segment* m_listening = nullptr;
    SysColorGlyph m_left;
    SysColorGlyph m_right;
    SysColorGlyph m_key;
    SysColorGlyph m_keyPressed;
    SysColorGlyph m_keyGrayed;
    std::vector<std::unique_ptr<StripHandle>> m_brackets;
};

class SegmentRow : public XlineRow {
public:
    SegmentRow(SegmentSetRow& owner, int index);
    ~SegmentRow() override;

    int GetSegmentIndex() const { return m_index; }
    // Looked up by index; null when the set has no such segment.
    Segment* GetSegment() const;
    SegmentSetRow& GetOwner() const { return m_owner; }
    SegmentRowControl& GetControl() { return m_control; }
    bool IsSelected() const;
    void Select();

    std::string GetName() const override;
    void DrawCell(CDC& dc, const CRect& clip, const Column& column, const CRect& cell) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    // A drag from the name cell moves the segment up or down the list (the
    // grid shows where it would land; the move is undoable); elsewhere it
    // draws the rubber band.
    bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
    void Drag(UINT flags, const CPoint& point) override;
    void EndDrag(UINT flags, const CPoint& point) override;

private:
    SegmentSetRow& m_owner;
    int m_index;
    bool m_moving = false;
    SegmentRowControl m_control;
};

class SegmentSetRow : public XlineRow {
public:
    SegmentSetRow(Xline* xline, std::string name);
    ~SegmentSetRow() override;

    void SetSegmentSet(SegmentSet* set);
    SegmentSet* GetSegmentSet() const { return m_set; }
    // One child row per segment, in the set's order.
    void Rebuild();
    const std::vector<std::unique_ptr<SegmentRow>>& GetSegmentRows() const { return m_rows; }
    // The index of the document's selection when it is a segment
    // selection of this set, else -1; selecting goes through the document.
    int GetSelectedIndex() const;
    void SelectSegment(int index);
    // Where a segment dropped at y (the grid's coordinates) goes: before the
    // first segment row whose middle lies below y, else after the last.
    int GetDropIndex(int y) const;
    // The grid's row index of that place.
    int GetDropRow(int index) const;

    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnEvent(Event& event) override;

private:
    SegmentSet* m_set = nullptr;
    std::vector<std::unique_ptr<SegmentRow>> m_rows;
};

} // namespace My
