#include "widgets/properties/PropertyBase.h"

#include "foundation/xml/xml_stream.h"
#include "widgets/properties/RowPropertyControl.h"

#include <algorithm>

namespace My {

EditableList::EditableList(std::vector<EditableObject*> objects)
    : m_objects(std::move(objects))
{
}

EditableList::~EditableList() = default;

void EditableList::Resize(std::size_t n)
{
    m_objects.resize(n, nullptr);
}

PropertyChange::~PropertyChange() = default;

PropertyBase::~PropertyBase() = default;

std::string PropertyBase::GetDescription(const EditableList&) const
{
    return {};
}

bool PropertyBase::IsReadOnly(const EditableList&) const
{
    return false;
}

bool PropertyBase::IsEnabled(const EditableList&) const
{
    return true;
}

const PropertyMap* PropertyBase::GetChildren(const EditableList&) const
{
    return nullptr;
}

void PropertyBase::GetChildObjects(const EditableList& objects, EditableList& out) const
{
    out.Resize(objects.GetCount());
    for (std::size_t i = 0; i < objects.GetCount(); ++i)
        out.Set(i, objects.Get(i));
}

bool PropertyBase::IsInitiallyExpanded() const
{
    return false;
}

void PropertyBase::Save(xml::stream& stream, EditableObject* object) const
{
    const EditableList list({ object });
    const PropertyMap* children = GetChildren(list);
    if (!children)
        return;
    for (const auto& [label, child] : *children) {
        if (!child->IsPersistent(list))
            continue;
        xml::stream element(stream.add_child("property"), stream.reading);
        element.set_attribute("name", label.GetText());
        child->Save(element, object);
    }
}

void PropertyBase::Load(xml::stream& stream, EditableObject* object) const
{
    const EditableList list({ object });
    const PropertyMap* children = GetChildren(list);
    if (!children)
        return;
    std::vector<xml::node> elements;
    stream.select(elements, "property");
    for (const auto& node : elements) {
        xml::stream element(node, stream.reading);
        const std::string name = element.read_string("name");
        // Keys are looked up as "that text with id 0": by text, linearly,
        // since string-table labels are ordered by their ids.
        auto it = FindByText(*children, name);
        if (it != children->end())
            it->second->Load(element, object);
    }
}

bool PropertyBase::IsPersistent(const EditableList& objects) const
{
    const PropertyMap* children = GetChildren(objects);
    if (!children)
        return false;
    return std::any_of(children->begin(), children->end(),
        [&](const auto& entry) { return entry.second->IsPersistent(objects); });
}

Control* PropertyBase::CreateControl(const EditableList&)
{
    return nullptr;
}

void PropertyBase::DestroyControl(Control*) { }

PropertyGroup::PropertyGroup(std::string description, bool initially_expanded)
    : m_description(std::move(description))
    , m_initiallyExpanded(initially_expanded)
{
}

std::string PropertyGroup::GetDescription(const EditableList&) const
{
    return m_description;
}

bool PropertyGroup::IsEnabled(const EditableList&) const
{
    return true;
}

bool PropertyGroup::IsApplicable(EditableObject*) const
{
    return true;
}

const PropertyMap* PropertyGroup::GetChildren(const EditableList&) const
{
    return &m_children;
}

bool PropertyGroup::IsInitiallyExpanded() const
{
    return m_initiallyExpanded;
}

void PropertyGroup::Add(const ResourceString& label, PropertyBase* child)
{
    m_children[label] = child;
}

PropertyString::PropertyString(ResourceString description)
    : m_description(std::move(description))
{
}

std::string PropertyString::GetDescription(const EditableList&) const
{
    return m_description.GetText();
}

bool PropertyString::IsReadOnly(const EditableList& objects) const
{
    return std::all_of(m_children.begin(), m_children.end(),
        [&](const auto& entry) { return entry.second->IsReadOnly(objects); });
}

bool PropertyString::IsEnabled(const EditableList& objects) const
{
    return std::any_of(m_children.begin(), m_children.end(),
        [&](const auto& entry) { return entry.second->IsEnabled(objects); });
}

bool PropertyString::IsApplicable(EditableObject* object) const
{
    return std::all_of(m_children.begin(), m_children.end(),
        [&](const auto& entry) { return entry.second->IsApplicable(object); });
}

Control* PropertyString::CreateControl(const EditableList& objects)
{
    return new RowPropertyControl(m_children, objects);
}

void PropertyString::DestroyControl(Control* control)
{
    delete control;
}

void PropertyString::Add(const ResourceString& label, PropertyBase* child)
{
    m_children[label] = child;
}

} // namespace My
