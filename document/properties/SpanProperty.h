#pragma once

// The property of a frame range: its own accessors read and write the whole
// span of the edited object; its two children "First" and "Last" edit one
// end each, writing the whole span back. No editor in its own row.

#include "document/properties/TypedProperty.h"
#include "foundation/numbers/span.h"

namespace My {

template <> class Property<Span> : public StructProperty<Span> {
public:
    Property();

    // Refuses a span whose first frame is not before its last (an
    // xtd::exception with the user's sentence); nothing is stored.
    void WriteValue(EditableObject* object, const Span& value) const override;

    Property<int>& GetFirst() { return m_first; }
    Property<int>& GetLast() { return m_last; }

protected:
    void Build() override;

private:
    Property<int> m_first;
    Property<int> m_last;
};

using SpanProperty = Property<Span>;

} // namespace My
