#include "widgets/properties/RowPropertyControl.h"

#include <memory>

namespace My {

RowPropertyControl::RowPropertyControl(const PropertyMap& children, const EditableList& objects)
{
    SetGap(0);
    m_objects.Resize(objects.GetCount());
    for (std::size_t i = 0; i < objects.GetCount(); ++i)
        m_objects.Set(i, objects.Get(i));
    for (const auto& [key, property] : children) {
        Control* control = property->CreateControl(m_objects);
        // A control that cannot be placed as a widget is not shown.
        auto* widget = dynamic_cast<Widget*>(control);
        auto label = std::make_unique<LabelledWidget>(widget, key.GetText() + ":", 0);
        m_parts.push_back({ property, control, label.get() });
        AddControl(label.release());
    }
}

RowPropertyControl::~RowPropertyControl()
{
    for (Part& part : m_parts) {
        RemoveChild(part.label);
        part.label->SetControl(nullptr);
        delete part.label;
        if (part.control)
            part.property->DestroyControl(part.control);
    }
}

} // namespace My
