// The zoom field's text on arbitrary bytes: a text is refused or gives a
// finite zoom, and the text of any zoom between the limits reads back within
// half a percent.

#include "app/view/ZoomMath.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto zoom = My::ZoomMath::ParsePercent(text);
    if (!zoom)
        return 0;
    if (!std::isfinite(*zoom))
        std::abort();
    if (*zoom >= 0.01 && *zoom <= 100.0) {
        const auto again = My::ZoomMath::ParsePercent(My::ZoomMath::FormatPercent(*zoom));
        if (!again || std::fabs(*again - *zoom) > 0.005 + 1e-12)
            std::abort();
    }
    return 0;
}
