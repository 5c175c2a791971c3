#pragma once

// The segment parameter page: one property whose value is a segment's whole
// engine parameter record and whose children are one property per
// parameter, arranged in groups. Its own accessors (set by the segment's
// property table) read and write the whole record; every field edit writes
// the whole record back, one parameters action per segment. The tree is
// built on the first GetChildren and shared by all segments.

#include "document/properties/EnumTable.h"
#include "document/properties/TypedProperty.h"
#include "engine/param.h"
#include "widgets/properties/Percent.h"

namespace My {

// "Decision Threshold" is Auto exactly when the field is set; writing stores
// whether the value is Auto.
template <> struct ValueView<bool, DecisionThreshold> {
    static DecisionThreshold Show(bool value)
    {
        return value ? DecisionThreshold::Auto : DecisionThreshold::Manual;
    }
    static bool Store(DecisionThreshold value) { return value == DecisionThreshold::Auto; }
};

template <> class Property<trm::param> : public StructProperty<trm::param> {
public:
    // Opens expanded.
    Property();
    ~Property() override;

protected:
    void Build() override;
};

using ParamPage = Property<trm::param>;

// The predicates of a parameter record the read-only rules use.
bool InterframeLinksInUse(const trm::param& params);
bool AntialiasingInUse(const trm::param& params);
bool SmoothingOff(const trm::param& params);

} // namespace My
