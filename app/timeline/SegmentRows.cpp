#include "app/timeline/SegmentRows.h"

#include "app/timeline/TimelineGlyphs.h"
#include "document/Doc.h"
#include "document/composition/Sequence.h"
#include "document/segments/Segment.h"
#include "document/segments/SegmentName.h"
#include "document/segments/SegmentSelection.h"
#include "document/segments/SegmentSet.h"
#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"

#include <boost/make_shared.hpp>

#include <algorithm>

namespace My {

namespace {

constexpr int kSetRowHeight = 15;
// How far a bracket's handle reaches beyond the drawn bracket: outward, and
// inward (never over the key-frame glyph).
constexpr int kBracketReach = 4;
constexpr int kBracketReachIn = 2;
constexpr int kSegmentRowHeight = 14;
constexpr COLORREF kSelectedName = 0xFFE0E0;

struct SpanColors {
    COLORREF span;
    COLORREF data;
};

// Pale and strong orange, blue while processing; the selected segment
// shows the ripple colours of its state.
SpanColors ColorsFor(bool processing, bool selected)
{
    if (processing)
        return selected ? SpanColors { 0xFFD8C8, 0xFFA890 } : SpanColors { 0xFFE0E0, 0xFFC0C0 };
    return selected ? SpanColors { 0xA8E0FF, 0x0090FF } : SpanColors { 0xC0F0FF, 0x00C0FF };
}

} // namespace

std::string SegmentRowName(const Span& span, int key)
{
    return SegmentName(span, key);
}

class SegmentRowControl::Bracket : public StripHandle {
public:
    Bracket(SegmentRowControl& control, bool left)
        : StripHandle(left ? "Segment Back End" : "Segment Front End")
        , m_control(control)
        , m_left(left)
    {
    }

protected:
    // The drawn bracket with a few pixels more outward, and inward up to
    // the key-frame glyph, over the row's height: a bracket is a narrow
    // target.
    CRect Place() const override
    {
        const CRect drawn = m_control.BracketRect(m_left);
        if (drawn.IsRectEmpty())
            return {};
        const CRect key = m_control.KeyGlyphRect();
        const int height = m_control.GetSize().cy;
        if (m_left)
            return CRect(drawn.left - kBracketReach, 0,
                std::max<int>(drawn.right, std::min<int>(drawn.right + kBracketReachIn, key.left)), height);
        return CRect(std::min<int>(drawn.left, std::max<int>(drawn.left - kBracketReachIn, key.right)), 0,
            drawn.right + kBracketReach, height);
    }
    bool Begin(int x) override { return m_control.m_bar.BeginBracket(m_left, x, m_control.GetSize().cx); }
    void Move(int x, int width) override
    {
        m_control.m_bar.Move(x, width);
        m_control.Invalidate(CRect(CPoint(0, 0), m_control.GetSize()));
    }
    void End() override { m_control.m_bar.End(); }

private:
    SegmentRowControl& m_control;
    bool m_left;
};

SegmentRowControl::SegmentRowControl(SegmentRow& row)
    : m_row(row)
    , m_timeline(*row.GetXline())
    , m_bar(*row.GetXline())
{
    AddTimelineGlyphs();
    m_left.Load("SegmentLeft", "SegmentLeftMask");
    m_right.Load("SegmentRight", "SegmentRightMask");
    m_key.Load("Mask", "");
    m_keyPressed.Load("MaskPressed", "");
    m_keyGrayed.Load("MaskGrayed", "");
    m_brackets.push_back(std::make_unique<Bracket>(*this, true));
    m_brackets.push_back(std::make_unique<Bracket>(*this, false));
    for (auto& bracket : m_brackets)
        AddChild(bracket.get());
}

SegmentRowControl::~SegmentRowControl()
{
    if (m_listening)
        m_listening->RemoveListener(this);
    for (auto& bracket : m_brackets)
        RemoveChild(bracket.get());
}

void SegmentRowControl::Attach()
{
    Segment* segment = m_row.GetSegment();
    if (segment == m_listening)
        return;
    if (m_listening)
        m_listening->RemoveListener(this);
    m_listening = segment;
    if (segment)
        segment->AddListener(this);
    m_bar.SetSegment(segment);
}

CRect SegmentRowControl::GetBounds() const
{
    if (!m_row.GetSegment())
        return {};
    return m_row.GetTimeCell();
}

std::string SegmentRowControl::GetToolTipText() const
{
    std::string text = "Segment";
    if (m_row.GetSegment()) {
        const Span span = m_bar.GetPendingSpan();
        text += " [" + std::to_string(span.first) + "-" + std::to_string(span.last) + "]";
    }
    return text;
}

CRect SegmentRowControl::KeyGlyphRect() const
{
    const Segment* segment = m_bar.GetSegment();
    if (!segment)
        return {};
    const int x = m_bar.TimeToX(segment->GetKeyFrame(), GetSize().cx) - m_key.GetWidth() / 2;
    return CRect(x, 0, x + m_key.GetWidth(), m_key.GetHeight());
}

CRect SegmentRowControl::BracketRect(bool left) const
{
    const Segment* segment = m_bar.GetSegment();
    if (!segment)
        return {};
    // The brackets enclose the span and the key-frame glyph.
    const int width = GetSize().cx;
    const Span span = m_bar.GetPendingSpan();
    const CRect key = KeyGlyphRect();
    if (left) {
        const int x = std::min(m_bar.TimeToX(span.first, width), int(key.left)) - m_left.GetWidth() + 1;
        return CRect(x, 0, x + m_left.GetWidth(), m_left.GetHeight());
    }
    const int x = std::max(m_bar.TimeToX(span.last, width) + 1, int(key.right)) - 1;
    return CRect(x, 0, x + m_right.GetWidth(), m_right.GetHeight());
}

bool SegmentRowControl::InSpanArea(int x) const
{
    const Segment* segment = m_bar.GetSegment();
    if (!segment)
        return false;
    const int width = GetSize().cx;
    const Span span = m_bar.GetPendingSpan();
    const Span data = segment->GetDataSpan();
    int left = m_bar.TimeToX(span.first, width);
    int right = m_bar.TimeToX(span.last, width) + 1;
    if (data.first < data.last) {
        left = std::min(left, m_bar.TimeToX(data.first, width));
        right = std::max(right, m_bar.TimeToX(data.last, width) + 1);
    }
    return x >= left && x < right;
}

void SegmentRowControl::Draw(CDC& dc, const CRect&)
{
    const Segment* segment = m_bar.GetSegment();
    if (!segment)
        return;
    const int width = GetSize().cx;
    const int bottom = GetSize().cy - 1;
    // Only inside the time column, however far the span reaches.
    ClipRegionScope clip(dc, *this, CRect(CPoint(), GetSize()));
    const Span data = segment->GetDataSpan();
    const Span span = m_bar.GetPendingSpan();
    CRect dataRect(m_bar.TimeToX(data.first, width), 0, m_bar.TimeToX(data.last, width) + 1, bottom);
    const bool hasData = data.first < data.last;
    if (hasData) {
        dc.FillSolidRect(dataRect, mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
        CBrush frame(GetSysColor(COLOR_BTNSHADOW));
        dc.FrameRect(&dataRect, &frame);
    }
    const SpanColors colors = ColorsFor(segment->IsProcessing(), m_row.IsSelected());
    CRect spanRect(m_bar.TimeToX(span.first, width), 0, m_bar.TimeToX(span.last, width) + 1, bottom);
    dc.FillSolidRect(spanRect, colors.span);
    CRect both;
    if (hasData && both.IntersectRect(spanRect, dataRect))
        dc.FillSolidRect(both, colors.data);
    const CRect key = KeyGlyphRect();
    const Glyph& glyph = segment->IsProcessing() ? m_keyGrayed
        : segment->IsBeingEdited()               ? m_keyPressed
                                                 : m_key;
    glyph.Draw(dc, key.left, key.top);
    const CRect left = BracketRect(true);
    const CRect right = BracketRect(false);
    m_left.Draw(dc, left.left, left.top);
    m_right.Draw(dc, right.left, right.top);
}

void SegmentRowControl::OnLeftDown(UINT flags, const CPoint& point)
{
    Container::OnLeftDown(flags, point);
    Segment* segment = m_bar.GetSegment();
    if (!segment)
        return;
    SegmentSetRow& owner = m_row.GetOwner();
    if (!InSpanArea(point.x)) {
        owner.SelectSegment(-1);
        return;
    }
    if (!segment->IsProcessing() && KeyGlyphRect().PtInRect(point)) {
        if (segment->IsBeingEdited()) {
            segment->EndEditing();
            return;
        }
        owner.SelectSegment(m_row.GetSegmentIndex());
        if (Sequence* sequence = m_timeline.GetSequence())
            sequence->SetCurrentFrame(segment->GetKeyFrame());
        segment->BeginEditing();
        return;
    }
    owner.SelectSegment(m_row.GetSegmentIndex());
}

void SegmentRowControl::OnLeftDoubleClick(UINT flags, const CPoint& point)
{
    Container::OnLeftDoubleClick(flags, point);
    Segment* segment = m_bar.GetSegment();
    if (!segment || !InSpanArea(point.x))
        return;
    if (segment->IsProcessing())
        segment->StopProcessing(false);
    else
        segment->RequestProcessing();
}

void SegmentRowControl::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    Segment* segment = m_bar.GetSegment();
    if (segment && key == 13)
        segment->RequestProcessing();
    else if (segment && key == 27)
        segment->StopProcessing(false);
    else
        Container::OnKeyDown(key, repeat, flags);
}

void SegmentRowControl::OnEvent(Event& event)
{
    if (dynamic_cast<Segment::TimeSpanChange*>(&event)) {
        m_bar.LoadSpan();
        Invalidate(CRect(CPoint(0, 0), GetSize()));
        m_row.Invalidate(CRect(CPoint(0, 0), m_row.GetSize()));
        return;
    }
    if (dynamic_cast<Segment::Event*>(&event)) {
        m_row.Invalidate(CRect(CPoint(0, 0), m_row.GetSize()));
        return;
    }
    Container::OnEvent(event);
}

SegmentRow::SegmentRow(SegmentSetRow& owner, int index)
    : XlineRow(owner.GetXline(), "")
    , m_owner(owner)
    , m_index(index)
    , m_control(*this)
{
    SetHeight(kSegmentRowHeight);
    AddChild(&m_control);
    m_control.Attach();
}

SegmentRow::~SegmentRow()
{
    RemoveChild(&m_control);
}

Segment* SegmentRow::GetSegment() const
{
    SegmentSet* set = m_owner.GetSegmentSet();
    return set ? set->GetSegment(m_index) : nullptr;
}

bool SegmentRow::IsSelected() const
{
    return m_index >= 0 && m_owner.GetSelectedIndex() == m_index;
}

void SegmentRow::Select()
{
    m_owner.SelectSegment(m_index);
}

std::string SegmentRow::GetName() const
{
    const Segment* segment = GetSegment();
    return segment ? SegmentRowName(segment->GetTimeSpan(), segment->GetKeyFrame()) : std::string();
}

void SegmentRow::DrawCell(CDC& dc, const CRect& clip, const Column& column, const CRect& cell)
{
    if (&column == &GetXline()->GetNameColumn() && IsSelected())
        dc.FillSolidRect(cell.left, cell.top, cell.Width() - 1, cell.Height() - 1, kSelectedName);
    XlineRow::DrawCell(dc, clip, column, cell);
}

void SegmentRow::OnLeftDown(UINT flags, const CPoint& point)
{
    XlineRow::OnLeftDown(flags, point);
    if (GetNameCell().PtInRect(point))
        Select();
}

bool SegmentRow::BeginDrag(UINT flags, const CPoint& press, const CPoint& now)
{
    m_moving = GetList() && GetNameCell().PtInRect(press);
    return m_moving || XlineRow::BeginDrag(flags, press, now);
}

void SegmentRow::Drag(UINT flags, const CPoint& point)
{
    if (!m_moving) {
        XlineRow::Drag(flags, point);
        return;
    }
    const int y = point.y + GetTopLeft().y;
    GetXline()->GetGrid().SetDropPosition(m_owner.GetDropRow(m_owner.GetDropIndex(y)));
}

void SegmentRow::EndDrag(UINT flags, const CPoint& point)
{
    if (!m_moving) {
        XlineRow::EndDrag(flags, point);
        return;
    }
    m_moving = false;
    GetXline()->GetGrid().SetDropPosition(-1);
    const int to = m_owner.GetDropIndex(point.y + GetTopLeft().y);
    SegmentSet* set = m_owner.GetSegmentSet();
    if (!set || to == m_index || to == m_index + 1)
        return;
    m_owner.SelectSegment(m_index);
    // Last: the move rebuilds the segment rows, this one among them.
    set->MoveSelected(to);
}

SegmentSetRow::SegmentSetRow(Xline* xline, std::string name)
    : XlineRow(xline, std::move(name))
{
    SetHeight(kSetRowHeight);
}

SegmentSetRow::~SegmentSetRow()
{
    SetSegmentSet(nullptr);
}

void SegmentSetRow::SetSegmentSet(SegmentSet* set)
{
    if (set == m_set)
        return;
    if (m_set) {
        m_set->RemoveListener(this);
        if (Doc* doc = m_set->GetOwner())
            doc->RemoveListener(this);
        m_set = nullptr;
    }
    m_set = set;
    if (m_set) {
        m_set->AddListener(this);
        if (Doc* doc = m_set->GetOwner())
            doc->AddListener(this);
    }
    Rebuild();
    if (HasChildren())
        Expand();
}

void SegmentSetRow::Rebuild()
{
    const bool expanded = IsExpanded();
    Collapse();
    ClearChildren();
    m_rows.clear();
    const int count = m_set ? m_set->GetCount() : 0;
    std::vector<TreeRow*> children;
    for (int i = 0; i < count; ++i) {
        m_rows.push_back(std::make_unique<SegmentRow>(*this, i));
        children.push_back(m_rows.back().get());
    }
    if (!children.empty())
        InsertChildren(0, children.data(), int(children.size()));
    // An expanded row stays expanded through a rebuild without children,
    // so that the segments made next show at once.
    if (expanded)
        Expand();
}

int SegmentSetRow::GetSelectedIndex() const
{
    const Doc* doc = m_set ? m_set->GetOwner() : nullptr;
    if (!doc)
        return -1;
    const auto* selection = dynamic_cast<const SegmentSelection*>(doc->GetSelection().get());
    return selection && selection->GetSet() == m_set ? selection->GetIndex() : -1;
}

int SegmentSetRow::GetDropIndex(int y) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const CRect r = m_rows[i]->GetBounds();
        if (m_rows[i]->IsShown() && y < (r.top + r.bottom) / 2)
            return int(i);
    }
    return int(m_rows.size());
}

int SegmentSetRow::GetDropRow(int index) const
{
    if (m_rows.empty())
        return -1;
    if (index < int(m_rows.size()))
        return m_rows[std::size_t(std::max(0, index))]->GetIndex();
    return m_rows.back()->GetIndex() + 1;
}

void SegmentSetRow::SelectSegment(int index)
{
    Doc* doc = m_set ? m_set->GetOwner() : nullptr;
    if (doc)
        doc->Select(boost::make_shared<SegmentSelection>(m_set, index));
}

void SegmentSetRow::OnLeftDown(UINT flags, const CPoint& point)
{
    XlineRow::OnLeftDown(flags, point);
    if (Doc* doc = m_set ? m_set->GetOwner() : nullptr)
        doc->Select(nullptr);
}

void SegmentSetRow::OnEvent(Event& event)
{
    if (dynamic_cast<SegmentSet::Change*>(&event)) {
        Rebuild();
        if (List* list = GetList())
            list->Invalidate(CRect(CPoint(0, 0), list->GetSize()));
        return;
    }
    if (dynamic_cast<Doc::SelectionChange*>(&event)) {
        for (auto& row : m_rows)
            row->Invalidate(CRect(CPoint(0, 0), row->GetSize()));
        return;
    }
    XlineRow::OnEvent(event);
}

} // namespace My
