#pragma once

// The abstract description of what can be edited on an object: a property is
// a leaf (a typed value bound through accessors), a group of named child
// properties, or a composite whose children are edited side by side in one
// row. Property objects are built once per class and live for the whole
// run; editors register as listeners on a property while they show it.

#include "widgets/core/Event.h"
#include "widgets/core/EventDispatcher.h"
#include "widgets/properties/ResourceString.h"

#include <map>
#include <string>
#include <vector>

namespace xml {
class stream;
}

namespace My {

class Control;
class EditableObject;
class PropertyBase;

using PropertyMap = std::map<ResourceString, PropertyBase*>;

// The objects one editing operation applies to, in order.
class EditableList {
public:
    EditableList() = default;
    explicit EditableList(std::vector<EditableObject*> objects);
    virtual ~EditableList();

    // Growing appends null entries; shrinking removes entries from the end.
    virtual void Resize(std::size_t n);

    std::size_t GetCount() const { return m_objects.size(); }
    EditableObject* Get(std::size_t i) const { return m_objects[i]; }
    void Set(std::size_t i, EditableObject* object) { m_objects[i] = object; }
    const std::vector<EditableObject*>& GetObjects() const { return m_objects; }

private:
    std::vector<EditableObject*> m_objects;
};

// Sent through a property's dispatcher when that property's value changed on
// object.
class PropertyChange : public Event {
public:
    PropertyChange(EditableObject* object_, PropertyBase* property_)
        : object(object_)
        , property(property_)
    {
    }
    ~PropertyChange() override;

    EditableObject* object;
    PropertyBase* property;
};

class PropertyBase : public EventDispatcher {
public:
    virtual ~PropertyBase();

    // The help text of the editor's info pane; empty by default.
    virtual std::string GetDescription(const EditableList& objects) const;
    // Whether the row's editing control refuses input; false by default.
    virtual bool IsReadOnly(const EditableList& objects) const;
    // Whether the row's editing control is shown; true by default.
    virtual bool IsEnabled(const EditableList& objects) const;
    // The child map, or null for a leaf (the default).
    virtual const PropertyMap* GetChildren(const EditableList& objects) const;
    // Fills out with the objects the children edit; by default the same
    // objects, in order.
    virtual void GetChildObjects(const EditableList& objects, EditableList& out) const;
    // Whether the editor shows the row expanded the first time; false.
    virtual bool IsInitiallyExpanded() const;
    virtual bool IsApplicable(EditableObject* object) const = 0;

    // The per-object XML form: one "property" element, named by its key's
    // text, per persistent child. Loading skips elements with unknown names
    // and throws xml::attribute_not_found for an element without "name".
    virtual void Load(xml::stream& stream, EditableObject* object) const;
    virtual void Save(xml::stream& stream, EditableObject* object) const;
    // True when any child is persistent; false for a leaf.
    virtual bool IsPersistent(const EditableList& objects) const;

    // The editing control of the row's value column; null by default (a row
    // without an editor). The caller disposes of it with DestroyControl.
    virtual Control* CreateControl(const EditableList& objects);
    virtual void DestroyControl(Control* control);
};

// A group of rows without a value of its own.
class PropertyGroup : public PropertyBase {
public:
    explicit PropertyGroup(std::string description = {}, bool initially_expanded = false);

    std::string GetDescription(const EditableList& objects) const override;
    bool IsEnabled(const EditableList& objects) const override;
    bool IsApplicable(EditableObject* object) const override;
    const PropertyMap* GetChildren(const EditableList& objects) const override;
    bool IsInitiallyExpanded() const override;

    // Adds child under label; the group does not own it.
    void Add(const ResourceString& label, PropertyBase* child);
    PropertyMap& GetMap() { return m_children; }

private:
    PropertyMap m_children;
    std::string m_description;
    bool m_initiallyExpanded;
};

// A composite edited in one row: its children are the parts of one value.
class PropertyString : public PropertyBase {
public:
    explicit PropertyString(ResourceString description = {});

    std::string GetDescription(const EditableList& objects) const override;
    // Every child read-only (true when there is none).
    bool IsReadOnly(const EditableList& objects) const override;
    // Any child enabled (false when there is none).
    bool IsEnabled(const EditableList& objects) const override;
    // Every child applicable (true when there is none).
    bool IsApplicable(EditableObject* object) const override;
    // The parts are edited in the row's own control, so the row has no
    // child rows: GetChildren stays the base's (null).
    // A RowPropertyControl over the children, disposed of by deleting it.
    Control* CreateControl(const EditableList& objects) override;
    void DestroyControl(Control* control) override;

    void Add(const ResourceString& label, PropertyBase* child);
    PropertyMap& GetMap() { return m_children; }

private:
    PropertyMap m_children;
    ResourceString m_description;
};

} // namespace My
