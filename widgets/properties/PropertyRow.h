#pragma once

// One row of the property editor: the caption of a property on the left,
// the editing control that the property makes on the right, and the rows of
// its children below it while it is expanded. A row listens to its property
// and rebuilds what changed at the next UI update after a PropertyChange.

#include <vector>

#include "widgets/core/Container.h"
#include "widgets/properties/PropertyBase.h"
#include "widgets/scrolling/ListControl.h"

namespace My {

class PEditor;
class PropertyList;

class PropertyRow : public RowControl, public Container {
public:
    static constexpr int height = 18;

    // Registers with the property, makes the hosted control and the child
    // rows (not yet in the list). `objects` outlives the row.
    PropertyRow(PEditor* editor, PropertyList* list, const ResourceString& caption, PropertyBase* property,
        EditableList* objects, PropertyRow* parent);
    // Deletes the child rows, gives the control back to the property and
    // leaves the property's listeners.
    ~PropertyRow() override;

    CRect GetBounds() const override { return RowControl::GetBounds(); }

    // Inserts the child rows after this row, then expands the children
    // that the editor's memory (or the property) says were expanded.
    void Expand();
    // Records and collapses the children, then removes them from the list.
    void Collapse();
    void Toggle();
    bool IsExpanded() const { return m_expanded; }
    bool HasChildren() const { return !m_children.empty(); }
    // Asks the property again for its children and child objects; rebuilds
    // the child rows when they changed.
    void Refresh();
    bool IsUpToDate() const { return m_upToDate; }
    // Refreshes this row when a change made it stale, else its children
    // the same way. The editor calls it on its UI update, outside the
    // list's own layout pass, because refreshing may add and remove rows.
    void RefreshStale();

    int GetLevel() const;
    PropertyBase* GetProperty() const { return m_property; }
    const ResourceString& GetCaption() const { return m_caption; }
    PropertyRow* GetParentRow() const { return m_parent; }
    const std::vector<PropertyRow*>& GetChildRows() const { return m_children; }
    Control* GetHostedControl() const { return m_control; }
    const CRect& GetExpanderRect() const { return m_expander; }
    // The caption's text area: from 16 * level + 13 to the caption width.
    CRect GetCaptionRect() const;

    void Layout() override;
    void Draw(CDC& dc, const CRect& clip) override;
    void OnEvent(Event& event) override;
    void OnLeftDown(UINT flags, const CPoint& point) override;
    void OnLeftDoubleClick(UINT flags, const CPoint& point) override;

private:
    void BuildChildren();
    void DeleteChildren();
    bool IsSelected() const;

    PEditor* m_editor;
    PropertyList* m_list;
    ResourceString m_caption;
    PropertyBase* m_property;
    EditableList* m_objects;
    EditableList m_childObjects;
    const PropertyMap* m_childMap = nullptr;
    Control* m_control = nullptr;
    PropertyRow* m_parent;
    std::vector<PropertyRow*> m_children;
    bool m_expanded = false;
    bool m_upToDate = true;
    CRect m_expander;
};

} // namespace My
