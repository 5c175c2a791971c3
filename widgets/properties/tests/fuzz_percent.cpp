// Percentage texts as the property editor reads them, and string-table
// formats as a language module may bring them: any bytes must give a value
// in [0, 1] (or NaN) or a failed stream, and a format substitution never
// reads past its input.

#include "widgets/core/Strings.h"
#include "widgets/properties/Percent.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    My::Percent<2> value(0.5f);
    std::istringstream in(text);
    in >> value;
    const float f = value;
    if (!std::isnan(f) && (f < 0.0f || f > 1.0f))
        std::abort();
    if (in.fail() && f != 0.5f)
        std::abort();
    std::ostringstream out;
    out << value;

    const std::string formatted = My::FormatString(text, "name");
    if (formatted.size() > text.size() + 4)
        std::abort();
    return 0;
}
