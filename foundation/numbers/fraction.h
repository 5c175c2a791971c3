#pragma once

#include <cstdint>
#include <iosfwd>

// A frame rate, numerator / denominator frames per second. A denominator of
// 0 means that no rate is known ({0, 0} by default).
struct fraction {
    std::int32_t numerator = 0;
    std::uint32_t denominator = 0;

    fraction() = default;
    fraction(std::int32_t n, std::uint32_t d)
        : numerator(n)
        , denominator(d)
    {
    }

    // Divides both by their greatest common divisor; a zero numerator gives
    // 0/1. A fraction with denominator 0 is left as it is.
    void reduce();
};

// Writes nothing for an unknown rate (denominator 0), the integer quotient
// when the denominator divides the numerator ("25"), else the quotient with
// two decimals and the exact fraction: "29.97 (30000/1001)".
std::ostream& operator<<(std::ostream& out, const fraction& value);

// Reads the written form, "n/d" (integers) or a plain decimal ("29.97" reads as
// 2997/100). On malformed input, or a number outside the 32-bit ranges, the
// stream fails and the fraction keeps its value.
std::istream& operator>>(std::istream& in, fraction& value);
