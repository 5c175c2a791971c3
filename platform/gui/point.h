#pragma once

#include <cstdint>

// A position in window coordinates {x, y}, signed pixels. Mouse events carry
// it in the receiver's coordinates.
struct CPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    constexpr CPoint() = default;
    constexpr CPoint(std::int32_t x_, std::int32_t y_)
        : x(x_)
        , y(y_)
    {
    }

    constexpr bool operator==(const CPoint&) const = default;
};
