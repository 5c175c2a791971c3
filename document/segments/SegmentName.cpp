#include "document/segments/SegmentName.h"

#include <cstdio>

namespace My {

std::string SegmentName(const Span& span, int key)
{
    char text[64];
    std::snprintf(text, sizeof text, "<%02d-[%02d]-%02d>", span.first, key, span.last);
    return text;
}

} // namespace My
