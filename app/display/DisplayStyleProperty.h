#pragma once

// The property tree of the display style that the "Display Style Editor"
// shows: "Mask" (smooth and inverse masks, read-only while the type shows
// no mask), "Matte" (colour and opacity, read-only unless the type is
// Matted Foreground) and "Type". Its own accessors (set by the view) read
// and write the whole style; the view's setter performs no action, so an
// edit is recorded as one entry without a name that undo does not revert.

#include "app/display/DisplayStyle.h"
#include "document/properties/EnumTable.h"
#include "document/properties/TypedProperty.h"
#include "widgets/properties/Percent.h"

namespace My {

template <> EnumTable DisplayTable<DisplayType>();
template <>
Control* CreateTypedControl<DisplayType>(BasicProperty<DisplayType>* property, const EditableList& objects);

template <> class Property<DisplayStyle> : public StructProperty<DisplayStyle> {
public:
    Property();
    ~Property() override;

protected:
    void Build() override;
};

using DisplayStyleProperty = Property<DisplayStyle>;

} // namespace My
