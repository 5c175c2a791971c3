#pragma once

// The text form of a frame rate in project files and exported contours: the
// quotient alone when the denominator divides the numerator ("25" for 50/2),
// else numerator, "/" and denominator ("30000/1001"). A rate without a
// denominator is written as the 50/1 it reads back as, so no division by 0
// is ever made.

#include "foundation/numbers/fraction.h"

#include <cstdint>
#include <string>

inline std::string FramerateText(const fraction& rate)
{
    if (rate.denominator == 0)
        return "50";
    const std::int64_t n = rate.numerator;
    const std::int64_t d = rate.denominator;
    if (n % d == 0)
        return std::to_string(n / d);
    return std::to_string(n) + "/" + std::to_string(d);
}
