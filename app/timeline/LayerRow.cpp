#include "app/timeline/LayerRow.h"

#include "app/timeline/TimelineGlyphs.h"
#include "document/Doc.h"
#include "document/composition/Layer.h"
#include "platform/gui/colors.h"
#include "widgets/core/Drawing.h"

#include <algorithm>

namespace My {

namespace {
constexpr int kRowHeight = 15;
constexpr COLORREF kTrimmed = 0xB8F6DC;
} // namespace

class LayerControl::Bracket : public StripHandle {
public:
    Bracket(LayerControl& control, bool left)
        : StripHandle("Trimming")
        , m_control(control)
        , m_left(left)
    {
    }

protected:
    CRect Place() const override
    {
        const LayerBar& bar = m_control.m_bar;
        if (!bar.IsActive())
            return {};
        const Timeline& t = m_control.m_timeline;
        const Span trim = bar.GetTrim();
        const Glyph& glyph = m_left ? m_control.m_leftGlyph : m_control.m_rightGlyph;
        const int x = t.TimeToX(bar.GetStart() + (m_left ? trim.first : trim.last));
        return place_rect(glyph.GetSize(), CPoint(x, 0), m_left ? 0x12 : 0x11);
    }
    bool Begin(int x) override { return m_control.m_bar.BeginBracket(m_left, x); }
    void Move(int x, int width) override
    {
        m_control.m_bar.Move(x, width);
        m_control.Invalidate(CRect(CPoint(0, 0), m_control.GetSize()));
    }
    void End() override { m_control.m_bar.End(); }

private:
    LayerControl& m_control;
    bool m_left;
};

LayerControl::LayerControl(LayerRow& row)
    : m_row(row)
    , m_timeline(*row.GetXline())
    , m_bar(*row.GetXline())
{
    AddTimelineGlyphs();
    m_leftGlyph.Load("LeftBracket", "LeftBracketMask");
    m_rightGlyph.Load("RightBracket", "RightBracketMask");
    m_brackets.push_back(std::make_unique<Bracket>(*this, true));
    m_brackets.push_back(std::make_unique<Bracket>(*this, false));
    for (auto& bracket : m_brackets)
        AddChild(bracket.get());
}

LayerControl::~LayerControl()
{
    SetLayer(nullptr);
    for (auto& bracket : m_brackets)
        RemoveChild(bracket.get());
}

void LayerControl::SetLayer(Layer* layer)
{
    if (Layer* old = m_bar.GetLayer())
        old->RemoveListener(this);
    m_bar.SetLayer(layer);
    if (layer)
        layer->AddListener(this);
    Invalidate(CRect(CPoint(0, 0), GetSize()));
}

CRect LayerControl::GetBounds() const
{
    return m_row.GetTimeCell();
}

void LayerControl::Draw(CDC& dc, const CRect&)
{
    if (!m_bar.IsActive())
        return;
    const int height = GetSize().cy;
    // Scrolled or zoomed, the bar reaches past the time column: it shows
    // only inside it.
    ClipRegionScope clip(dc, *this, CRect(CPoint(), GetSize()));
    const Layer& layer = *m_bar.GetLayer();
    const int start = m_bar.GetStart();
    CRect footage(
        m_timeline.TimeToX(start), 0, m_timeline.TimeToX(start + layer.GetLength()) + 1, height - 1);
    dc.FillSolidRect(footage, mix_sys_colors(COLOR_BTNFACE, COLOR_BTNHIGHLIGHT));
    CBrush frame(mix_sys_colors(COLOR_BTNFACE, COLOR_BTNSHADOW));
    dc.FrameRect(&footage, &frame);
    const Span trim = m_bar.GetTrim();
    CRect trimmed(
        m_timeline.TimeToX(start + trim.first), 0, m_timeline.TimeToX(start + trim.last) + 1, height - 1);
    dc.FillSolidRect(trimmed, kTrimmed);
    CBrush shadow(GetSysColor(COLOR_BTNSHADOW));
    dc.FrameRect(&trimmed, &shadow);
    m_leftGlyph.Draw(dc, trimmed.left - m_leftGlyph.GetWidth(), 0);
    m_rightGlyph.Draw(dc, trimmed.right - 1, 0);
}

void LayerControl::OnLeftDown(UINT flags, const CPoint& point)
{
    // The layer hears of presses on its footage only.
    if (m_bar.PressesFootage(point.x))
        m_bar.GetLayer()->OnPress();
    Container::OnLeftDown(flags, point);
}

bool LayerControl::BeginDrag(UINT, const CPoint& press, const CPoint&)
{
    return m_bar.BeginBody(press.x);
}

void LayerControl::Drag(UINT, const CPoint& point)
{
    m_bar.Move(point.x, GetSize().cx);
    Invalidate(CRect(CPoint(0, 0), GetSize()));
}

void LayerControl::EndDrag(UINT, const CPoint&)
{
    m_bar.End();
}

void LayerControl::OnEvent(Event& event)
{
    if (dynamic_cast<Layer::Event*>(&event)) {
        Invalidate(CRect(CPoint(0, 0), GetSize()));
        return;
    }
    Container::OnEvent(event);
}

LayerRow::LayerRow(Xline* xline, std::string name)
    : XlineRow(xline, std::move(name))
    , m_control(*this)
{
    SetHeight(kRowHeight);
    AddChild(&m_control);
}

LayerRow::~LayerRow()
{
    SetLayer(nullptr);
    RemoveChild(&m_control);
}

void LayerRow::SetLayer(Layer* layer)
{
    if (m_layer)
        m_layer->RemoveListener(this);
    m_layer = layer;
    if (m_layer)
        m_layer->AddListener(this);
    m_control.SetLayer(layer);
    if (GetList())
        Invalidate(CRect(CPoint(0, 0), GetSize()));
}

void LayerRow::SetEditedHandler(std::function<void()> handler)
{
    m_control.GetBar().SetEditedHandler(std::move(handler));
}

void LayerRow::DrawCell(CDC& dc, const CRect& clip, const Column& column, const CRect& cell)
{
    // The layer interface has no activity query: the background layer is
    // never active, so its name cell keeps the face colour.
    XlineRow::DrawCell(dc, clip, column, cell);
}

void LayerRow::OnLeftDown(UINT flags, const CPoint& point)
{
    XlineRow::OnLeftDown(flags, point);
    if (!m_layer || m_layer->IsEmpty())
        return;
    if (Doc* doc = GetDoc())
        doc->Select(nullptr);
    if (GetNameCell().PtInRect(point))
        m_layer->OnPress();
}

void LayerRow::OnEvent(Event& event)
{
    if (dynamic_cast<Layer::Event*>(&event) || dynamic_cast<Doc::SelectionChange*>(&event)) {
        Invalidate(CRect(CPoint(0, 0), GetSize()));
        return;
    }
    XlineRow::OnEvent(event);
}

} // namespace My
