#pragma once

// A range of frame numbers, shared by the engine and the project document.

#include <cstdint>

namespace xml {
class stream;
}

namespace My {

// The frames {first, last}, read half-open: a span holds the frames n with
// first <= n < last, so {x, x} is empty.
struct Span {
    std::int32_t first = 0;
    std::int32_t last = 0;

    bool operator==(const Span&) const = default;
};

// The XML form on the element the stream addresses: attributes "First" and
// "Last", both always written and both required on loading: a missing one
// throws xml::attribute_not_found, one that is no number
// xml::attribute_parse_error, and the span is left as it was.
xml::stream& operator||(xml::stream& s, Span& span);

} // namespace My
