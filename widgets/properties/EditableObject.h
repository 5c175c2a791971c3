#pragma once

// An object whose values the property editor edits, and the per-class table
// of its properties.

#include "widgets/core/EventDispatcher.h"
#include "widgets/properties/PropertyBase.h"

#include <string>

namespace My {

// The properties of one class: built on first use, then marked built.
class PropertyTable {
public:
    PropertyMap& GetMap() { return m_map; }
    const PropertyMap& GetMap() const { return m_map; }
    void Add(const ResourceString& label, PropertyBase* property) { m_map[label] = property; }
    bool IsBuilt() const { return m_built; }
    void SetBuilt() { m_built = true; }

private:
    PropertyMap m_map;
    bool m_built = false;
};

class EditableObject : public virtual EventDispatcher {
public:
    virtual ~EditableObject();

    // The properties of the object's class.
    virtual PropertyTable& GetProperties() = 0;
    // The name of the object's kind, as the editor's caption shows it.
    virtual std::string GetTypeName() const = 0;

    // Tells the rows showing property that its value changed on this object:
    // one PropertyChange sent through that property's dispatcher. With null,
    // the same for every property of the table, in key order.
    void NotifyChange(PropertyBase* property);
};

} // namespace My
