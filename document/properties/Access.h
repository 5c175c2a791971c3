#pragma once

// Accessors: how a typed property reads and writes one value of an edited
// object without knowing the object's class. An accessor is bound to a
// getter or setter of the object's class, to one field of a structure that
// another property reads and writes as a whole, or combines boolean
// accessors into a condition. Accessors are heap objects shared by
// boost::shared_ptr; one may serve several properties. UI thread only.

#include "widgets/properties/EditableObject.h"

#include <boost/shared_ptr.hpp>

#include <functional>
#include <utility>

namespace My {

class Access {
public:
    virtual ~Access() = default;
    // Whether the accessor can handle this edited object.
    virtual bool IsApplicable(EditableObject* object) const = 0;
};

template <class T> class ReadAccess : public virtual Access {
public:
    // False: no value for this object (out is then unspecified).
    virtual bool Read(EditableObject* object, T& out) const = 0;
};

template <class T> class WriteAccess : public virtual Access {
public:
    // May throw the setter's error (the value is then not stored).
    virtual void Write(EditableObject* object, const T& value) const = 0;
};

template <class T> class ReadWriteAccess : public virtual ReadAccess<T>, public virtual WriteAccess<T> {
public:
    // Whether the accessor refuses writing as a whole.
    virtual bool IsReadOnly() const { return false; }
};

template <class T> using ReadAccessPtr = boost::shared_ptr<ReadAccess<T>>;
template <class T> using WriteAccessPtr = boost::shared_ptr<WriteAccess<T>>;
using ConditionPtr = boost::shared_ptr<ReadAccess<bool>>;

// Applicable exactly to objects of class Obj.
template <class Obj> class ObjectAccess : public virtual Access {
public:
    bool IsApplicable(EditableObject* object) const override { return dynamic_cast<Obj*>(object) != nullptr; }

protected:
    static Obj* Cast(EditableObject* object) { return dynamic_cast<Obj*>(object); }
};

// Reads with a getter of Obj returning T by value (a member function, or any
// callable on the object). Without a getter, or on another class, no value.
template <class Obj, class T> class GetObjectValueFunction : public ReadAccess<T>, public ObjectAccess<Obj> {
public:
    using Getter = std::function<T(const Obj&)>;
    explicit GetObjectValueFunction(Getter getter)
        : m_getter(std::move(getter))
    {
    }
    bool Read(EditableObject* object, T& out) const override
    {
        Obj* target = this->Cast(object);
        if (!m_getter || !target)
            return false;
        out = m_getter(*target);
        return true;
    }

private:
    Getter m_getter;
};

// Writes with a setter of Obj taking T by value.
template <class Obj, class T> class SetObjectValueFunction : public WriteAccess<T>, public ObjectAccess<Obj> {
public:
    using Setter = std::function<void(Obj&, T)>;
    explicit SetObjectValueFunction(Setter setter)
        : m_setter(std::move(setter))
    {
    }
    void Write(EditableObject* object, const T& value) const override
    {
        if (Obj* target = this->Cast(object); m_setter && target)
            m_setter(*target, value);
    }

private:
    Setter m_setter;
};

// The same with a getter returning a constant reference and a setter taking
// one.
template <class Obj, class T> class GetObjectRefFunction : public ReadAccess<T>, public ObjectAccess<Obj> {
public:
    using Getter = std::function<const T&(const Obj&)>;
    explicit GetObjectRefFunction(Getter getter)
        : m_getter(std::move(getter))
    {
    }
    bool Read(EditableObject* object, T& out) const override
    {
        Obj* target = this->Cast(object);
        if (!m_getter || !target)
            return false;
        out = m_getter(*target);
        return true;
    }

private:
    Getter m_getter;
};

template <class Obj, class T> class SetObjectRefFunction : public WriteAccess<T>, public ObjectAccess<Obj> {
public:
    using Setter = std::function<void(Obj&, const T&)>;
    explicit SetObjectRefFunction(Setter setter)
        : m_setter(std::move(setter))
    {
    }
    void Write(EditableObject* object, const T& value) const override
    {
        if (Obj* target = this->Cast(object); m_setter && target)
            m_setter(*target, value);
    }

private:
    Setter m_setter;
};

// A separate read and write access paired into one read-write accessor;
// either may be empty.
template <class T> class ReadWriteImpl : public ReadWriteAccess<T> {
public:
    ReadWriteImpl(ReadAccessPtr<T> read, WriteAccessPtr<T> write)
        : m_read(std::move(read))
        , m_write(std::move(write))
    {
    }
    bool Read(EditableObject* object, T& out) const override { return m_read && m_read->Read(object, out); }
    void Write(EditableObject* object, const T& value) const override
    {
        if (m_write)
            m_write->Write(object, value);
    }
    // False when the read access refuses the object; true without a write
    // access; else the write access's answer.
    bool IsApplicable(EditableObject* object) const override
    {
        if (m_read && !m_read->IsApplicable(object))
            return false;
        return !m_write || m_write->IsApplicable(object);
    }

private:
    ReadAccessPtr<T> m_read;
    WriteAccessPtr<T> m_write;
};

// The negation of a boolean accessor; unreadable when it is.
class NotReadBool : public ReadAccess<bool> {
public:
    explicit NotReadBool(ConditionPtr inner)
        : m_inner(std::move(inner))
    {
    }
    bool Read(EditableObject* object, bool& out) const override
    {
        bool value = false;
        if (!m_inner || !m_inner->Read(object, value))
            return false;
        out = !value;
        return true;
    }
    bool IsApplicable(EditableObject* object) const override
    {
        return m_inner && m_inner->IsApplicable(object);
    }

private:
    ConditionPtr m_inner;
};

// The disjunction of two boolean accessors, the left one read first: true
// when it reads true (the right one is then not read), unreadable when it
// cannot be read, else the right one's result.
class OrReadBool : public ReadAccess<bool> {
public:
    OrReadBool(ConditionPtr left, ConditionPtr right)
        : m_left(std::move(left))
        , m_right(std::move(right))
    {
    }
    bool Read(EditableObject* object, bool& out) const override
    {
        bool value = false;
        if (!m_left || !m_left->Read(object, value))
            return false;
        if (value) {
            out = true;
            return true;
        }
        return m_right && m_right->Read(object, out);
    }
    bool IsApplicable(EditableObject* object) const override
    {
        return m_left && m_right && m_left->IsApplicable(object) && m_right->IsApplicable(object);
    }

private:
    ConditionPtr m_left;
    ConditionPtr m_right;
};

inline ConditionPtr Not(ConditionPtr inner)
{
    return ConditionPtr(new NotReadBool(std::move(inner)));
}

inline ConditionPtr Or(ConditionPtr left, ConditionPtr right)
{
    return ConditionPtr(new OrReadBool(std::move(left), std::move(right)));
}

} // namespace My
