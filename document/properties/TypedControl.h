#pragma once

// The editing controls the typed properties make for their rows: a text
// control for numbers, rates, texts and percentages, a check box for
// switches, a colour box for colours and a drop-down for enumerations. Each
// holds its property and a copy of the object list, reads the common value
// whenever it draws, writes a change to every object as one edit, and
// re-reads on every update of the interface: shown while the property is
// enabled, accepting input while it is not read-only. An error of a setter
// reaches the user as an error report; the control then shows the stored
// value again. UI thread only.

#include "document/properties/ControlLogic.h"
#include "document/properties/EnumTable.h"
#include "widgets/controls/CheckBox.h"
#include "widgets/controls/ColorBox.h"
#include "widgets/controls/DropDown.h"
#include "widgets/core/Prompt.h"
#include "widgets/text/TextControl.h"

#include <exception>
#include <string>
#include <type_traits>

// GCC 12 with the address sanitizer reports constructing these classes
// (virtual bases of the toolkit controls, allocated by new) as writing
// outside the object; the layout is the compiler's own.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"

namespace My {

template <class T> class TypedControlBase {
public:
    TypedControlBase(BasicProperty<T>* property, const EditableList& objects)
        : m_property(property)
        , m_objects(objects.GetObjects())
    {
    }
    BasicProperty<T>* GetProperty() const { return m_property; }
    const EditableList& GetObjects() const { return m_objects; }

protected:
    // Runs write (which writes through the property as one edit) and
    // reports its error; false after an error.
    template <class Write> static bool Guarded(Write write) noexcept
    {
        try {
            write();
            return true;
        } catch (const std::exception& e) {
            ReportError(e.what());
        } catch (...) {
            ReportError("Unknown error");
        }
        return false;
    }

    BasicProperty<T>* m_property;
    EditableList m_objects;
};

// Numbers, rates, texts and percentages.
template <class T> class TextTypedControl : public TextControl, public TypedControlBase<T> {
public:
    TextTypedControl(BasicProperty<T>* property, const EditableList& objects)
        : TypedControlBase<T>(property, objects)
    {
    }
    bool GetText(std::string& out) const override
    {
        return GetValueText(*this->m_property, this->m_objects, out);
    }
    void SetText(const std::string& text) override
    {
        this->Guarded([&] { SetValueText(*this->m_property, this->m_objects, text); });
    }
    void OnUpdateUI() override
    {
        SetVisible(this->m_property->IsEnabled(this->m_objects));
        SetReadOnly(this->m_property->IsReadOnly(this->m_objects));
        Invalidate(CRect(CPoint(), GetSize()));
        TextControl::OnUpdateUI();
    }
};

class BoolTypedControl : public CheckBox, public TypedControlBase<bool> {
public:
    BoolTypedControl(BasicProperty<bool>* property, const EditableList& objects)
        : CheckBox("MYFC_CHECKBOX", "MYFC_CHECKBOX_MASK")
        , TypedControlBase<bool>(property, objects)
    {
    }
    int GetCheck() const override { return GetCheckState(*m_property, m_objects); }
    void Click() override
    {
        Guarded([&] { ClickCheck(*m_property, m_objects); });
    }
    void OnUpdateUI() override
    {
        SetVisible(m_property->IsEnabled(m_objects));
        SetEnabled(!m_property->IsReadOnly(m_objects));
        Invalidate(CRect(CPoint(), GetSize()));
    }
};

class ColorTypedControl : public ColorBox, public TypedControlBase<img::BGRA<unsigned char>> {
public:
    ColorTypedControl(BasicProperty<img::BGRA<unsigned char>>* property, const EditableList& objects)
        : TypedControlBase<img::BGRA<unsigned char>>(property, objects)
    {
    }
    bool GetColor(COLORREF& color) const override
    {
        std::uint32_t value = 0;
        if (!GetColorRef(*m_property, m_objects, value))
            return false;
        color = value;
        return true;
    }
    void SetColor(COLORREF color) override
    {
        Guarded([&] { SetColorRef(*m_property, m_objects, color); });
    }
    void OnUpdateUI() override
    {
        SetVisible(m_property->IsEnabled(m_objects));
        SetEnabled(!m_property->IsReadOnly(m_objects));
        Invalidate(CRect(CPoint(), GetSize()));
    }
};

template <class E> class EnumControlBase : public DropDown, public TypedControlBase<E> {
public:
    EnumControlBase(BasicProperty<E>* property, const EditableList& objects)
        : TypedControlBase<E>(property, objects)
    {
    }
    void OnUpdateUI() override
    {
        SetVisible(this->m_property->IsEnabled(this->m_objects));
        SetEnabled(!this->m_property->IsReadOnly(this->m_objects));
        Invalidate(CRect(CPoint(), GetSize()));
    }
};

// The entries are the rows of E's display table.
template <class E> class EnumTypeControl : public EnumControlBase<E> {
public:
    EnumTypeControl(BasicProperty<E>* property, const EditableList& objects)
        : EnumControlBase<E>(property, objects)
    {
    }
    int GetCount() const override { return static_cast<int>(DisplayTable<E>().size()); }
    std::string GetText(int index) const override
    {
        const EnumTable table = DisplayTable<E>();
        if (index < 0 || static_cast<std::size_t>(index) >= table.size())
            return {};
        return table[static_cast<std::size_t>(index)].label.GetText();
    }
    std::string GetEmptyText() const override { return {}; }
    bool GetIndex(int& index) const override
    {
        E value {};
        if (!CommonValue(*this->m_property, this->m_objects, value))
            return false;
        index = CurrentEntry(*this->m_property, this->m_objects);
        return true;
    }
    void SetIndex(int index) override
    {
        this->Guarded([&] { ChooseEntry(*this->m_property, this->m_objects, index); });
    }
};

// The control a property of T makes.
template <class T> struct TypedControlKind {
    using type = std::conditional_t<std::is_enum_v<T>, EnumTypeControl<T>, TextTypedControl<T>>;
};
template <> struct TypedControlKind<bool> {
    using type = BoolTypedControl;
};
template <> struct TypedControlKind<img::BGRA<unsigned char>> {
    using type = ColorTypedControl;
};

template <class T> class TypedControl : public TypedControlKind<T>::type {
public:
    TypedControl(BasicProperty<T>* property, const EditableList& objects)
        : TypedControlKind<T>::type(property, objects)
    {
    }
};

template <class T> Control* MakeTypedControl(BasicProperty<T>* property, const EditableList& objects)
{
    return new TypedControl<T>(property, objects);
}

} // namespace My

#pragma GCC diagnostic pop
