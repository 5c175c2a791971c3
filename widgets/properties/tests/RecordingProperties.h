#pragma once

// Property-model test doubles shared by the toolkit's tests and the
// document's XML tests: a leaf that records what it loads, an object owning
// a property table, and a listener that records property changes.

#include "widgets/properties/EditableObject.h"
#include "widgets/properties/PropertyBase.h"

#include "foundation/xml/xml_stream.h"

#include <string>
#include <utility>
#include <vector>

namespace test {

// A leaf whose persistence a test can switch on; it records Load and Save.
class Leaf : public My::PropertyBase {
public:
    bool persistent = false;
    bool readOnly = false;
    bool enabled = true;
    mutable std::vector<std::string> loaded;
    bool IsApplicable(My::EditableObject*) const override { return true; }
    bool IsPersistent(const My::EditableList&) const override { return persistent; }
    bool IsReadOnly(const My::EditableList&) const override { return readOnly; }
    bool IsEnabled(const My::EditableList&) const override { return enabled; }
    void Save(xml::stream& s, My::EditableObject*) const override { s.set_attribute("value", "1"); }
    void Load(xml::stream& s, My::EditableObject*) const override
    {
        loaded.push_back(s.get_attribute_or_default("value", ""));
    }
};

class Thing : public My::EditableObject {
public:
    My::PropertyTable table;
    My::PropertyTable& GetProperties() override { return table; }
    std::string GetTypeName() const override { return "Thing"; }
};

struct ChangeLog : My::EventListener {
    std::vector<std::pair<My::EditableObject*, My::PropertyBase*>> seen;
    void OnEvent(My::Event& event) override
    {
        if (auto* change = dynamic_cast<My::PropertyChange*>(&event))
            seen.emplace_back(change->object, change->property);
    }
};

} // namespace test
