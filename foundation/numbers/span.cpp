#include "foundation/numbers/span.h"

#include "foundation/xml/xml_stream.h"

namespace My {

xml::stream& operator||(xml::stream& s, Span& span)
{
    if (s.reading) {
        const std::int32_t first = s.read<std::int32_t>("First");
        span.last = s.read<std::int32_t>("Last");
        span.first = first;
    } else {
        s.write("First", span.first);
        s.write("Last", span.last);
    }
    return s;
}

} // namespace My
