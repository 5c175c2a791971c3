#pragma once

// A sample property tree for the editor's tests: an object with integer
// values edited as text, grouped in "Size" (expanded at first) and
// "Position", and an edit history of its own standing in for the document's.

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "widgets/properties/EditRecorder.h"
#include "widgets/properties/EditableObject.h"
#include "widgets/text/TextControl.h"

namespace test {

class Sample : public My::EditableObject {
public:
    std::map<std::string, int> values { { "Width", 640 }, { "Height", 480 }, { "Left", 0 }, { "Top", 0 } };
    My::PropertyTable& GetProperties() override;
    std::string GetTypeName() const override { return "Sample"; }
};

// Records every write as undoable, groups them as the recorder opens and
// closes edits, and undoes a group.
struct History : My::EditRecorder {
    struct Write {
        Sample* object;
        std::string name;
        int old_value;
    };
    std::vector<std::vector<Write>> entries;
    std::vector<Write> open;
    int depth = 0, begun = 0, ended = 0, aborted = 0;
    My::EditRecorder* previous = My::SetEditRecorder(this);
    ~History() { My::SetEditRecorder(previous); }

    void BeginEdit() override
    {
        ++begun;
        ++depth;
    }
    void EndEdit() override
    {
        ++ended;
        if (--depth == 0) {
            entries.push_back(open);
            open.clear();
        }
    }
    void AbortEdit() override
    {
        ++aborted;
        if (--depth == 0) {
            for (auto it = open.rbegin(); it != open.rend(); ++it)
                it->object->values[it->name] = it->old_value;
            open.clear();
        }
    }
    void Undo()
    {
        if (entries.empty())
            return;
        for (auto it = entries.back().rbegin(); it != entries.back().rend(); ++it)
            it->object->values[it->name] = it->old_value;
        entries.pop_back();
    }
};

inline History*& history()
{
    static History* h = nullptr;
    return h;
}

class IntProperty;

// The value as text; a typed text is written to every object as one edit.
class IntText : public My::TextControl {
public:
    IntText(IntProperty& property, const My::EditableList& objects);
    bool GetText(std::string& out) const override;
    void SetText(const std::string& text) override;

private:
    IntProperty& m_property;
    My::EditableList m_objects;
};

class IntProperty : public My::PropertyBase {
public:
    IntProperty(std::string name, std::string help)
        : m_name(std::move(name))
        , m_help(std::move(help))
    {
    }
    std::string GetDescription(const My::EditableList&) const override { return m_help; }
    bool IsApplicable(My::EditableObject* o) const override { return dynamic_cast<Sample*>(o) != nullptr; }
    My::Control* CreateControl(const My::EditableList& objects) override
    {
        return new IntText(*this, objects);
    }
    void DestroyControl(My::Control* control) override { delete control; }

    int Read(My::EditableObject* o) const { return static_cast<Sample*>(o)->values[m_name]; }
    // Negative values are refused with the user's sentence.
    void Write(My::EditableObject* o, int value)
    {
        if (value < 0)
            throw std::runtime_error("The value must not be negative.");
        auto* s = static_cast<Sample*>(o);
        if (History* h = history())
            h->open.push_back({ s, m_name, s->values[m_name] });
        s->values[m_name] = value;
        s->NotifyChange(this);
    }

private:
    std::string m_name;
    std::string m_help;
};

inline IntText::IntText(IntProperty& property, const My::EditableList& objects)
    : m_property(property)
{
    m_objects.Resize(objects.GetCount());
    for (std::size_t i = 0; i < objects.GetCount(); ++i)
        m_objects.Set(i, objects.Get(i));
}

inline bool IntText::GetText(std::string& out) const
{
    if (m_objects.GetCount() == 0)
        return false;
    out = std::to_string(m_property.Read(m_objects.Get(0)));
    return true;
}

inline void IntText::SetText(const std::string& text)
{
    int value = 0;
    try {
        value = std::stoi(text);
    } catch (const std::exception&) {
        return;
    }
    if (My::ApplyEdit(m_objects, [&](My::EditableObject* o) { m_property.Write(o, value); }))
        return;
    Invalidate(CRect(CPoint(), GetSize()));
}

struct SampleTable {
    IntProperty width { "Width", "The width of the sample in pixels." };
    IntProperty height { "Height", "The height of the sample in pixels." };
    IntProperty left { "Left", "Distance from the left edge." };
    IntProperty top { "Top", "Distance from the top edge." };
    My::PropertyGroup size { "The size of the sample.", true };
    My::PropertyGroup position { "Where the sample sits.", false };
    My::PropertyTable table;
    SampleTable()
    {
        size.Add("Width", &width);
        size.Add("Height", &height);
        position.Add("Left", &left);
        position.Add("Top", &top);
        table.Add("Size", &size);
        table.Add("Position", &position);
        table.SetBuilt();
    }
};

inline SampleTable& sample_table()
{
    static SampleTable t;
    return t;
}

inline My::PropertyTable& Sample::GetProperties()
{
    return sample_table().table;
}

} // namespace test
