#include "widgets/properties/PropertyRow.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "widgets/controls/Glyph.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Event.h"
#include "widgets/core/Widget.h"
#include "widgets/properties/PEditor.h"

namespace My {

namespace {

struct RowGlyphs {
    SysColorGlyph up, down;
    RowGlyphs()
    {
        up.Load("BUTTONUP", "BUTTONUPMASK");
        down.Load("BUTTONDOWN", "BUTTONDOWNMASK");
    }
};

const RowGlyphs& row_glyphs()
{
    static const RowGlyphs glyphs;
    return glyphs;
}

// A dotted frame, as keyboard focus is shown.
void draw_focus_rect(CDC& dc, const CRect& r, COLORREF color)
{
    draw_dotted_hline(dc, r.top, r.left, r.right, color);
    draw_dotted_hline(dc, r.bottom - 1, r.left, r.right, color);
    for (int y = r.top; y < r.bottom; y += 2) {
        dc.SetPixel(r.left, y, color);
        dc.SetPixel(r.right - 1, y, color);
    }
}

} // namespace

PropertyRow::PropertyRow(PEditor* editor, PropertyList* list, const ResourceString& caption,
    PropertyBase* property, EditableList* objects, PropertyRow* parent)
    : m_editor(editor)
    , m_list(list)
    , m_caption(caption)
    , m_property(property)
    , m_objects(objects)
    , m_parent(parent)
{
    SetHeight(height);
    m_property->AddListener(this);
    m_control = m_property->CreateControl(*m_objects);
    if (m_control)
        AddChild(m_control);
    m_childMap = m_property->GetChildren(*m_objects);
    m_property->GetChildObjects(*m_objects, m_childObjects);
    BuildChildren();
}

PropertyRow::~PropertyRow()
{
    DeleteChildren();
    if (m_control) {
        RemoveChild(m_control);
        m_property->DestroyControl(m_control);
        m_control = nullptr;
    }
    m_property->RemoveListener(this);
    if (GetList() && GetIndex() >= 0)
        GetList()->RemoveRows(GetIndex(), 1);
}

void PropertyRow::BuildChildren()
{
    if (!m_childMap)
        return;
    for (const auto& [key, child] : *m_childMap)
        m_children.push_back(new PropertyRow(m_editor, m_list, key, child, &m_childObjects, this));
}

void PropertyRow::DeleteChildren()
{
    for (PropertyRow* child : m_children)
        delete child;
    m_children.clear();
}

int PropertyRow::GetLevel() const
{
    int level = 0;
    for (const PropertyRow* p = m_parent; p; p = p->m_parent)
        ++level;
    return level;
}

void PropertyRow::Expand()
{
    if (m_expanded)
        return;
    if (GetList() == m_list && GetIndex() >= 0 && !m_children.empty()) {
        std::vector<RowControl*> rows(m_children.begin(), m_children.end());
        m_list->InsertRows(GetIndex() + 1, rows.data(), int(rows.size()));
    }
    m_expanded = true;
    Invalidate(CRect(CPoint(), GetSize()));
    for (PropertyRow* child : m_children)
        if (m_editor->WantsExpanded(child->m_property))
            child->Expand();
}

void PropertyRow::Collapse()
{
    if (!m_expanded)
        return;
    for (PropertyRow* child : m_children) {
        m_editor->RememberExpanded(child->m_property, child->m_expanded);
        child->Collapse();
    }
    // The child rows are consecutive right after this row once their own
    // children are gone.
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        if ((*it)->GetList() && (*it)->GetIndex() >= 0)
            m_list->RemoveRows((*it)->GetIndex(), 1);
    m_expanded = false;
    Invalidate(CRect(CPoint(), GetSize()));
}

void PropertyRow::Toggle()
{
    if (m_expanded)
        Collapse();
    else
        Expand();
}

void PropertyRow::Refresh()
{
    m_upToDate = true;
    const PropertyMap* map = m_property->GetChildren(*m_objects);
    EditableList objects;
    m_property->GetChildObjects(*m_objects, objects);
    Invalidate(CRect(CPoint(), GetSize()));
    if (map == m_childMap && objects.GetObjects() == m_childObjects.GetObjects()) {
        for (PropertyRow* child : m_children)
            child->Refresh();
        return;
    }
    const bool was_expanded = m_expanded;
    Collapse();
    DeleteChildren();
    m_childMap = map;
    m_childObjects.Resize(objects.GetCount());
    for (std::size_t i = 0; i < objects.GetCount(); ++i)
        m_childObjects.Set(i, objects.Get(i));
    BuildChildren();
    if (was_expanded)
        Expand();
}

CRect PropertyRow::GetCaptionRect() const
{
    return CRect(16 * GetLevel() + 13, 0, m_editor->GetEffectiveCaptionWidth(), GetHeight());
}

bool PropertyRow::IsSelected() const
{
    return GetList() && m_list->GetSelected() == GetIndex();
}

void PropertyRow::Layout()
{
    if (auto* widget = dynamic_cast<Widget*>(m_control)) {
        const CSize size = GetSize();
        widget->SetBounds(CRect(m_editor->GetEffectiveCaptionWidth() + 4, 0, std::max(size.cx, 0), size.cy));
    }
}

void PropertyRow::Draw(CDC& dc, const CRect&)
{
    const CRect r(CPoint(), GetSize());
    const int caption_width = m_editor->GetEffectiveCaptionWidth();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    dc.FillSolidRect(
        r, IsSelected() ? RGB(224, 224, 255) : mix_sys_colors(COLOR_BTNFACE, COLOR_BTNHIGHLIGHT));
    const CRect text = GetCaptionRect();
    if (!text.IsRectEmpty()) {
        DCObjectScope scope(dc);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(GetSysColor(is_enabled_in_tree(this) ? COLOR_WINDOWTEXT : COLOR_BTNSHADOW));
        CRect inner = text;
        inner.DeflateRect(4, 0);
        dc.DrawText(m_caption.GetText(), &inner,
            DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        if (IsSelected() && m_list->HasFocus()) {
            CRect measured = inner;
            dc.DrawText(m_caption.GetText(), &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            measured.right = std::min(measured.right, inner.right);
            const int h = measured.Height();
            measured.top = inner.top + (inner.Height() - h) / 2;
            measured.bottom = measured.top + h;
            measured.InflateRect(2, 1);
            draw_focus_rect(dc, measured, GetSysColor(COLOR_WINDOWTEXT));
        }
    }
    if (!m_children.empty()) {
        m_expander = CRect(text.left - 11, 0, text.left, r.bottom - 2);
        const RowGlyphs& glyphs = row_glyphs();
        (m_expanded ? glyphs.down : glyphs.up).DrawIn(dc, m_expander, 0x33);
    } else {
        m_expander = CRect();
    }
    if (!m_control)
        dc.FillSolidRect(CRect(caption_width, 0, r.right, r.bottom), face);
    dc.FillSolidRect(0, r.bottom - 1, r.Width(), 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    dc.FillSolidRect(caption_width, 0, 1, r.Height(), GetSysColor(COLOR_BTNSHADOW));
}

void PropertyRow::OnEvent(Event& event)
{
    if (auto* change = dynamic_cast<PropertyChange*>(&event)) {
        if (change->property == m_property) {
            m_upToDate = false;
            Invalidate(CRect(CPoint(), GetSize()));
        }
        return;
    }
    Container::OnEvent(event);
}

void PropertyRow::RefreshStale()
{
    if (!m_upToDate) {
        Refresh();
        return;
    }
    for (PropertyRow* child : m_children)
        child->RefreshStale();
}

void PropertyRow::OnLeftDown(UINT flags, const CPoint& point)
{
    Container::OnLeftDown(flags, point);
    if (!m_children.empty() && m_expander.PtInRect(point))
        Toggle();
    else if (GetList())
        m_list->SelectRow(GetIndex());
}

void PropertyRow::OnLeftDoubleClick(UINT flags, const CPoint& point)
{
    Container::OnLeftDoubleClick(flags, point);
    if (!m_children.empty())
        Toggle();
}

} // namespace My
