#pragma once

// The footage page: a composite property whose value is a footage pointer
// and whose children describe the footage behind it and let the user change
// its deinterlacing. Field and method are changed on the footage in place:
// no document action is performed, so the edit's group stays empty (it is
// recorded all the same, and undo does not bring the old value back).

#include "document/properties/EnumTable.h"
#include "document/properties/TypedProperty.h"
#include "foundation/numbers/extent.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace lumvex {
class footage;
}

namespace My {

// width + " x " + height, in decimal.
std::string ExtentAsString(const types::extent<unsigned>& size);

template <>
class Property<boost::shared_ptr<lumvex::footage>>
    : public StructProperty<boost::shared_ptr<lumvex::footage>> {
public:
    Property();
    ~Property() override;

protected:
    void Build() override;
};

using FootagePage = Property<boost::shared_ptr<lumvex::footage>>;

} // namespace My
