#pragma once

// Expandable rows and trees. A tree row keeps its children in its own
// vector; only the rows of expanded ancestors are in the list. Collapsing a
// row removes exactly its visible descendants from the list; a row attached
// while expanded brings its visible descendants along. Rows are not owned.

#include <string>
#include <vector>

#include "widgets/containers/List.h"
#include "widgets/controls/Glyph.h"

namespace My {

class ExpandableRow : public virtual Row {
public:
    static constexpr int indent_step = 16;

    virtual std::string GetName() const;
    virtual bool HasChildren() const;
    virtual bool IsExpanded() const;
    virtual void Expand();
    virtual void Collapse();
    virtual int GetLevel() const;

    // Collapses an expanded row, expands a collapsed one.
    void Toggle();
    // The expander and the name in `rect` (the caller's coordinates); the
    // expander's rectangle is kept for hit testing.
    void DrawExpander(CDC& dc, const CRect& rect);
    const CRect& GetExpanderRect() const { return m_expander; }

    // A face, a highlight line along the top, then the expander and name.
    void Draw(CDC& dc, const CRect& clip) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnLeftDoubleClick(UINT flags, const CPoint& point) override;

private:
    CRect m_expander;
};

class TreeRow : public ExpandableRow {
public:
    TreeRow() = default;
    ~TreeRow() override;

    bool HasChildren() const override { return !m_children.empty(); }
    bool IsExpanded() const override { return m_expanded; }
    void Expand() override;
    void Collapse() override;
    int GetLevel() const override;

    // Inserts children (index clamped); when this row is expanded and in
    // a list, their visible rows enter the list in place.
    void InsertChildren(int index, TreeRow* const* rows, int count);
    // Collapses and forgets the children (they are not deleted).
    void ClearChildren();
    TreeRow* GetParentRow() const { return m_parent; }
    const std::vector<TreeRow*>& GetChildRows() const { return m_children; }

    // This row's visible descendants: each child followed by its own,
    // depth first, through expanded rows.
    void CollectVisible(std::vector<Row*>& out) const;
    int CountVisible() const;

private:
    TreeRow* m_parent = nullptr;
    std::vector<TreeRow*> m_children;
    bool m_expanded = false;
};

class Tree : public virtual List {
public:
    explicit Tree(ScrollBox* box = nullptr);

    // Inserts root rows before root `index` (clamped), with their visible
    // descendants, at the matching place in the list.
    void InsertRows(int index, TreeRow* const* rows, int count);
    // Removes every row from the list and forgets the roots.
    void Clear();
    const std::vector<TreeRow*>& GetRootRows() const { return m_roots; }

    // Inserts a row's visible descendants right after it (when it is in
    // this list) and the reverse.
    void InsertDescendants(TreeRow* row);
    void RemoveDescendants(TreeRow* row);

private:
    std::vector<TreeRow*> m_roots;
};

} // namespace My
