#include "widgets/properties/EditableObject.h"

namespace My {

EditableObject::~EditableObject() = default;

void EditableObject::NotifyChange(PropertyBase* property)
{
    if (property) {
        PropertyChange change(this, property);
        property->Send(change);
        return;
    }
    for (const auto& [label, each] : GetProperties().GetMap()) {
        PropertyChange change(this, each);
        each->Send(change);
    }
}

} // namespace My
