#pragma once

// Typed properties: a property that shows and edits one value of type T of
// the edited objects through accessors (Access.h), a composite whose
// children it builds on first use, a structure edited through its fields,
// and a value with its own editor that also governs a group of children.
// Properties are built once per class and live for the whole run. UI
// thread only.

#include "document/history/ActionHistory.h"
#include "document/properties/Access.h"
#include "foundation/numbers/fraction.h"
#include "widgets/properties/PropertyBase.h"
#include "widgets/properties/ResourceString.h"

#include <boost/shared_ptr.hpp>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace My {

template <class T> class BasicProperty;

// The editing control of a typed property's row, made on the property for a
// copy of the object list (defined with the controls); DestroyTypedControl
// disposes of it.
template <class T> Control* CreateTypedControl(BasicProperty<T>* property, const EditableList& objects);
void DestroyTypedControl(Control* control);

// Equality of two values as the controls compare them.
template <class T> bool SameValue(const T& a, const T& b)
{
    return a == b;
}
inline bool SameValue(const fraction& a, const fraction& b)
{
    return a.numerator == b.numerator && a.denominator == b.denominator;
}

template <class T> class BasicProperty : public PropertyBase {
public:
    using PropertyBase::IsEnabled;
    using PropertyBase::IsReadOnly;

    // Read-only when any object is (false for an empty list).
    bool IsReadOnly(const EditableList& objects) const override
    {
        for (EditableObject* object : objects.GetObjects())
            if (IsReadOnly(object))
                return true;
        return false;
    }
    // Enabled when every object is (true for an empty list).
    bool IsEnabled(const EditableList& objects) const override
    {
        for (EditableObject* object : objects.GetObjects())
            if (!IsEnabled(object))
                return false;
        return true;
    }

    virtual bool IsReadOnly(EditableObject* object) const = 0;
    virtual bool IsEnabled(EditableObject* object) const = 0;
    // False: no value for this object.
    virtual bool ReadValue(EditableObject* object, T& out) const = 0;
    // May throw the setter's error.
    virtual void WriteValue(EditableObject* object, const T& value) const = 0;
};

// A typed property bound through accessors, all empty at construction.
template <class T> class PropertyImpl : public virtual BasicProperty<T> {
public:
    using BasicProperty<T>::IsEnabled;
    using BasicProperty<T>::IsReadOnly;

    std::string GetDescription(const EditableList&) const override { return m_description.GetText(); }

    bool IsApplicable(EditableObject* object) const override
    {
        if (m_read && !m_read->IsApplicable(object))
            return false;
        if (m_write && !m_write->IsApplicable(object))
            return false;
        if (m_readOnly && !m_readOnly->IsApplicable(object))
            return false;
        return !m_enable || m_enable->IsApplicable(object);
    }

    // Read-only while the read-only condition reads true; else without a
    // write access. A condition that cannot be read counts as not set.
    bool IsReadOnly(EditableObject* object) const override
    {
        bool value = false;
        if (m_readOnly && m_readOnly->Read(object, value) && value)
            return true;
        return !m_write;
    }
    // True without an enable condition or when it cannot be read.
    bool IsEnabled(EditableObject* object) const override
    {
        bool value = true;
        if (m_enable && m_enable->Read(object, value))
            return value;
        return true;
    }
    bool ReadValue(EditableObject* object, T& out) const override
    {
        return m_read && m_read->Read(object, out);
    }
    void WriteValue(EditableObject* object, const T& value) const override
    {
        if (m_write)
            m_write->Write(object, value);
    }

    // Makes one accessor both the read and the write access.
    PropertyImpl& SetAccess(boost::shared_ptr<ReadWriteAccess<T>> access)
    {
        m_read = access;
        m_write = access;
        return *this;
    }
    PropertyImpl& SetReadAccess(ReadAccessPtr<T> access)
    {
        m_read = std::move(access);
        return *this;
    }
    PropertyImpl& SetWriteAccess(WriteAccessPtr<T> access)
    {
        m_write = std::move(access);
        return *this;
    }
    PropertyImpl& SetReadOnlyCondition(ConditionPtr condition)
    {
        m_readOnly = std::move(condition);
        return *this;
    }
    PropertyImpl& SetEnableCondition(ConditionPtr condition)
    {
        m_enable = std::move(condition);
        return *this;
    }
    PropertyImpl& SetDescription(ResourceString description)
    {
        m_description = std::move(description);
        return *this;
    }
    const ResourceString& GetDescriptionString() const { return m_description; }

private:
    ResourceString m_description;
    ReadAccessPtr<T> m_read;
    WriteAccessPtr<T> m_write;
    ConditionPtr m_readOnly;
    ConditionPtr m_enable;
};

// A leaf with an editor in its row: the typed control of T.
template <class T> class Property : public PropertyImpl<T> {
public:
    Control* CreateControl(const EditableList& objects) override
    {
        return CreateTypedControl<T>(this, objects);
    }
    void DestroyControl(Control* control) override { DestroyTypedControl(control); }
};

// A typed value whose children are built on the first GetChildren.
template <class T> class CompositeProperty : public virtual BasicProperty<T> {
public:
    explicit CompositeProperty(bool initially_expanded = false)
        : m_initiallyExpanded(initially_expanded)
    {
    }

    const PropertyMap* GetChildren(const EditableList&) const override
    {
        if (!m_built) {
            m_built = true;
            const_cast<CompositeProperty*>(this)->Build();
        }
        return &m_children;
    }
    bool IsInitiallyExpanded() const override { return m_initiallyExpanded; }

    // Adds child under label; the composite does not own it.
    void Add(const ResourceString& label, PropertyBase* child) { m_children[label] = child; }

protected:
    // Fills the child map; adds nothing by default.
    virtual void Build() { }

private:
    PropertyMap m_children;
    mutable bool m_built = false;
    bool m_initiallyExpanded;
};

// A structure edited through its parts: its own accessors read and write the
// whole T; its children read and write fields of it through it. Owns the
// children its Build creates (Own). No editor of its own.
template <class T> class StructProperty : public PropertyImpl<T>, public CompositeProperty<T> {
public:
    explicit StructProperty(bool initially_expanded = false)
        : CompositeProperty<T>(initially_expanded)
    {
    }

protected:
    // Takes ownership of a child that Build created.
    template <class P> P* Own(P* child)
    {
        m_owned.emplace_back(child);
        return child;
    }

private:
    std::vector<std::unique_ptr<PropertyBase>> m_owned;
};

// A value with its own editor in its row that also has children.
template <class T> class GroupProperty : public Property<T>, public CompositeProperty<T> {
public:
    explicit GroupProperty(bool initially_expanded = false)
        : CompositeProperty<T>(initially_expanded)
    {
    }
};

// An accessor of one part of a structure S whose whole value the owner
// property reads and writes.
template <class S> class PropertyAccess : public virtual Access {
public:
    explicit PropertyAccess(const BasicProperty<S>* owner)
        : m_owner(owner)
    {
    }
    bool IsApplicable(EditableObject* object) const override { return m_owner->IsApplicable(object); }

protected:
    const BasicProperty<S>* m_owner;
};

// How a field of type T is shown as type U (a static_cast both ways unless
// specialised).
template <class T, class U> struct ValueView {
    static U Show(const T& value) { return static_cast<U>(value); }
    static T Store(const U& value) { return static_cast<T>(value); }
};

// One field of S, shown as U: reading reads the whole S through the owner;
// writing replaces the field and writes the whole S back through the owner.
template <class S, class T, class U = T>
class PropertyValueAs : public ReadWriteAccess<U>, public PropertyAccess<S> {
public:
    PropertyValueAs(const BasicProperty<S>* owner, T S::*member)
        : PropertyAccess<S>(owner)
        , m_member(member)
    {
    }
    bool Read(EditableObject* object, U& out) const override
    {
        S whole;
        if (!m_member || !this->m_owner->ReadValue(object, whole))
            return false;
        out = ValueView<T, U>::Show(whole.*m_member);
        return true;
    }
    void Write(EditableObject* object, const U& value) const override
    {
        S whole;
        if (!m_member || !this->m_owner->ReadValue(object, whole))
            return;
        whole.*m_member = ValueView<T, U>::Store(value);
        this->m_owner->WriteValue(object, whole);
    }

private:
    T S::*m_member;
};

template <class S, class T> using PropertyValue = PropertyValueAs<S, T, T>;

// A const function of the whole S read through the owner.
template <class S, class T> class GetPropertyValueFunction : public ReadAccess<T>, public PropertyAccess<S> {
public:
    using Function = std::function<T(const S&)>;
    GetPropertyValueFunction(const BasicProperty<S>* owner, Function function)
        : PropertyAccess<S>(owner)
        , m_function(std::move(function))
    {
    }
    bool Read(EditableObject* object, T& out) const override
    {
        S whole;
        if (!m_function || !this->m_owner->ReadValue(object, whole))
            return false;
        out = m_function(whole);
        return true;
    }

private:
    Function m_function;
};

// Reads a value of the object behind a shared pointer that the owner
// property reads; no value when the pointer is empty.
template <class Obj, class T>
class GetPropertySPtrValueFunction : public ReadAccess<T>, public PropertyAccess<boost::shared_ptr<Obj>> {
public:
    using Function = std::function<T(const Obj&)>;
    GetPropertySPtrValueFunction(const BasicProperty<boost::shared_ptr<Obj>>* owner, Function function)
        : PropertyAccess<boost::shared_ptr<Obj>>(owner)
        , m_function(std::move(function))
    {
    }
    bool Read(EditableObject* object, T& out) const override
    {
        boost::shared_ptr<Obj> pointer;
        if (!m_function || !this->m_owner->ReadValue(object, pointer) || !pointer)
            return false;
        out = m_function(*pointer);
        return true;
    }

private:
    Function m_function;
};

// Changes the object behind the owner's shared pointer in place; nothing
// when the pointer is empty.
template <class Obj, class T>
class SetPropertySPtrValueFunction : public WriteAccess<T>, public PropertyAccess<boost::shared_ptr<Obj>> {
public:
    using Function = std::function<void(Obj&, T)>;
    SetPropertySPtrValueFunction(const BasicProperty<boost::shared_ptr<Obj>>* owner, Function function)
        : PropertyAccess<boost::shared_ptr<Obj>>(owner)
        , m_function(std::move(function))
    {
    }
    void Write(EditableObject* object, const T& value) const override
    {
        boost::shared_ptr<Obj> pointer;
        if (m_function && this->m_owner->ReadValue(object, pointer) && pointer)
            m_function(*pointer, value);
    }

private:
    Function m_function;
};

// The value all objects of the list share: none for an empty list, when a
// read fails or when two values differ.
template <class T> bool CommonValue(const BasicProperty<T>& property, const EditableList& objects, T& out)
{
    if (objects.GetCount() == 0 || !property.ReadValue(objects.Get(0), out))
        return false;
    for (std::size_t i = 1; i < objects.GetCount(); ++i) {
        T other;
        if (!property.ReadValue(objects.Get(i), other) || !SameValue(out, other))
            return false;
    }
    return true;
}

// Writes value to every object of the list, in order, inside one action
// group without a name on the current document's history: the setters'
// actions land in it, and a group that stays empty while a value changed
// (a setter that records no action) is recorded all the same. A write that
// leaves every value as it was (a field clicked into and left, the entry
// already chosen) records nothing unless a setter did, and leaves the
// project unmodified. When a write throws, what the earlier writes did is
// undone and the error passes on.
template <class T>
void WriteToAll(const BasicProperty<T>& property, const EditableList& objects, const T& value)
{
    ActionGroup group;
    bool changed = false;
    for (EditableObject* object : objects.GetObjects()) {
        T before {};
        // A value that cannot be read counts as changed.
        const bool known = property.ReadValue(object, before);
        property.WriteValue(object, value);
        T after {};
        if (!known || !property.ReadValue(object, after) || !SameValue(before, after))
            changed = true;
    }
    if (!changed)
        group.DropIfEmpty();
}

} // namespace My
