#include "widgets/containers/Tree.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "widgets/containers/ContainerGlyphs.h"
#include "widgets/core/Drawing.h"

namespace My {

namespace {

bool descends_from(const TreeRow* row, const TreeRow* ancestor)
{
    for (const TreeRow* p = row ? row->GetParentRow() : nullptr; p; p = p->GetParentRow())
        if (p == ancestor)
            return true;
    return false;
}

// The list index just past a row's actual descendants in its list.
int subtree_end(const TreeRow* row)
{
    const List* list = row->GetList();
    int i = row->GetIndex() + 1;
    while (i < list->GetRowCount() && descends_from(dynamic_cast<TreeRow*>(list->GetRow(i)), row))
        ++i;
    return i;
}

struct ListGlyphs {
    SysColorGlyph up, down;
    ListGlyphs()
    {
        EnsureContainerGlyphs();
        up.Load("LISTBUTTONUP", "LISTBUTTONUPMASK");
        down.Load("LISTBUTTONDOWN", "LISTBUTTONDOWNMASK");
    }
};

const ListGlyphs& list_glyphs()
{
    static const ListGlyphs glyphs;
    return glyphs;
}

} // namespace

std::string ExpandableRow::GetName() const
{
    return {};
}

bool ExpandableRow::HasChildren() const
{
    return false;
}

bool ExpandableRow::IsExpanded() const
{
    return false;
}

void ExpandableRow::Expand() { }

void ExpandableRow::Collapse() { }

int ExpandableRow::GetLevel() const
{
    return 0;
}

void ExpandableRow::Toggle()
{
    if (IsExpanded())
        Collapse();
    else
        Expand();
}

void ExpandableRow::DrawExpander(CDC& dc, const CRect& rect)
{
    const ListGlyphs& glyphs = list_glyphs();
    const int glyph_width = glyphs.up.GetWidth();
    CRect text = rect;
    text.left = rect.left + GetLevel() * indent_step + glyph_width;
    if (text.IsRectEmpty())
        return;
    DCObjectScope scope(dc);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(is_enabled_in_tree(this) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    CRect name = text;
    name.DeflateRect(4, 0);
    dc.DrawText(GetName(), &name, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (HasChildren()) {
        m_expander = CRect(text.left - glyph_width + 2, rect.top, text.left, rect.bottom);
        (IsExpanded() ? glyphs.down : glyphs.up).DrawIn(dc, m_expander, 0x33);
    } else {
        m_expander = CRect();
    }
}

void ExpandableRow::Draw(CDC& dc, const CRect&)
{
    const CRect r(CPoint(), GetSize());
    dc.FillSolidRect(r, GetSysColor(COLOR_BTNFACE));
    dc.FillSolidRect(r.left, r.top, r.Width(), 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawExpander(dc, r);
}

void ExpandableRow::OnLeftDown(UINT flags, const CPoint& point)
{
    Row::OnLeftDown(flags, point);
    if (HasChildren() && m_expander.PtInRect(point))
        Toggle();
}

void ExpandableRow::OnLeftDoubleClick(UINT flags, const CPoint& point)
{
    Row::OnLeftDoubleClick(flags, point);
    if (HasChildren())
        Toggle();
}

TreeRow::~TreeRow()
{
    if (m_parent) {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    for (TreeRow* child : m_children)
        child->m_parent = nullptr;
}

int TreeRow::GetLevel() const
{
    return m_parent ? m_parent->GetLevel() + 1 : 0;
}

void TreeRow::CollectVisible(std::vector<Row*>& out) const
{
    if (!m_expanded)
        return;
    for (TreeRow* child : m_children) {
        out.push_back(child);
        child->CollectVisible(out);
    }
}

int TreeRow::CountVisible() const
{
    if (!m_expanded)
        return 0;
    int n = 0;
    for (const TreeRow* child : m_children)
        n += 1 + child->CountVisible();
    return n;
}

void TreeRow::Expand()
{
    if (m_expanded)
        return;
    m_expanded = true;
    if (IsShown() && GetList()) {
        Repaint();
        if (auto* tree = dynamic_cast<Tree*>(GetList()))
            tree->InsertDescendants(this);
    }
}

void TreeRow::Collapse()
{
    if (!m_expanded)
        return;
    if (GetList()) {
        Repaint();
        if (auto* tree = dynamic_cast<Tree*>(GetList()))
            tree->RemoveDescendants(this);
    }
    m_expanded = false;
}

void TreeRow::InsertChildren(int index, TreeRow* const* rows, int count)
{
    if (count <= 0)
        return;
    index = std::clamp(index, 0, int(m_children.size()));
    // Where the new rows go in the list: after the rows of the children
    // before them.
    int at = -1;
    auto* tree = dynamic_cast<Tree*>(GetList());
    if (m_expanded && IsShown() && tree)
        at = index == 0 ? GetIndex() + 1 : subtree_end(m_children[std::size_t(index - 1)]);
    m_children.insert(m_children.begin() + index, rows, rows + count);
    std::vector<Row*> visible;
    for (int i = 0; i < count; ++i) {
        rows[i]->m_parent = this;
        visible.push_back(rows[i]);
        rows[i]->CollectVisible(visible);
    }
    if (at >= 0)
        tree->List::InsertRows(at, visible.data(), int(visible.size()));
}

void TreeRow::ClearChildren()
{
    Collapse();
    for (TreeRow* child : m_children)
        child->m_parent = nullptr;
    m_children.clear();
}

Tree::Tree(ScrollBox* box)
    : List(box)
{
    EnsureContainerGlyphs();
}

void Tree::InsertDescendants(TreeRow* row)
{
    if (row->GetList() != this)
        return;
    std::vector<Row*> visible;
    row->CollectVisible(visible);
    List::InsertRows(row->GetIndex() + 1, visible.data(), int(visible.size()));
}

void Tree::RemoveDescendants(TreeRow* row)
{
    if (row->GetList() != this)
        return;
    const int first = row->GetIndex() + 1;
    List::RemoveRows(first, subtree_end(row) - first);
}

void Tree::InsertRows(int index, TreeRow* const* rows, int count)
{
    if (count <= 0)
        return;
    index = std::clamp(index, 0, int(m_roots.size()));
    int at = GetRowCount();
    if (index < int(m_roots.size()) && m_roots[std::size_t(index)]->GetList() == this)
        at = m_roots[std::size_t(index)]->GetIndex();
    m_roots.insert(m_roots.begin() + index, rows, rows + count);
    std::vector<Row*> visible;
    for (int i = 0; i < count; ++i) {
        visible.push_back(rows[i]);
        rows[i]->CollectVisible(visible);
    }
    List::InsertRows(at, visible.data(), int(visible.size()));
}

void Tree::Clear()
{
    RemoveAll();
    m_roots.clear();
}

} // namespace My
