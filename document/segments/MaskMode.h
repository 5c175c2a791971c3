#pragma once

// How a segment's mask of a frame combines with the masks of the segments
// below it, and one layer of a frame's combination.

#include <boost/shared_ptr.hpp>

namespace trm {
struct frame_record;
}

namespace xml {
class stream;
}

struct MaskMode {
    enum Mode : int {
        None = 0,
        Add = 1,
        Subtract = 2,
        Intersect = 3,
        Lighten = 4,
        Darken = 5,
        Difference = 6,
        Substitute = 7,
    };

    int mode = Substitute;
    bool inverted = false;

    bool operator==(const MaskMode&) const = default;
};

// The XML form on the element the stream addresses: attribute "mode", the
// word of the mode ("None" ... "Substitute"), and "inverted" ("0" or "1").
// Loading never throws: a missing or unknown word reads as Add, a missing
// or unreadable "inverted" as false.
xml::stream& operator||(xml::stream& s, MaskMode& mode);

// One segment's result at a frame with that segment's mode. A list of them,
// base layer first and top segment last, is what the mask combining takes.
struct MaskLayer {
    boost::shared_ptr<trm::frame_record> record;
    MaskMode mode;
};
