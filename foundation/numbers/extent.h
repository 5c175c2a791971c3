#pragma once

namespace types {

// A size {width, height}; frame sizes are extent<unsigned> in pixels.
template <class T> struct extent {
    T width {};
    T height {};

    bool operator==(const extent&) const = default;
};

} // namespace types
