#pragma once

// The editing control of a composite property: the children's own controls
// side by side in one row, each labelled with its key's text and ":" on its
// left. Each child control is made by its property and given back to it.

#include <vector>

#include "widgets/layout/LabelledWidget.h"
#include "widgets/properties/PropertyBase.h"

namespace My {

class RowPropertyControl : public StringContainer {
public:
    // One labelled control per entry of `children`, in key order, over the
    // objects (copied).
    RowPropertyControl(const PropertyMap& children, const EditableList& objects);
    // Removes each labelled widget, gives its control back to its property
    // and deletes the label.
    ~RowPropertyControl() override;

    const EditableList& GetObjects() const { return m_objects; }

private:
    struct Part {
        PropertyBase* property;
        Control* control;
        LabelledWidget* label;
    };

    EditableList m_objects;
    std::vector<Part> m_parts;
};

} // namespace My
