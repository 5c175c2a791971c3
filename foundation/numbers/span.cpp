#include "foundation/numbers/span.h"

#include "foundation/xml/xml_stream.h"

namespace My {

xml::stream& operator||(xml::stream& s, Span& span)
{
    if (s.reading) {
        span.first = s.read<std::int32_t>("First", 0);
        span.last = s.read<std::int32_t>("Last", 0);
    } else {
        s.write("First", span.first);
        s.write("Last", span.last);
    }
    return s;
}

} // namespace My
