#pragma once

// The property of a segment's mask mode: a group of two rows, "Mode" (a
// drop-down of the mode names) and "Inverted" (a check box), each writing
// the whole mode back through the property's own accessors.

#include "document/properties/TypedProperty.h"
#include "document/segments/MaskMode.h"

namespace My {

template <> class Property<MaskMode> : public StructProperty<MaskMode> {
public:
    Property();
    ~Property() override;

protected:
    void Build() override;

private:
    Property<MaskMode::Mode> m_mode;
    Property<bool> m_inverted;
};

using MaskModeProperty = Property<MaskMode>;

} // namespace My
